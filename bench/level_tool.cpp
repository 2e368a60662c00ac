// The level file tool on the 400,000-point benchmark layout (four levels of
// 100,000 points): check, format, each export and the imports, every one a
// run of the real ombrel-level program, each against its floor: the least
// work that gives the same bytes (the editor's load and save, the exports'
// text written again from values known beforehand, the imports' parsing
// libraries and the reading of path data's numbers, then the editor's save),
// each in a process of its own as the tool is. Every floor is checked to
// write the command's bytes before anything is timed.
#include <benchmark/benchmark.h>
#include <dirent.h>
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
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <simdjson.h>

#include "FileIO.h"
#include "LevelFile.h"
#include "Splines.h"
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

std::string workDir;

std::string pathFor(const char* what) { return workDir + "/" + what; }

std::string readWhole(const std::string& path)
{
    std::string text;
    FILE* const in = std::fopen(path.c_str(), "rb");
    if (!in)
        return text;
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        text.append(buffer, n);
    std::fclose(in);
    return text;
}

// ---------------------------------------------------------------- the tool

std::string toolCommand(const std::string& arguments)
{
    return std::string(OMBREL_LEVEL_TOOL) + " " + arguments + " >/dev/null 2>&1";
}

// Status 1 (check's findings, an import's changes) is a result; 2 means the
// command is missing or failed.
bool toolDid(int status) { return WIFEXITED(status) && WEXITSTATUS(status) < kUsageOrReadError; }

// User and system time of the finished child processes (the shell and the tool).
double childCpuSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One run of the tool per iteration.
void BM_Tool(benchmark::State& state, const std::string& arguments)
{
    const std::string command = toolCommand(arguments);
    double childSeconds = 0;
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const int status = std::system(command.c_str());
        childSeconds += childCpuSeconds() - before;
        if (!toolDid(status)) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
    // The CPU column counts this process only; the program's own time is here.
    state.counters["child_cpu_ms"] = benchmark::Counter(childSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

// ---------------------------------------------------------------- replaying an output

// An output as the literal runs between its numbers and the numbers' values,
// so that the same bytes can be written again from the values alone.
struct Replay {
    struct Number {
        uint32_t textBefore;  // bytes of `text` since the previous number
        bool integral;        // written as an integer, else as the shortest float
        union {
            float real;
            int32_t integer;
        };
    };
    std::string text;
    std::vector<Number> numbers;
};

const char* skipDigits(const char* p, const char* end)
{
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    return p;
}

// The length of the number starting at s (a minus, digits, a fraction, an
// exponent), 0 when none does; `integral` when it has digits only.
size_t numberAt(const char* s, const char* end, bool& integral)
{
    const char* const digits = s + (*s == '-');
    const char* p = skipDigits(digits, end);
    if (p == digits)
        return 0;
    const char* const afterInteger = p;
    if (p + 1 < end && *p == '.' && p[1] >= '0' && p[1] <= '9')
        p = skipDigits(p + 1, end);
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* const exponent = p + 1 + (p + 1 < end && (p[1] == '+' || p[1] == '-'));
        const char* const after = skipDigits(exponent, end);
        if (after != exponent)
            p = after;
    }
    integral = p == afterInteger;
    return static_cast<size_t>(p - s);
}

// The shortest text of the number; the end of what was written.
char* formatNumber(char* at, char* end, const Replay::Number& number)
{
    return (number.integral ? std::to_chars(at, end, number.integer) : std::to_chars(at, end, number.real)).ptr;
}

// The number's value, when std::to_chars writes it back as exactly this text;
// any other (leading zeros, a padded fraction) stays literal text.
bool writesBack(const char* s, size_t length, Replay::Number& number)
{
    const char* const end = s + length;
    const std::from_chars_result read =
        number.integral ? std::from_chars(s, end, number.integer) : std::from_chars(s, end, number.real);
    if (read.ec != std::errc() || read.ptr != end)
        return false;
    char again[kNumberRoom];
    const char* const written = formatNumber(again, again + sizeof again, number);
    return static_cast<size_t>(written - again) == length && std::memcmp(again, s, length) == 0;
}

Replay split(const std::string& bytes)
{
    Replay replay;
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const char* runStart = begin;
    for (const char* p = begin; p < end;) {
        Replay::Number number{};
        const size_t length = numberAt(p, end, number.integral);
        if (length == 0) {
            ++p;
            continue;
        }
        if (writesBack(p, length, number)) {
            number.textBefore = static_cast<uint32_t>(p - runStart);
            replay.text.append(runStart, p);
            replay.numbers.push_back(number);
            runStart = p + length;
        }
        p += length;
    }
    replay.text.append(runStart, end);
    return replay;
}

// Bytes gathered in a large buffer and handed to the file in big writes.
class BufferedFile {
public:
    explicit BufferedFile(const std::string& path) : file(std::fopen(path.c_str(), "w")), buffer(kReplayBuffer) {}
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;
    ~BufferedFile() { finish(); }

    void text(const char* s, size_t size)
    {
        if (used + size > buffer.size())
            flush();
        if (size > buffer.size()) {
            put(s, size);
            return;
        }
        std::memcpy(buffer.data() + used, s, size);
        used += size;
    }

    void number(const Replay::Number& number)
    {
        if (used + kNumberRoom > buffer.size())
            flush();
        used = formatNumber(buffer.data() + used, buffer.data() + buffer.size(), number) - buffer.data();
    }

    // False when the file could not be opened or written.
    bool finish()
    {
        if (!file)
            return false;
        flush();
        const bool good = !std::ferror(file);
        const bool closed = std::fclose(file) == 0;
        file = nullptr;
        return good && closed;
    }

private:
    void flush()
    {
        put(buffer.data(), used);
        used = 0;
    }
    void put(const char* s, size_t size)
    {
        if (file)
            std::fwrite(s, 1, size, file);
    }

    FILE* file;
    std::vector<char> buffer;
    size_t used = 0;
};

bool writeReplay(const Replay& replay, const std::string& path)
{
    BufferedFile out(path);
    const char* text = replay.text.data();
    for (const Replay::Number& number : replay.numbers) {
        out.text(text, number.textBefore);
        text += number.textBefore;
        out.number(number);
    }
    out.text(text, static_cast<size_t>(replay.text.data() + replay.text.size() - text));
    return out.finish();
}

// ---------------------------------------------------------------- floors

// What a floor's run makes and keeps to the end of its process, as the
// editor keeps the levels it loads.
struct Leftovers {
    std::vector<Splines*> levels;
    simdjson::dom::parser json;  // holds the document it parsed
    std::string svg;             // the drawing's text

    ~Leftovers() { freeLevels(levels); }
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

// Each run in a child process of its own, as the tool runs: a fresh heap
// that must be paged in, not the warm one of earlier iterations. The fork
// saves the floor only the tool's exec and start-up.
void BM_Floor(benchmark::State& state, const Floor& floor)
{
    double childSeconds = 0;
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const pid_t child = fork();
        if (child == 0) {
            Leftovers left;
            _exit(floor(left) ? 0 : 1);
        }
        int status = 0;
        const bool done = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                          WEXITSTATUS(status) == 0;
        childSeconds += childCpuSeconds() - before;
        if (!done) {
            state.SkipWithError("a floor's run failed or its library could not parse its input");
            break;
        }
    }
    state.counters["child_cpu_ms"] = benchmark::Counter(childSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

struct FloorRun {
    const char* name;
    const char* command;      // the tool's, for messages
    const char* output;       // what the command writes, or nullptr
    const char* floorOutput;  // what the floor writes, to be the same bytes
    Floor run;
};

FloorRun exportFloor(const char* name, const char* command, const char* output, const char* floorOutput)
{
    const auto replay = std::make_shared<const Replay>(split(readWhole(pathFor(output))));
    const std::string layout = pathFor("layout.txt"), out = pathFor(floorOutput);
    return {name, command, output, floorOutput, [replay, layout, out](Leftovers& left) {
                load(layout, left.levels);
                return writeReplay(*replay, out);
            }};
}

// The whole document, as simdjson parses it for the import.
bool parseJson(const std::string& path, Leftovers& left)
{
    simdjson::dom::element root;
    return !left.json.load(path).get(root);
}

// Path data has no parsing library: the least the import can do with it is
// read each of its numbers once.
double readPathNumbers(const char* d)
{
    double sum = 0, value = 0;
    const char* const end = d + std::strlen(d);
    for (const char* p = d; p < end;) {
        const std::from_chars_result read = std::from_chars(p, end, value);
        if (read.ec == std::errc()) {
            sum += value;
            p = read.ptr;
        } else {
            ++p;
        }
    }
    return sum;
}

void XMLCALL addPathNumbers(void* sum, const XML_Char* name, const XML_Char** attributes)
{
    const char* const local = std::strrchr(name, '\x01');
    if (std::strcmp(local ? local + 1 : name, "path") != 0)
        return;
    for (const XML_Char** a = attributes; *a; a += 2)
        if (std::strcmp(a[0], "d") == 0)
            *static_cast<double*>(sum) += readPathNumbers(a[1]);
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
FloorRun importFloor(const char* name, const char* command, const char* input, const char* output,
                     const char* floorOutput, bool (*parse)(const std::string&, Leftovers&))
{
    const auto levels = std::make_shared<LevelList>();
    load(pathFor(output), levels->list);
    const std::string source = pathFor(input), out = pathFor(floorOutput);
    return {name, command, output, floorOutput, [levels, source, out, parse](Leftovers& left) {
                const bool parsed = parse(source, left);
                save(out, levels->list);
                return parsed;
            }};
}

std::vector<FloorRun> makeFloors()
{
    const std::string layout = pathFor("layout.txt"), formatted = pathFor("format-floor.txt");
    std::vector<FloorRun> floors = {
        {"BM_EditorLoad", "check", nullptr, nullptr,
         [layout](Leftovers& left) {
             load(layout, left.levels);
             return true;
         }},
        {"BM_FormatFloor", "format", "format.txt", "format-floor.txt",
         [layout, formatted](Leftovers& left) {
             load(layout, left.levels);
             settleAsTheEditorDoes(left.levels);
             save(formatted, left.levels);
             return true;
         }},
        exportFloor("BM_ExportSvgFloor", "export --svg", "layout.svg", "layout-floor.svg"),
        exportFloor("BM_ExportSvgPolylineFloor", "export --svg --polyline", "polyline.svg", "polyline-floor.svg"),
        exportFloor("BM_ExportObjFloor", "export --obj", "layout.obj", "layout-floor.obj"),
        exportFloor("BM_ExportJsonFloor", "export --json", "layout.json", "layout-floor.json"),
        importFloor("BM_ImportJsonFloor", "import (JSON)", "layout.json", "imported-json.txt",
                    "imported-json-floor.txt", parseJson),
        importFloor("BM_ImportSvgFloor", "import (SVG)", "layout.svg", "imported-svg.txt", "imported-svg-floor.txt",
                    parseSvg),
    };
    return floors;
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
    if (done && !expected.empty() && expected == readWhole(pathFor(floor.floorOutput)))
        return true;
    std::fprintf(stderr, "ombrel-bench-level: the floor of %s (%s) doesn't write what the command writes (%s)\n",
                 floor.command, floor.name, floor.output);
    return false;
}

// ---------------------------------------------------------------- the table

struct Row {
    const char* command;
    const char* floor;  // nullptr: the target is in milliseconds
    double target;
};

const Row kRows[] = {
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
    {"BM_ImportForeignPath", nullptr, 1000},
};

// The console table, then each median against its floor, in real time and
// in CPU time (the program's own, which other work disturbs less).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double scale = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const auto child = run.counters.find("child_cpu_ms");
            const double cpu = child != run.counters.end() ? child->second.value : run.GetAdjustedCPUTime() * scale;
            real[run.run_name.function_name].push_back(run.GetAdjustedRealTime() * scale);
            this->cpu[run.run_name.function_name].push_back(cpu);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        char line[240];
        std::snprintf(line, sizeof line, "\n%-20s %-22s %9s %9s %7s %-13s %9s %9s %7s %-13s\n", "Medians", "against",
                      "real ms", "floor ms", "ratio", "target", "CPU ms", "floor CPU", "ratio", "target");
        out << line;
        for (const Row& row : kRows)
            out << rowText(row);
    }

private:
    std::map<std::string, std::vector<double>> real, cpu;

    // Empty when the command or its floor was not run.
    std::string rowText(const Row& row)
    {
        const double valueReal = median(real[row.command]), valueCpu = median(cpu[row.command]);
        char line[240];
        if (!row.floor) {
            std::snprintf(line, sizeof line, "%-20s %-22s %9.1f %9s %7s %-13s %9.1f %9s %7s %-13s\n",
                          row.command + 3, "-", valueReal, "-", "-", verdict(valueReal, row).c_str(), valueCpu, "-",
                          "-", verdict(valueCpu, row).c_str());
            return valueReal > 0 ? line : "";
        }
        const double floorReal = median(real[row.floor]), floorCpu = median(cpu[row.floor]);
        if (valueReal <= 0 || floorReal <= 0 || floorCpu <= 0)
            return "";
        std::snprintf(line, sizeof line, "%-20s %-22s %9.1f %9.1f %7.2f %-13s %9.1f %9.1f %7.2f %-13s\n",
                      row.command + 3, row.floor + 3, valueReal, floorReal, valueReal / floorReal,
                      verdict(valueReal / floorReal, row).c_str(), valueCpu, floorCpu, valueCpu / floorCpu,
                      verdict(valueCpu / floorCpu, row).c_str());
        return line;
    }

    static std::string verdict(double value, const Row& row)
    {
        char text[40];
        if (row.floor)
            std::snprintf(text, sizeof text, "<=%.1f %s", row.target, value <= row.target ? "met" : "MISSED");
        else
            std::snprintf(text, sizeof text, "<%.0fms %s", row.target, value < row.target ? "met" : "MISSED");
        return text;
    }

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t k = values.size();
        return k % 2 ? values[k / 2] : (values[k / 2 - 1] + values[k / 2]) / 2;
    }
};

// ---------------------------------------------------------------- setting up

struct ToolRun {
    const char* name;
    std::string arguments;
};

std::vector<ToolRun> toolRuns()
{
    const std::string file = pathFor("layout.txt");
    return {
        {"BM_Check", "check " + file},
        {"BM_Format", "format -o " + pathFor("format.txt") + " " + file},
        {"BM_ExportSvg", "export --svg -o " + pathFor("layout.svg") + " " + file},
        {"BM_ExportSvgPolyline", "export --svg --polyline -o " + pathFor("polyline.svg") + " " + file},
        {"BM_ExportObj", "export --obj -o " + pathFor("layout.obj") + " " + file},
        {"BM_ExportJson", "export --json -o " + pathFor("layout.json") + " " + file},
        {"BM_ImportJson", "import -o " + pathFor("imported-json.txt") + " " + pathFor("layout.json")},
        {"BM_ImportSvg", "import -o " + pathFor("imported-svg.txt") + " " + pathFor("layout.svg")},
        {"BM_ImportForeignPath", "import -o " + pathFor("foreign.txt") + " " + pathFor("foreign.svg")},
        {"BM_ImportTiger", "import -o " + pathFor("tiger.txt") + " " + pathFor("tiger.svg")},
    };
}

// Inkscape's tiger, a drawing of 240 paths of a few hundred Béziers each,
// unpacked: the import reads no gzip yet.
bool unpackTiger(const std::string& path)
{
    const std::string command = "gzip -dc " + std::string(kTiger) + " > " + path;
    return std::system(command.c_str()) == 0;
}

bool writeLayout(const std::string& path)
{
    Layout* const layout = makeLayout(kPointsPerLevel);
    FILE* const out = std::fopen(path.c_str(), "w");
    const bool written = out && writeLevels(out, layout->levels);
    const bool closed = out && std::fclose(out) == 0;
    freeLevels(layout->levels);
    delete layout;
    return written && closed;
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

// Every command once, so that the floors have its output to match and the
// imports their inputs.
bool runEachCommandOnce(const std::vector<ToolRun>& runs)
{
    for (const ToolRun& run : runs)
        if (!toolDid(std::system(toolCommand(run.arguments).c_str()))) {
            std::fprintf(stderr, "ombrel-bench-level: failed: %s\n", toolCommand(run.arguments).c_str());
            return false;
        }
    return true;
}

void registerBenchmarks(const std::vector<ToolRun>& runs, const std::vector<FloorRun>& floors)
{
    for (const FloorRun& floor : floors)
        benchmark::RegisterBenchmark(floor.name, BM_Floor, floor.run)->UseRealTime()->Unit(benchmark::kMillisecond);
    for (const ToolRun& run : runs)
        benchmark::RegisterBenchmark(run.name, BM_Tool, run.arguments)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void removeWorkDir()
{
    if (DIR* const dir = opendir(workDir.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                std::remove(pathFor(entry->d_name).c_str());
        closedir(dir);
    }
    rmdir(workDir.c_str());
}

// The work files, the commands' outputs and the floors, checked; false, and
// said, when anything fails.
bool prepare(std::vector<ToolRun>& runs, std::vector<FloorRun>& floors)
{
    if (!unpackTiger(pathFor("tiger.svg"))) {
        std::fprintf(stderr, "ombrel-bench-level: can't unpack %s (from Debian's inkscape)\n", kTiger);
        return false;
    }
    if (!writeLayout(pathFor("layout.txt")) || !writeForeignSvg(pathFor("foreign.svg"))) {
        std::fprintf(stderr, "ombrel-bench-level: can't write the layouts in %s\n", workDir.c_str());
        return false;
    }
    runs = toolRuns();
    if (!runEachCommandOnce(runs))
        return false;
    floors = makeFloors();
    return std::all_of(floors.begin(), floors.end(), writesTheSameBytes);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ombrel-bench-level-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        std::perror("ombrel-bench-level: mkdtemp");
        return 1;
    }
    workDir = pattern;

    std::vector<ToolRun> runs;
    std::vector<FloorRun> floors;
    if (!prepare(runs, floors)) {
        removeWorkDir();
        return 1;
    }
    registerBenchmarks(runs, floors);
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeWorkDir();
    return 0;
}
