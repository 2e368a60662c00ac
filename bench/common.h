// What both benchmark programs share: a private work directory, whole
// files, and the table of each median against its floor or target.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// A fresh directory under $TMPDIR (or /tmp) named after the program; false,
// and said, when it can't be made.
bool makeWorkDir(const char* program);
std::string pathFor(const std::string& name);
void removeWorkDir();

std::string readWhole(const std::string& path);

// One line of the ratio table: the median of `name` against the median of
// `base`, or, with no base, against a target in milliseconds.
struct Ratio {
    std::string name;
    std::string base;
    double target;
};

// The console table, then each ratio in real time and in CPU time (the
// process's own, or its children's when a run counts `child_cpu_ms`).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<Ratio> rows);
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<Ratio> rows;
    std::map<std::string, std::vector<double>> real, cpu;
    std::string rowText(const Ratio& row);
};

// A benchmark program's main: reads the flags, makes the work directory,
// lets `prepare` register the benchmarks, runs what the command line selects
// with the ratios after the console table (a machine-readable copy:
// --benchmark_out=FILE --benchmark_out_format=json), removes the directory.
// 1 when a flag, the directory or the preparation fails.
int benchmarkMain(int& argc, char** argv, const char* program, const std::function<bool()>& prepare,
                  std::vector<Ratio> rows);
