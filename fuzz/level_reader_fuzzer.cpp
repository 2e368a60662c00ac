// libFuzzer target for the level file reader.
//
// Every input is read as a level file; the levels must then be well formed
// (level numbers, z, curve counts, open curves, finite x/y), no larger than
// the input's brackets and digits allow, and survive a save and reload
// with x and y rounded to the four decimals the writer keeps. The same input
// with CR LF line ends must read the same.
//
// Build: see fuzz/build-fuzzer. Run: level_reader_fuzzer -detect_leaks=0 DIR

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Splines.h"

namespace {

int inputFd = -1;
std::string inputName;   // /proc/self/fd/N of an in-memory file
std::string scratchDir;  // real directory: saving renames a temporary file
std::string savedName;

void cleanUp();

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "level_reader_fuzzer: %s\n", what);
    cleanUp();
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

void setInput(const uint8_t* data, size_t size)
{
    check(ftruncate(inputFd, 0) == 0, "ftruncate");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(inputFd, data + done, size - done, static_cast<off_t>(done));
        check(n > 0, "pwrite");
        done += static_cast<size_t>(n);
    }
}

std::string slurp(const std::string& name)
{
    std::string text;
    FILE* const file = std::fopen(name.c_str(), "rb");
    check(file != nullptr, "saved file missing");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

void freeLevels(std::vector<Splines*>& levels)
{
    for (Splines* level : levels)
        delete level;
    levels.clear();
}

// Reads `name` into `levels`, which must come back without the level that
// stood in it before: a successful read replaces the whole list.
void readLevels(const std::string& name, std::vector<Splines*>& levels)
{
    Splines* const stale = new Splines;
    levels.assign(1, stale);
    FileIO io;
    io.setInputName(name.c_str());
    io.readFile(levels);
    for (const Splines* level : levels)
        check(level != stale, "old level kept by a read");
    delete stale;
}

std::string saveLevels(std::vector<Splines*>& levels, const std::string& name)
{
    FileIO io;
    io.setOutputName(name.c_str());
    io.writeFile(levels);
    return slurp(name);
}

// What any input can produce: at most one level per "(", one curve per ")"
// plus curve 0, one point per digit run (a position is a count of numbers).
struct Bounds {
    size_t opens = 0;
    size_t closes = 0;
    size_t digitRuns = 0;
};

Bounds boundsOf(const uint8_t* data, size_t size)
{
    Bounds bounds;
    for (size_t i = 0; i < size; ++i) {
        bounds.opens += data[i] == '(';
        bounds.closes += data[i] == ')';
        bounds.digitRuns += std::isdigit(data[i]) && (i == 0 || !std::isdigit(data[i - 1]));
    }
    return bounds;
}

void checkShape(const std::vector<Splines*>& levels, const Bounds& bounds)
{
    check(levels.size() <= bounds.opens, "more levels than structure lines");
    for (size_t i = 0; i < levels.size(); ++i) {
        const Splines* const level = levels[i];
        check(level != nullptr, "null level");
        check(level->level == static_cast<int>(i), "level number differs from its index");
        check(!level->levelCurves.empty(), "level without curves");
        check(level->levelCurves.size() <= bounds.closes + 1, "more curves than groups");
        for (const Nodes& curve : level->levelCurves) {
            check(curve.closure == 0, "closed curve read");
            check(curve.controlPoints.size() <= bounds.digitRuns, "more points than numbers");
            for (const Vec3& point : curve.controlPoints) {
                check(std::isfinite(point.pos[0]) && std::isfinite(point.pos[1]), "x or y not finite");
                check(point.pos[2] == static_cast<float>(i), "z differs from the level number");
            }
        }
    }
    // Curves and levels are only made for a point placed in them, apart from
    // the lone empty curve of a level that a later level went past.
    for (const Splines* level : levels) {
        const std::vector<Nodes>& curves = level->levelCurves;
        check(curves.size() == 1 || !curves.back().controlPoints.empty(), "trailing curve without points");
    }
    if (!levels.empty())
        check(!levels.back()->levelCurves.back().controlPoints.empty(), "trailing level without points");
}

// What a coordinate becomes once written with four decimals and read back.
float throughText(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.4f", static_cast<double>(value));
    return static_cast<float>(std::strtod(text, nullptr));
}

bool sameLevels(const std::vector<Splines*>& a, const std::vector<Splines*>& b, bool rounded)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::vector<Nodes>& curvesA = a[i]->levelCurves;
        const std::vector<Nodes>& curvesB = b[i]->levelCurves;
        if (curvesA.size() != curvesB.size())
            return false;
        for (size_t j = 0; j < curvesA.size(); ++j) {
            const std::vector<Vec3>& pointsA = curvesA[j].controlPoints;
            const std::vector<Vec3>& pointsB = curvesB[j].controlPoints;
            if (pointsA.size() != pointsB.size())
                return false;
            for (size_t k = 0; k < pointsA.size(); ++k)
                for (int axis = 0; axis < 2; ++axis) {
                    const float expected = rounded ? throughText(pointsA[k].pos[axis]) : pointsA[k].pos[axis];
                    // Bit patterns, so that -0 and 0 count as different.
                    if (std::memcmp(&expected, &pointsB[k].pos[axis], sizeof expected) != 0)
                        return false;
                }
        }
    }
    return true;
}

void cleanUp()
{
    unlink(savedName.c_str());
    rmdir(scratchDir.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader talks only on failure; keep the console clean and make sure
    // a stray prompt could never wait for a keyboard.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    inputFd = memfd_create("level", 0);
    check(inputFd >= 0, "memfd_create");
    inputName = "/proc/self/fd/" + std::to_string(inputFd);

    // Every run saves a file; in memory that costs half what a disk does.
    const char* tmp = std::getenv("TMPDIR");
    if (!tmp || !*tmp)
        tmp = access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(tmp) + "/level-fuzz-XXXXXX";
    check(mkdtemp(&pattern[0]) != nullptr, "mkdtemp");
    scratchDir = pattern;
    savedName = scratchDir + "/saved.lvl";
    std::atexit(cleanUp);

    // A file that can't be opened leaves the list alone.
    std::vector<Splines*> levels(1, new Splines);
    Splines* const kept = levels[0];
    FileIO io;
    io.setInputName((scratchDir + "/missing.lvl").c_str());
    io.readFile(levels);
    check(levels.size() == 1 && levels[0] == kept, "missing file changed the list");
    io.setInputName(scratchDir.c_str());
    io.readFile(levels);
    check(levels.size() == 1 && levels[0] == kept, "directory changed the list");
    freeLevels(levels);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Splines*> levels;
    setInput(data, size);
    readLevels(inputName, levels);
    checkShape(levels, boundsOf(data, size));

    // Save and reload: the same levels come back, with x and y as the four
    // decimals that were written. The reader restores every level and curve
    // the writer wrote, as the last of each always holds a point.
    const std::string saved = saveLevels(levels, savedName);
    std::vector<Splines*> reloaded;
    readLevels(savedName, reloaded);
    checkShape(reloaded, boundsOf(reinterpret_cast<const uint8_t*>(saved.data()), saved.size()));
    check(sameLevels(levels, reloaded, true), "saved levels read back differently");
    freeLevels(reloaded);

    // The same file with CR LF line ends reads the same.
    bool hasReturn = false;
    for (size_t i = 0; i < size && !hasReturn; ++i)
        hasReturn = data[i] == '\r';
    if (!hasReturn && size > 0) {
        std::string crlf;
        crlf.reserve(size + size / 8);
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n')
                crlf += '\r';
            crlf += static_cast<char>(data[i]);
        }
        setInput(reinterpret_cast<const uint8_t*>(crlf.data()), crlf.size());
        readLevels(inputName, reloaded);
        check(sameLevels(levels, reloaded, false), "CR LF line ends read differently");
        freeLevels(reloaded);
    }
    freeLevels(levels);
    return 0;
}
