// ombrel-level: checks, normalises and exports level files without a display.
//   ombrel-level check FILE...
//   ombrel-level format [-o OUT] FILE
//   ombrel-level export --svg | --obj | --json [--samples N] [--polyline] [--points] [-o OUT] FILE
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Export.h"
#include "FileIO.h"
#include "LevelFile.h"
#include "Splines.h"

namespace {

const int kFindings = 1;
const int kUsageError = 2;  // also a file that can't be read or written

const char kUsage[] =
    "usage: ombrel-level check FILE...\n"
    "       ombrel-level format [-o OUT] FILE\n"
    "       ombrel-level export --svg|--obj|--json [--samples N] [--polyline] [--points] [-o OUT] FILE\n"
    "       ombrel-level --help | --version\n"
    "FILE and OUT may be - for standard input and output.\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return kUsageError;
}

void complain(const std::string& what, const std::string& name, int error)
{
    std::fprintf(stderr, "ombrel-level: %s %s: %s\n", what.c_str(), name.c_str(), std::strerror(error));
}

bool isOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-';
}

class Levels {
public:
    std::vector<Splines*> list;
    Levels() = default;
    Levels(const Levels&) = delete;
    Levels& operator=(const Levels&) = delete;
    ~Levels() { freeLevels(list); }
};

// Reads FILE ("-" for standard input) with the editor's reader; false, and
// said on standard error, when it can't be opened or read.
bool readLevelFile(const std::string& name, std::vector<Splines*>& levels, const FindingSink* findings = nullptr)
{
    FILE* const in = name == "-" ? stdin : std::fopen(name.c_str(), "r");
    if (!in) {
        complain("can't open", name, errno);
        return false;
    }
    readLevels(in, levels, findings);
    const bool failed = std::ferror(in) != 0;
    const int error = errno;
    if (in != stdin)
        std::fclose(in);
    if (failed)
        complain("can't read", name, error);
    return !failed;
}

// ---------------------------------------------------------------- check

struct Finding {
    long line;
    long column;
    std::string what;
};

// Prints each finding as FILE:LINE:COLUMN: what, in file order.
int checkOne(const std::string& name)
{
    std::vector<Finding> found;
    const FindingSink sink = [&found](long line, long column, const std::string& what) {
        found.push_back(Finding{line, column, what});
    };
    Levels levels;
    if (!readLevelFile(name, levels.list, &sink))
        return kUsageError;
    std::stable_sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const Finding& finding : found)
        std::printf("%s:%ld:%ld: %s\n", name.c_str(), finding.line, finding.column, finding.what.c_str());
    return found.empty() ? 0 : kFindings;
}

int checkCommand(int argc, char** argv)
{
    if (argc == 0)
        return usage();
    for (int i = 0; i < argc; ++i)
        if (isOption(argv[i]))
            return usage();
    int status = 0;
    for (int i = 0; i < argc; ++i)
        status = std::max(status, checkOne(argv[i]));
    return std::fflush(stdout) == 0 ? status : kUsageError;
}

// ---------------------------------------------------------------- format

// Writes to OUT through the editor's own safe save, or to standard output
// for "-" or no OUT; false, and said on standard error, when it fails.
bool writeOutput(const std::string& name, const FileWriter& write)
{
    if (name.empty() || name == "-") {
        const bool written = write(stdout) && std::fflush(stdout) == 0;
        if (!written)
            complain("can't write", "-", errno);
        return written;
    }
    const SaveOutcome outcome = saveFile(name, write);
    if (outcome != SaveOutcome::Saved)
        std::fprintf(stderr, "ombrel-level: can't %s %s\n", outcome == SaveOutcome::CantOpen ? "open" : "write",
                     name.c_str());
    return outcome == SaveOutcome::Saved;
}

int formatCommand(int argc, char** argv)
{
    std::string output, input;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-o" && i + 1 < argc && argv[i + 1][0] != '\0' && output.empty())
            output = argv[++i];
        else if (input.empty() && !isOption(argument) && !argument.empty())
            input = argument;
        else
            return usage();
    }
    if (input.empty())
        return usage();
    Levels levels;
    if (!readLevelFile(input, levels.list))
        return kUsageError;
    settleAsTheEditorDoes(levels.list);
    const std::vector<Splines*>& settled = levels.list;
    return writeOutput(output, [&settled](FILE* out) { return writeLevels(out, settled); }) ? 0 : kUsageError;
}

// ---------------------------------------------------------------- export

using Exporter = bool (*)(FILE*, const std::vector<Splines*>&, const ExportOptions&);

// A whole number within 1..kMostSamples, or 0.
int sampleCount(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(text, &end, 10);
    const bool whole = end != text && *end == '\0' && errno == 0;
    return whole && count >= 1 && count <= kMostSamples ? static_cast<int>(count) : 0;
}

int exportCommand(int argc, char** argv)
{
    Exporter writer = nullptr;
    ExportOptions options;
    std::string output, input;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--svg")
            writer = exportSvg;
        else if (argument == "--obj")
            writer = exportObj;
        else if (argument == "--json")
            writer = exportJson;
        else if (argument == "--polyline")
            options.polyline = true;
        else if (argument == "--points")
            options.points = true;
        else if (argument == "--samples" && i + 1 < argc)
            options.samples = sampleCount(argv[++i]);
        else if (argument == "-o" && i + 1 < argc)
            output = argv[++i];
        else if (input.empty() && !isOption(argument) && !argument.empty())
            input = argument;
        else
            return usage();
    }
    if (!writer || input.empty() || options.samples < 1)
        return usage();
    Levels levels;
    if (!readLevelFile(input, levels.list))
        return kUsageError;
    settleAsTheEditorDoes(levels.list);
    const std::vector<Splines*>& read = levels.list;
    return writeOutput(output, [&](FILE* out) { return writer(out, read, options); }) ? 0 : kUsageError;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts("ombrel-level " OMBREL_VERSION);
        return 0;
    }
    if (command == "check")
        return checkCommand(argc - 2, argv + 2);
    if (command == "format")
        return formatCommand(argc - 2, argv + 2);
    if (command == "export")
        return exportCommand(argc - 2, argv + 2);
    return usage();
}
