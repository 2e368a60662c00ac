// The level file tool on the 400,000-point benchmark layout (four levels of
// 100,000 points): check, format, each export and the imports, every one a
// run of the real ombrel-level program, each against its floor: the least
// work that gives the same bytes (the editor's load and save, the exports'
// text written again from values known beforehand, the imports' parsing
// libraries and the reading of path data's numbers, then the editor's save),
// each in a process of its own as the tool is. Every floor is checked to
// write the command's bytes before anything is timed.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <simdjson.h>

#include "common.h"
#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"
#include "editor/FileIO.h"
#include "layout.h"

namespace {

const int kPointsPerLevel = 100000;
const int kUsageOrReadError = 2;  // the tool's exit status when it can't do the job

// The foreign drawing: one path of random cubic Béziers, as no exporter of
// ours would write it, so the import must fit it.
const int kForeignSegments = 10000;
const unsigned kForeignSeed = 1;
const char kTiger[] = "/usr/share/inkscape/examples/tiger.svgz";
const double kForeignExtent = 4.0;
// At most this far between a Bézier's points, each way: about a pixel of the
// editor's window a segment, 146 level units in all, which the import fits
// at the default tolerance (a longer path it fits more loosely, and says so).
const double kForeignStep = 0.015;

const size_t kReplayBuffer = 1 << 20;
const size_t kNumberRoom = 32;

// ---------------------------------------------------------------- timing children

// Status 1 (check's findings, an import's changes) is a result; 2 means the
// command is missing or failed.
bool runTool(const std::string& arguments)
{
    const int status = std::system((OMBREL_LEVEL_TOOL " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) < kUsageOrReadError;
}

// User and system time of the finished child processes (the shell and the tool).
double childCpuSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One run of a child process per iteration: the tool or a floor. The CPU
// column counts this process only; the children's own time is a counter.
void BM_Child(benchmark::State& state, const std::function<bool()>& run)
{
    double childSeconds = 0;
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const bool done = run();
        childSeconds += childCpuSeconds() - before;
        if (!done) {
            state.SkipWithError("the run failed, or a floor's library could not parse its input");
            break;
        }
    }
    state.counters["child_cpu_ms"] = benchmark::Counter(childSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

// ---------------------------------------------------------------- replaying an output

// An output as the literal runs between its numbers and the numbers' values,
// so that the same bytes can be written again from the values alone.
struct Replay {
    struct Number {
        uint32_t textBefore;  // bytes of `text` since the previous number
        float value;
    };
    std::string text;
    std::vector<Number> numbers;
};

// Every number that std::to_chars writes back as the same text (a float's
// shortest form; integers up to 2^24 among them) becomes a value; any other
// text stays literal.
Replay split(const std::string& bytes)
{
    Replay replay;
    const char* const end = bytes.data() + bytes.size();
    const char* runStart = bytes.data();
    for (const char* p = runStart; p < end;) {
        Replay::Number number{};
        const std::from_chars_result read =
            (*p == '-' || (*p >= '0' && *p <= '9')) ? std::from_chars(p, end, number.value) : std::from_chars_result{};
        if (read.ec != std::errc() || !read.ptr) {
            ++p;
            continue;
        }
        char again[kNumberRoom];
        const char* const written = std::to_chars(again, again + sizeof again, number.value).ptr;
        if (written - again == read.ptr - p && std::memcmp(again, p, written - again) == 0) {
            number.textBefore = static_cast<uint32_t>(p - runStart);
            replay.text.append(runStart, p);
            replay.numbers.push_back(number);
            runStart = read.ptr;
        }
        p = read.ptr;
    }
    replay.text.append(runStart, end);
    return replay;
}

// The text and the numbers formatted again, gathered and written in big writes.
bool writeReplay(const Replay& replay, const std::string& path)
{
    FILE* const out = std::fopen(path.c_str(), "w");
    if (!out)
        return false;
    std::string buffer;
    buffer.reserve(kReplayBuffer + kNumberRoom);
    const char* text = replay.text.data();
    for (const Replay::Number& number : replay.numbers) {
        buffer.append(text, number.textBefore);
        text += number.textBefore;
        char digits[kNumberRoom];
        buffer.append(digits, std::to_chars(digits, digits + sizeof digits, number.value).ptr);
        if (buffer.size() >= kReplayBuffer) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    buffer.append(text, replay.text.data() + replay.text.size());
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    const bool written = !std::ferror(out);
    return std::fclose(out) == 0 && written;
}

// ---------------------------------------------------------------- floors

// What a floor's run makes and keeps to the end of its process, as the
// editor keeps the levels it loads.
struct Leftovers {
    LevelList levels;
    simdjson::dom::parser json;  // holds the document it parsed
    std::string svg;             // the drawing's text
};

// One floor's run; false when a library could not parse its input.
using Floor = std::function<bool(Leftovers&)>;

void load(const std::string& path, std::vector<Splines*>& levels)
{
    FileIO files;
    files.setInputName(path.c_str());
    files.readFile(levels);
}

// What the editor's F1 does.
void save(const std::string& path, std::vector<Splines*>& levels)
{
    FileIO files;
    files.setOutputName(path.c_str());
    files.writeFile(levels);
}

// A floor runs in a child process of its own, as the tool runs: a fresh
// heap that must be paged in, not the warm one of earlier iterations. The
// fork saves the floor only the tool's exec and start-up.
bool runFloor(const Floor& floor)
{
    const pid_t child = fork();
    if (child == 0) {
        Leftovers left;
        _exit(floor(left) ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A floor writes what its command wrote (nullptr: nothing to match) into
// "floor-" and the same name.
struct FloorRun {
    const char* name;
    const char* output;
    Floor run;
};

std::string floorPath(const char* output) { return pathFor(std::string("floor-") + output); }

FloorRun exportFloor(const char* name, const char* output)
{
    const auto replay = std::make_shared<const Replay>(split(readWhole(pathFor(output))));
    const std::string layout = pathFor("layout.txt"), out = floorPath(output);
    return {name, output, [replay, layout, out](Leftovers& left) {
                load(layout, left.levels.list);
                return writeReplay(*replay, out);
            }};
}

// The whole document, as simdjson parses it for the import.
bool parseJson(const std::string& path, Leftovers& left) { return !left.json.load(path).error(); }

// Path data has no parsing library: the least the import can do with it is
// read each of its numbers once.
void XMLCALL addPathNumbers(void* sum, const XML_Char* name, const XML_Char** attributes)
{
    const char* const local = std::strrchr(name, '\x01');
    if (std::strcmp(local ? local + 1 : name, "path") != 0)
        return;
    for (const XML_Char** a = attributes; *a; a += 2) {
        if (std::strcmp(a[0], "d") != 0)
            continue;
        double value = 0;
        for (const char *p = a[1], *end = p + std::strlen(p); p < end;) {
            const std::from_chars_result read = std::from_chars(p, end, value);
            const bool number = read.ec == std::errc();
            *static_cast<double*>(sum) += number ? value : 0;
            p = number ? read.ptr : p + 1;
        }
    }
}

// The drawing read whole and parsed by expat with namespaces, as the import
// does, and every path's numbers read as the parser hands them over.
bool parseSvg(const std::string& path, Leftovers& left)
{
    left.svg = readWhole(path);
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    double sum = 0;
    XML_SetUserData(parser, &sum);
    XML_SetStartElementHandler(parser, addPathNumbers);
    const bool parsed = XML_Parse(parser, left.svg.data(), static_cast<int>(left.svg.size()), 1) != XML_STATUS_ERROR;
    XML_ParserFree(parser);
    return parsed && !std::isnan(sum);
}

// The parse of the import's input, then the editor's save of the levels the
// import made (read from its output before timing).
FloorRun importFloor(const char* name, const char* input, const char* output,
                     bool (*parse)(const std::string&, Leftovers&))
{
    const auto levels = std::make_shared<LevelList>();
    load(pathFor(output), levels->list);
    const std::string source = pathFor(input), out = floorPath(output);
    return {name, output, [levels, source, out, parse](Leftovers& left) {
                const bool parsed = parse(source, left);
                save(out, levels->list);
                return parsed;
            }};
}

std::vector<FloorRun> makeFloors()
{
    const std::string layout = pathFor("layout.txt"), formatted = floorPath("format.txt");
    return {
        {"BM_EditorLoad", nullptr,
         [layout](Leftovers& left) {
             load(layout, left.levels.list);
             return true;
         }},
        {"BM_FormatFloor", "format.txt",
         [layout, formatted](Leftovers& left) {
             load(layout, left.levels.list);
             settleAsTheEditorDoes(left.levels.list);
             save(formatted, left.levels.list);
             return true;
         }},
        exportFloor("BM_ExportSvgFloor", "layout.svg"),
        exportFloor("BM_ExportSvgPolylineFloor", "polyline.svg"),
        exportFloor("BM_ExportObjFloor", "layout.obj"),
        exportFloor("BM_ExportJsonFloor", "layout.json"),
        importFloor("BM_ImportJsonFloor", "layout.json", "imported-json.txt", parseJson),
        importFloor("BM_ImportSvgFloor", "layout.svg", "imported-svg.txt", parseSvg),
    };
}

// Runs the floor once; false, and said, unless it writes the command's bytes
// (a command that wrote nothing matches no floor).
bool writesTheSameBytes(const FloorRun& floor)
{
    Leftovers left;
    const bool done = floor.run(left);
    if (!floor.output)
        return true;
    const std::string expected = readWhole(pathFor(floor.output));
    if (done && !expected.empty() && expected == readWhole(floorPath(floor.output)))
        return true;
    std::fprintf(stderr, "ombrel-bench-level: %s doesn't write what its command writes (%s)\n", floor.name,
                 floor.output);
    return false;
}

// Each median against its floor; the foreign path against a time.
const std::vector<Ratio> kRatios = {
    {"BM_Check", "BM_EditorLoad", 1.3},
    {"BM_Format", "BM_FormatFloor", 1.3},
    {"BM_ExportSvg", "BM_ExportSvgFloor", 1.3},
    {"BM_ExportSvgPolyline", "BM_ExportSvgPolylineFloor", 1.3},
    {"BM_ExportObj", "BM_ExportObjFloor", 1.3},
    {"BM_ExportJson", "BM_ExportJsonFloor", 1.3},
    {"BM_ImportJson", "BM_EditorLoad", 2.0},
    {"BM_ImportJson", "BM_ImportJsonFloor", 1.3},
    {"BM_ImportSvg", "BM_EditorLoad", 3.0},
    {"BM_ImportSvg", "BM_ImportSvgFloor", 1.3},
    {"BM_ImportForeignPath", "", 1000},
    {"BM_ImportTiger", "", 2000},
};

// ---------------------------------------------------------------- setting up

struct ToolRun {
    const char* name;
    std::string arguments;
};

// Inkscape's tiger (from Debian's inkscape) is a drawing of 240 paths of a
// few hundred Béziers each, gzipped as it is shipped.
std::vector<ToolRun> toolRuns()
{
    const std::string layout = " " + pathFor("layout.txt");
    const auto to = [](const char* output) { return " -o " + pathFor(output) + " "; };
    return {
        {"BM_Check", "check" + layout},
        {"BM_Format", "format" + to("format.txt") + layout},
        {"BM_ExportSvg", "export --svg" + to("layout.svg") + layout},
        {"BM_ExportSvgPolyline", "export --svg --polyline" + to("polyline.svg") + layout},
        {"BM_ExportObj", "export --obj" + to("layout.obj") + layout},
        {"BM_ExportJson", "export --json" + to("layout.json") + layout},
        {"BM_ImportJson", "import" + to("imported-json.txt") + pathFor("layout.json")},
        {"BM_ImportSvg", "import" + to("imported-svg.txt") + pathFor("layout.svg")},
        {"BM_ImportForeignPath", "import" + to("foreign.txt") + pathFor("foreign.svg")},
        {"BM_ImportTiger", "import" + to("tiger.txt") + kTiger},
    };
}

// A random walk inside the extent, the same from the same seed everywhere
// (mt19937's sequence is fixed by the standard; the scaling is our own).
bool writeForeignSvg(const std::string& path)
{
    FILE* const out = std::fopen(path.c_str(), "w");
    if (!out)
        return false;
    std::mt19937 random(kForeignSeed);
    double x = 0, y = 0;
    const auto walk = [&random](double& at) {
        at = std::clamp(at + (random() / 4294967296.0 - 0.5) * kForeignStep, -kForeignExtent, kForeignExtent);
        return at;
    };
    std::fputs("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"640\" viewBox=\"-5 -5 10 10\">\n"
               "<path fill=\"none\" stroke=\"black\" stroke-width=\"0.02\" d=\"M0 0",
               out);
    for (int segment = 0; segment < kForeignSegments; ++segment) {
        std::fputs(" C", out);
        for (int point = 0; point < 3; ++point) {
            const double px = walk(x), py = walk(y);
            std::fprintf(out, " %.4f %.4f", px, py);
        }
    }
    std::fputs("\"/>\n</svg>\n", out);
    return std::fclose(out) == 0;
}

// The work files, every command once (so that the floors have its output to
// match and the imports their inputs), and the floors checked, then each
// registered; false, and said, when anything fails.
bool prepare()
{
    if (!writeLayoutFile(kPointsPerLevel, pathFor("layout.txt").c_str()) || !writeForeignSvg(pathFor("foreign.svg"))) {
        std::fprintf(stderr, "ombrel-bench-level: can't write the layouts in %s\n", pathFor("").c_str());
        return false;
    }
    const std::vector<ToolRun> runs = toolRuns();
    for (const ToolRun& run : runs)
        if (!runTool(run.arguments)) {
            std::fprintf(stderr, "ombrel-bench-level: failed: ombrel-level %s\n", run.arguments.c_str());
            return false;
        }
    const std::vector<FloorRun> floors = makeFloors();
    if (!std::all_of(floors.begin(), floors.end(), writesTheSameBytes))
        return false;
    const auto add = [](const char* name, std::function<bool()> run) {
        benchmark::RegisterBenchmark(name, BM_Child, run)->UseRealTime()->Unit(benchmark::kMillisecond);
    };
    for (const FloorRun& floor : floors)
        add(floor.name, [run = floor.run] { return runFloor(run); });
    for (const ToolRun& run : runs)
        add(run.name, [arguments = run.arguments] { return runTool(arguments); });
    return true;
}

}  // namespace

int main(int argc, char** argv) { return benchmarkMain(argc, argv, "ombrel-bench-level", prepare, kRatios); }
