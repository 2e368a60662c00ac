// ombrel-level: checks, normalises, exports and imports level files without a
// display. Its command line is read in ToolOptions; here are its commands.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ToolOptions.h"
#include "core/CurveFit.h"
#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/SafeSave.h"
#include "core/Splines.h"
#include "formats/Export.h"
#include "formats/Gzip.h"
#include "formats/Import.h"
#include "formats/png/Png.h"

namespace {

const int kErrors = 1;      // check or format found points the reading loses
const int kUsageError = 2;  // also a file that can't be read or written

int refuse(const std::string& why, const Command* command)
{
    std::fprintf(stderr, "ombrel-level: %s\nTry 'ombrel-level %s--help'.\n", why.c_str(),
                 command ? (std::string(command->name) + " ").c_str() : "");
    return kUsageError;
}

// ---------------------------------------------------------------- files

void complain(const std::string& what, const std::string& name, int error)
{
    std::fprintf(stderr, "ombrel-level: %s %s: %s\n", what.c_str(), name.c_str(), std::strerror(error));
}

// The tool's own output failing is an error of its own, as in GNU tools.
bool flushStandardOutput()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    complain("can't write", "standard output", errno);
    return false;
}

// Opens FILE ("-" for standard input) and hands it to `read`; false, and
// said on standard error, when it can't be opened or read.
bool readInput(const std::string& name, const std::function<void(FILE*)>& read)
{
    FILE* const in = name == "-" ? stdin : std::fopen(name.c_str(), "r");
    if (!in) {
        complain("can't open", name, errno);
        return false;
    }
    read(in);
    const bool failed = std::ferror(in) != 0;
    const int error = errno;
    if (in != stdin)
        std::fclose(in);
    if (failed)
        complain("can't read", name, error);
    return !failed;
}

// What is left of the stream, appended to the text.
void appendAll(FILE* in, std::string& text)
{
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        text.append(buffer, n);
}

// The points and curves a reading of so many bytes may make and still be
// plain: each point line takes 8 of them ("0 0 0 0" and a blank).
long long mostMadeIn(long long bytes)
{
    return kMadePerPointLine * (bytes / 8 + 1) + kMadeBeyond;
}

// FILE read with the editor's reader, counted. Unless `lossy`, the levels
// are built only as far as a plain reading of a file that size could go:
// beyond, the reading is not plain, and nothing is written of it. A pipe is
// read whole first, to know its size.
bool readLevelFile(const std::string& name, std::vector<Splines*>& levels, const DiagnosticSink& findings, bool lossy,
                   Reading& reading)
{
    return readInput(name, [&](FILE* in) {
        struct stat info;
        if (lossy || (fstat(fileno(in), &info) == 0 && S_ISREG(info.st_mode))) {
            reading = readLevels(in, levels, &findings, lossy ? LLONG_MAX : mostMadeIn(info.st_size));
            return;
        }
        std::string text;
        appendAll(in, text);
        FILE* const whole = text.empty() ? nullptr : fmemopen(&text[0], text.size(), "r");
        reading = readLevels(whole ? whole : in, levels, &findings, mostMadeIn(static_cast<long long>(text.size())));
        if (whole)
            std::fclose(whole);
    });
}

// Reads FILE with its findings; false when it can't be read.
bool readWithFindings(const std::string& name, LevelList& levels, std::vector<Diagnostic>& found, bool lossy = false)
{
    const DiagnosticSink sink = [&found](const Diagnostic& finding) { found.push_back(finding); };
    Reading reading;
    return readLevelFile(name, levels.list, sink, lossy, reading);
}

// The same file (device and inode, through any link) as FILE; "-" is
// standard input.
bool sameFile(const std::string& out, const std::string& input)
{
    struct stat a, b;
    const bool inputKnown = input == "-" ? fstat(0, &b) == 0 : stat(input.c_str(), &b) == 0;
    return inputKnown && !out.empty() && out != "-" && stat(out.c_str(), &a) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// An OUT that is FILE itself would lose what FILE holds: said and refused.
bool refusedOverItsInput(const std::string& out, const std::string& input, const char* command)
{
    if (!sameFile(out, input))
        return false;
    std::fprintf(stderr, "ombrel-level: OUT %s is the input %s itself: %s would destroy it\n", out.c_str(),
                 input.c_str(), command);
    return true;
}

// Writes to OUT through the editor's own safe save, or to standard output
// for "-" or no OUT; false, and said on standard error, when it fails.
bool writeOutput(const std::string& name, const FileWriter& write)
{
    if (name.empty() || name == "-")
        return write(stdout) ? flushStandardOutput() : (complain("can't write", "standard output", errno), false);
    const SaveOutcome outcome = saveFile(name, write);
    if (outcome == SaveOutcome::Busy)
        std::fprintf(stderr, "ombrel-level: can't write %s: another save of it went on for over %lld s\n",
                     name.c_str(), static_cast<long long>(kSaveLockWait.count() / 1000));
    else if (outcome != SaveOutcome::Saved)
        complain("can't write", name, errno);
    return outcome == SaveOutcome::Saved;
}

// ---------------------------------------------------------------- commands

int check(const Arguments& arguments)
{
    int status = 0;
    for (const std::string& name : arguments.files) {
        LevelList levels;
        std::vector<Diagnostic> found;
        if (!readWithFindings(name, levels, found))
            status = kUsageError;
        else if (printDiagnostics(stdout, name, found))
            status = std::max(status, kErrors);
        if (!flushStandardOutput())
            return kUsageError;
    }
    return status;
}

int format(const Arguments& arguments)
{
    const std::string& input = arguments.files[0];
    LevelList levels;
    std::vector<Diagnostic> found;
    if (!readWithFindings(input, levels, found, arguments.lossy))
        return kUsageError;
    if (!arguments.lossy && std::any_of(found.begin(), found.end(), [](const Diagnostic& finding) {
            return finding.severity == Severity::Error;
        })) {
        printDiagnostics(stderr, input, found);
        std::fprintf(stderr, "ombrel-level: %s loses points when read: nothing written (--lossy writes anyway)\n",
                     input.c_str());
        return kErrors;
    }
    settleAsTheEditorDoes(levels.list);
    const std::vector<Splines*>& settled = levels.list;
    return writeOutput(arguments.out, [&settled](FILE* out) { return writeLevels(out, settled); }) ? 0 : kUsageError;
}

using Exporter = bool (*)(FILE*, const std::vector<Splines*>&, const ExportOptions&);

int exportLayout(const Arguments& arguments)
{
    const std::string& input = arguments.files[0];
    if (refusedOverItsInput(arguments.out, input, "an export"))
        return kUsageError;
    const Exporter writer = arguments.format == kSvg   ? exportSvg
                            : arguments.format == kObj ? exportObj
                            : arguments.format == kPng ? exportPng
                                                       : exportJson;
    LevelList levels;
    Reading reading;
    if (!readLevelFile(input, levels.list, [](const Diagnostic&) {}, arguments.lossy, reading))
        return kUsageError;
    if (!arguments.lossy && !reading.plain()) {
        std::fprintf(stderr, "ombrel-level: %s: %s: nothing written (--lossy writes anyway)\n", input.c_str(),
                     madeUp(reading).c_str());
        return kErrors;
    }
    settleAsTheEditorDoes(levels.list);
    const std::vector<Splines*>& read = levels.list;
    const ExportOptions& options = arguments.exportOptions;
    return writeOutput(arguments.out, [&](FILE* out) { return writer(out, read, options); }) ? 0 : kUsageError;
}

// The whole input, for the importers; false, and said, when it can't be read.
bool readWhole(const std::string& name, std::string& text)
{
    return readInput(name, [&text](FILE* in) {
        struct stat info;
        if (fstat(fileno(in), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
            text.reserve(static_cast<size_t>(info.st_size) + kImportReadAhead);
        appendAll(in, text);
    });
}

// JSON starts with '{', XML with '<' (after blanks and a byte order mark);
// text in UTF-16 is a drawing: JSON is UTF-8.
Source sniff(const std::string& text)
{
    if (isUtf16(text))
        return kFromSvg;
    const size_t start = text.find_first_not_of(" \t\r\n", byteOrderMark(text));
    if (start == std::string::npos)
        return kSniffed;
    return text[start] == '{' ? kFromJson : text[start] == '<' ? kFromSvg : kSniffed;
}

std::string counted(size_t count, const std::string& what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The line that ends a written import: what it holds, and how close to the
// drawing (a layout's points come as they were written).
void printSummary(const std::string& name, const Imported& imported)
{
    size_t curves = 0, points = 0;
    for (const Splines* level : imported.levels.list) {
        curves += level->levelCurves.size();
        for (const Nodes& curve : level->levelCurves)
            points += curve.controlPoints.size();
    }
    const std::string how =
        imported.tolerance == 0 ? " as written"
                                : " within " + brief(imported.tolerance) +
                                      (imported.strays == 0 ? "" : " except " + counted(imported.strays, "curve"));
    std::fprintf(stderr, "%s: imported %s, %s, %s%s\n", name.c_str(), counted(imported.levels.list.size(), "level").c_str(),
                 counted(curves, "curve").c_str(), counted(points, "control point").c_str(), how.c_str());
}

int importLayout(const Arguments& arguments)
{
    const std::string& input = arguments.files[0];
    if (refusedOverItsInput(arguments.out, input, "an import"))
        return kUsageError;
    std::string text;
    if (!readWhole(input, text))
        return kUsageError;
    if (isGzip(text)) {
        std::string inflated, why;
        if (!inflateGzip(text, inflated, why)) {
            std::fprintf(stderr, "ombrel-level: %s is gzip, and can't be read: %s\n", input.c_str(), why.c_str());
            return kUsageError;
        }
        text.swap(inflated);
    }
    const Source source = arguments.from != kSniffed ? arguments.from : sniff(text);
    if (source == kSniffed) {
        std::fprintf(stderr, "ombrel-level: %s is neither an SVG drawing nor a JSON layout (try --from)\n",
                     input.c_str());
        return kUsageError;
    }
    Imported imported;
    if (source == kFromJson)
        importJson(text, imported);
    else
        importSvg(text, arguments.tolerance, imported);
    if (imported.refused()) {
        std::vector<Diagnostic> fatal{imported.fatal};
        fatal[0].text += ": nothing written";
        printDiagnostics(stderr, input, fatal, text);
        return kUsageError;
    }
    if (imported.unsaid > 0)
        imported.messages.push_back(Diagnostic{imported.unsaidChanged ? Severity::Warning : Severity::Note, 0, 0, 0,
                                               text.size(),
                                               std::to_string(imported.unsaid) +
                                                   " more messages not shown (an import shows at most " +
                                                   std::to_string(kMostMessageBytes / 1024) + " KB of them)",
                                               1});
    const bool changed = printDiagnostics(stderr, input, imported.messages, text);
    if (imported.levels.list.empty())
        return kErrors;
    const std::vector<Splines*>& levels = imported.levels.list;
    if (!writeOutput(arguments.out, [&levels](FILE* out) { return writeLevels(out, levels); }))
        return kUsageError;
    printSummary(input, imported);
    return changed ? kErrors : 0;
}

// What each command runs.
const struct {
    const char* name;
    int (*run)(const Arguments&);
} kRuns[kCommandCount] = {{"check", check}, {"format", format}, {"export", exportLayout}, {"import", importLayout}};

int run(const Arguments& arguments)
{
    for (const auto& command : kRuns)
        if (std::strcmp(command.name, arguments.command->name) == 0)
            return command.run(arguments);
    return kUsageError;
}

int printHelp(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    return flushStandardOutput() ? 0 : kUsageError;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return refuse("a command is needed: check, format, export or import", nullptr);
    const std::string word = argv[1];
    if (word == "--help" || word == "-h")
        return printHelp(usageText());
    if (word == "--version")
        return printHelp("ombrel-level " OMBREL_VERSION "\n");
    Arguments arguments;
    std::vector<std::string> names;
    for (const Command& command : kCommands) {
        names.push_back(command.name);
        if (word == command.name)
            arguments.command = &command;
    }
    if (!arguments.command)
        return refuse("unknown command " + word + nearest(word, names), nullptr);
    const std::string refused = parse(argc - 2, argv + 2, arguments);
    if (!refused.empty())
        return refuse(refused, arguments.command);
    return arguments.help ? printHelp(commandHelp(*arguments.command)) : run(arguments);
}
