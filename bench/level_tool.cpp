// The level file tool on the 400,000-point benchmark layout (four levels of
// 100,000 points): check, format and each export, every one a run of the
// real ombrel-level program, against the editor's load of the same file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "FileIO.h"
#include "LevelFile.h"
#include "Splines.h"
#include "layout.h"

namespace {

const int kPointsPerLevel = 100000;
const int kUsageOrReadError = 2;  // the tool's exit status when it can't do the job

std::string workDir;

std::string pathFor(const char* what) { return workDir + "/" + what; }

void BM_EditorLoad(benchmark::State& state)
{
    FileIO files;
    files.setInputName(pathFor("layout.txt").c_str());
    std::vector<Splines*> levels;
    for (auto _ : state) {
        files.readFile(levels);
        state.PauseTiming();
        freeLevels(levels);
        state.ResumeTiming();
    }
}

// User and system time of the finished child processes (the shell and the tool).
double childCpuSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One run of the tool per iteration; check's status 1 (findings) is a
// result, 2 means the command is missing or failed.
void BM_Tool(benchmark::State& state, const std::string& arguments)
{
    const std::string command = std::string(OMBREL_LEVEL_TOOL) + " " + arguments + " >/dev/null 2>&1";
    double childSeconds = 0;
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const int status = std::system(command.c_str());
        childSeconds += childCpuSeconds() - before;
        if (!WIFEXITED(status) || WEXITSTATUS(status) >= kUsageOrReadError) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
    // The CPU column counts this process only; the program's own time is here.
    state.counters["child_cpu_ms"] = benchmark::Counter(childSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

// The console table, then each median against the editor's load, in real
// time and in CPU time (the program's own, which other work disturbs less).
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
        const double loadReal = median(real["BM_EditorLoad"]), loadCpu = median(cpu["BM_EditorLoad"]);
        char line[200];
        std::snprintf(line, sizeof line, "\n%-20s %9s %9s %7s %9s %9s %7s %7s\n", "Medians", "real ms", "load ms",
                      "ratio", "CPU ms", "load CPU", "ratio", "target");
        out << line;
        const struct {
            const char* name;
            double target;
        } kRows[] = {{"BM_Check", 1.5},     {"BM_Format", 1.5},     {"BM_ExportSvg", 2.0},
                     {"BM_ExportSvgPolyline", 2.0}, {"BM_ExportObj", 2.0}, {"BM_ExportJson", 2.0}};
        for (const auto& row : kRows) {
            const double valueReal = median(real[row.name]), valueCpu = median(cpu[row.name]);
            if (valueReal <= 0 || loadReal <= 0 || loadCpu <= 0)
                continue;
            std::snprintf(line, sizeof line, "%-20s %9.1f %9.1f %7.2f %9.1f %9.1f %7.2f %4s%3.1f  %s\n", row.name + 3,
                          valueReal, loadReal, valueReal / loadReal, valueCpu, loadCpu, valueCpu / loadCpu, "<=",
                          row.target, valueReal / loadReal <= row.target ? "met" : "MISSED");
            out << line;
        }
    }

private:
    std::map<std::string, std::vector<double>> real, cpu;

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t k = values.size();
        return k % 2 ? values[k / 2] : (values[k / 2 - 1] + values[k / 2]) / 2;
    }
};

void registerBenchmarks()
{
    const std::string file = pathFor("layout.txt");
    const struct {
        const char* name;
        std::string arguments;
    } kRuns[] = {
        {"BM_Check", "check " + file},
        {"BM_Format", "format -o " + pathFor("format.txt") + " " + file},
        {"BM_ExportSvg", "export --svg -o " + pathFor("layout.svg") + " " + file},
        {"BM_ExportSvgPolyline", "export --svg --polyline -o " + pathFor("polyline.svg") + " " + file},
        {"BM_ExportObj", "export --obj -o " + pathFor("layout.obj") + " " + file},
        {"BM_ExportJson", "export --json -o " + pathFor("layout.json") + " " + file},
    };
    benchmark::RegisterBenchmark("BM_EditorLoad", BM_EditorLoad)->UseRealTime()->Unit(benchmark::kMillisecond);
    for (const auto& run : kRuns)
        benchmark::RegisterBenchmark(run.name, BM_Tool, run.arguments)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void removeWorkDir()
{
    for (const char* what : {"layout.txt", "format.txt", "layout.svg", "polyline.svg", "layout.obj", "layout.json"})
        std::remove(pathFor(what).c_str());
    rmdir(workDir.c_str());
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

    Layout* const layout = makeLayout(kPointsPerLevel);
    FILE* const out = std::fopen(pathFor("layout.txt").c_str(), "w");
    const bool written = out && writeLevels(out, layout->levels);
    if (!out || std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "ombrel-bench-level: can't write %s\n", pathFor("layout.txt").c_str());
        return 1;
    }
    freeLevels(layout->levels);
    delete layout;

    registerBenchmarks();
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeWorkDir();
    return 0;
}
