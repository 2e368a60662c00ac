#include "common.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

namespace {

std::string workDir;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t k = values.size();
    return k % 2 ? values[k / 2] : (values[k / 2 - 1] + values[k / 2]) / 2;
}

std::string verdict(double value, const Ratio& row)
{
    char text[40];
    if (row.base.empty())
        std::snprintf(text, sizeof text, "<%.0fms %s", row.target, value < row.target ? "met" : "MISSED");
    else
        std::snprintf(text, sizeof text, "<=%.1f %s", row.target, value <= row.target ? "met" : "MISSED");
    return text;
}

// Figures as the table prints them: "-" where a row has no base.
std::string figure(double value, bool shown, const char* format)
{
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return shown ? text : "-";
}

}  // namespace

bool makeWorkDir(const char* program)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + program + "-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        std::perror(program);
        return false;
    }
    workDir = pattern;
    return true;
}

std::string pathFor(const std::string& name) { return workDir + "/" + name; }

void removeWorkDir() { std::filesystem::remove_all(workDir); }

// The whole file in one read, the least a floor can do to hold it (the SVG
// import floor is timed with it).
std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(in ? static_cast<size_t>(in.tellg()) : 0, '\0');
    in.seekg(0).read(text.data(), static_cast<std::streamsize>(text.size()));
    return text;
}

RatioReporter::RatioReporter(std::vector<Ratio> rows)
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), rows(std::move(rows))
{
}

// Each repetition's time, or only the median when the aggregates alone are
// reported: the median of the repetitions and their median is their median.
void RatioReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.error_occurred || (run.run_type != Run::RT_Iteration && run.aggregate_name != "median"))
            continue;
        const std::string name = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
        const double scale = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        const auto child = run.counters.find("child_cpu_ms");
        real[name].push_back(run.GetAdjustedRealTime() * scale);
        cpu[name].push_back(child != run.counters.end() ? child->second.value : run.GetAdjustedCPUTime() * scale);
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize()
{
    ConsoleReporter::Finalize();
    char line[240];
    std::snprintf(line, sizeof line, "\n%-24s %-24s %9s %9s %7s %-13s %9s %9s %7s %-13s\n", "Medians", "against",
                  "real ms", "base ms", "ratio", "target", "CPU ms", "base CPU", "ratio", "target");
    GetOutputStream() << line;
    for (const Ratio& row : rows)
        GetOutputStream() << rowText(row);
}

// Empty when the benchmark or its base did not run.
std::string RatioReporter::rowText(const Ratio& row)
{
    const bool based = !row.base.empty();
    const double valueReal = median(real[row.name]), valueCpu = median(cpu[row.name]);
    const double baseReal = based ? median(real[row.base]) : 1, baseCpu = based ? median(cpu[row.base]) : 1;
    if (valueReal <= 0 || baseReal <= 0 || baseCpu <= 0)
        return "";
    char line[240];
    std::snprintf(line, sizeof line, "%-24s %-24s %9.1f %9s %7s %-13s %9.1f %9s %7s %-13s\n", row.name.substr(3).c_str(),
                  based ? row.base.substr(3).c_str() : "-", valueReal, figure(baseReal, based, "%.1f").c_str(),
                  figure(valueReal / baseReal, based, "%.2f").c_str(), verdict(valueReal / baseReal, row).c_str(),
                  valueCpu, figure(baseCpu, based, "%.1f").c_str(), figure(valueCpu / baseCpu, based, "%.2f").c_str(),
                  verdict(valueCpu / baseCpu, row).c_str());
    return line;
}

int benchmarkMain(int& argc, char** argv, const char* program, const std::function<bool()>& prepare,
                  std::vector<Ratio> rows)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv) || !makeWorkDir(program))
        return 1;
    const bool prepared = prepare();
    if (prepared) {
        RatioReporter reporter(std::move(rows));
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
    }
    removeWorkDir();
    return prepared ? 0 : 1;
}
