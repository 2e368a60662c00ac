// ombrel-level: checks, normalises and exports level files without a display.
//   ombrel-level check FILE...
//   ombrel-level format [-o OUT] FILE
//   ombrel-level export --svg | --obj | --json [--samples N] [--polyline] [--points] [-o OUT] FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Export.h"
#include "LevelFile.h"
#include "Splines.h"

namespace {

const int kUsageError = 2;

const char kUsage[] =
    "usage: ombrel-level check FILE...\n"
    "       ombrel-level format [-o OUT] FILE\n"
    "       ombrel-level export --svg|--obj|--json [--samples N] [--polyline] [--points] [-o OUT] FILE\n"
    "       ombrel-level --help | --version\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return kUsageError;
}

// Reads FILE ("-" for standard input) as the editor does; false when it can't be opened.
bool readLevelFile(const std::string& name, std::vector<Splines*>& levels)
{
    FILE* const in = name == "-" ? stdin : std::fopen(name.c_str(), "r");
    if (!in) {
        std::fprintf(stderr, "ombrel-level: can't open %s\n", name.c_str());
        return false;
    }
    readLevels(in, levels);
    if (in != stdin)
        std::fclose(in);
    return true;
}

// Writes through the writer to OUT ("-" or empty for standard output).
bool writeOutput(const std::string& name, bool (*writer)(FILE*, const std::vector<Splines*>&, const ExportOptions&),
                 const std::vector<Splines*>& levels, const ExportOptions& options)
{
    FILE* const out = name.empty() || name == "-" ? stdout : std::fopen(name.c_str(), "w");
    bool written = out && writer(out, levels, options);
    written = out && std::fflush(out) == 0 && written;
    if (out && out != stdout)
        written = std::fclose(out) == 0 && written;
    if (!written)
        std::fprintf(stderr, "ombrel-level: can't write %s\n", name.empty() ? "-" : name.c_str());
    return written;
}

int exportCommand(int argc, char** argv)
{
    bool (*writer)(FILE*, const std::vector<Splines*>&, const ExportOptions&) = nullptr;
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
            options.samples = std::atoi(argv[++i]);
        else if (argument == "-o" && i + 1 < argc)
            output = argv[++i];
        else if (input.empty() && (argument == "-" || argument[0] != '-'))
            input = argument;
        else
            return usage();
    }
    if (!writer || input.empty() || options.samples < 1)
        return usage();
    std::vector<Splines*> levels;
    if (!readLevelFile(input, levels))
        return kUsageError;
    return writeOutput(output, writer, levels, options) ? 0 : kUsageError;
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
    if (command == "export")
        return exportCommand(argc - 2, argv + 2);
    return usage();
}
