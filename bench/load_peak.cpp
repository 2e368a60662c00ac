// The benchmark layout as a level file, and the peak memory of loading one:
//   ombrel-load-peak write POINTS_PER_LEVEL FILE   the layout
//   ombrel-load-peak load FILE                     peak resident memory of the load
// Two processes, so that building the layout counts nothing towards the load.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/LevelModel.h"
#include "core/Splines.h"
#include "editor/FileIO.h"
#include "layout.h"

namespace {

long peakKilobytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int load(const char* path)
{
    const long before = peakKilobytes();
    FileIO files;
    files.setInputName(path);
    LevelList levels;
    files.readFile(levels.list);
    const long after = peakKilobytes();
    size_t points = 0;
    for (const Splines* level : levels.list)
        for (const Nodes& curve : level->levelCurves)
            points += curve.controlPoints.size();
    std::printf("loaded: %zu levels, %zu points\n", levels.list.size(), points);
    std::printf("max RSS before load: %ld KiB\n", before);
    std::printf("max RSS after load:  %ld KiB (+%ld KiB)\n", after, after - before);
    return points ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "write") == 0 && std::atoi(argv[2]) >= kPointsPerCurve)
        return writeLayoutFile(std::atoi(argv[2]), argv[3]) ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "load") == 0)
        return load(argv[2]);
    std::fprintf(stderr, "usage: %s write POINTS_PER_LEVEL FILE | load FILE\n", argv[0]);
    return 2;
}
