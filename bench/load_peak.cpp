// Peak resident memory of loading one level file:
//   ombrel-load-peak [POINTS_PER_LEVEL]   (default 100000)
// A child process writes the benchmark layout of that size to a temporary
// file, so that none of its memory counts; this process then reads the file
// through the editor's reader and reports its peak before and after.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Splines.h"
#include "layout.h"

namespace {

long peakKilobytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (n < kPointsPerCurve) {
        std::fprintf(stderr, "usage: %s [POINTS_PER_LEVEL >= %d]\n", argv[0], kPointsPerCurve);
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/ombrel-load-peak-XXXXXX";
    const int fd = mkstemp(&path[0]);
    if (fd < 0) {
        std::perror("mkstemp");
        return 1;
    }
    close(fd);

    const pid_t child = fork();
    if (child == 0) {
        Layout* layout = makeLayout(n);
        FileIO writer;
        writer.setOutputName(path.c_str());
        writer.writeFile(layout->levels);
        std::_Exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "could not write the level file\n");
        unlink(path.c_str());
        return 1;
    }

    const long before = peakKilobytes();
    FileIO reader;
    reader.setInputName(path.c_str());
    std::vector<Splines*> levels;
    reader.readFile(levels);
    const long after = peakKilobytes();

    size_t points = 0;
    for (const Splines* level : levels)
        for (const Nodes& curve : level->levelCurves)
            points += curve.controlPoints.size();
    FILE* f = std::fopen(path.c_str(), "rb");
    long bytes = -1;
    if (f) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    unlink(path.c_str());

    std::printf("level file: %d levels x %d points, %ld bytes\n", kLevelCount, n, bytes);
    std::printf("loaded: %zu levels, %zu points\n", levels.size(), points);
    std::printf("max RSS before load: %ld KiB\n", before);
    std::printf("max RSS after load:  %ld KiB (+%ld KiB)\n", after, after - before);
    return points == static_cast<size_t>(kLevelCount) * static_cast<size_t>(n) ? 0 : 1;
}
