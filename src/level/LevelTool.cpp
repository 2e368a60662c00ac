// ombrel-level: checks, normalises, exports and imports level files without a
// display.
// Its command line is one table (kOptions): each option says which commands
// take it, and every refusal names the word and the reason.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CurveFit.h"
#include "Export.h"
#include "FileIO.h"
#include "Gzip.h"
#include "Import.h"
#include "LevelFile.h"
#include "Png.h"
#include "Splines.h"

namespace {

const int kErrors = 1;      // check or format found points the reading loses
const int kUsageError = 2;  // also a file that can't be read or written

// ---------------------------------------------------------------- the grammar

struct Command {
    const char* name;
    const char* synopsis;  // after "ombrel-level "
    const char* what;
};

const Command kCommands[] = {
    {"check", "check FILE...",
     "Lists what the editor would ignore, fill in or lose when it reads each FILE, as\n"
     "FILE:LINE:COLUMN: error|note: what. Exit 0 when nothing is lost (notes at most),\n"
     "1 when a reading loses points (errors), 2 when a FILE can't be read.\n"},
    {"format", "format [--lossy] [-o OUT] FILE",
     "Writes exactly what the editor's F1 writes after starting with -i FILE. When the\n"
     "reading loses points it writes nothing, prints check's findings on standard\n"
     "error and exits 1.\n"},
    {"export",
     "export --svg [--polyline [--samples N]] [--points] [--lossy] [-o OUT] FILE\n"
     "export --obj|--json [--samples N] [--lossy] [-o OUT] FILE\n"
     "export --png [--size N] [--points] [--lossy] [-o OUT] FILE",
     "Writes the layout for other programs, as the editor shows it after reading FILE.\n"
     "OUT may not be FILE itself.\n"},
    {"import", "import [--from svg|json] [--tolerance T] [-o OUT] FILE",
     "Writes a level file from an SVG drawing or a JSON layout of the export's schema.\n"
     "Drawings are fitted within T level units (default 0.0015625, a tenth of a pixel\n"
     "of the editor's window). Exit 0 when nothing was dropped or changed, 1 when\n"
     "something was (each said on standard error), 2 when FILE can't be read.\n"
     "OUT may not be FILE itself.\n"},
};

enum Format { kNoFormat, kSvg, kObj, kJson, kPng };
enum Source { kSniffed, kFromSvg, kFromJson };

struct Arguments {
    const Command* command = nullptr;
    std::vector<std::string> files;
    std::string out;  // empty: standard output
    bool help = false;
    bool lossy = false;
    Format format = kNoFormat;
    const char* formatOption = nullptr;
    bool samplesGiven = false;
    bool sizeGiven = false;
    ExportOptions exportOptions;
    Source from = kSniffed;
    bool toleranceGiven = false;
    double tolerance = kDefaultTolerance;
};

struct Option {
    const char* name;
    const char* value;     // what its value is called, or nullptr for a switch
    const char* commands;  // the commands that take it
    const char* help;
    // Takes the option into the arguments; an empty text, or why it can't.
    std::string (*take)(Arguments&, const char* value);
};

std::string once(bool given, const char* option)
{
    return given ? std::string(option) + " may be given only once" : "";
}

std::string takeFormat(Arguments& arguments, Format format, const char* option)
{
    if (arguments.format != kNoFormat)
        return arguments.formatOption == std::string(option) ? once(true, option)
                                                             : std::string("export takes one format, not both ") +
                                                                   arguments.formatOption + " and " + option;
    arguments.format = format;
    arguments.formatOption = option;
    return "";
}

size_t digitsAt(const char* text)
{
    size_t n = 0;
    while (text[n] >= '0' && text[n] <= '9')
        ++n;
    return n;
}

// Whether the text is a number written in decimals (1, 0.5, .5, 2e-3),
// as people write them: no spaces, hexadecimal, infinity or NaN, which the
// C library would take.
bool decimal(const char* text, bool whole)
{
    size_t at = *text == '+' || *text == '-' ? 1 : 0;
    size_t digits = digitsAt(text + at);
    at += digits;
    if (!whole && text[at] == '.') {
        const size_t fraction = digitsAt(text + at + 1);
        digits += fraction;
        at += 1 + fraction;
    }
    if (!whole && digits > 0 && (text[at] == 'e' || text[at] == 'E')) {
        const size_t sign = text[at + 1] == '+' || text[at + 1] == '-' ? 1 : 0;
        const size_t exponent = digitsAt(text + at + 1 + sign);
        at += exponent > 0 ? 1 + sign + exponent : 0;
    }
    return digits > 0 && text[at] == '\0';
}

// A whole number within least..most, or 0.
int wholeNumber(const char* text, int least, int most)
{
    if (!decimal(text, true))
        return 0;
    errno = 0;
    const long count = std::strtol(text, nullptr, 10);
    return errno == 0 && count >= least && count <= most ? static_cast<int>(count) : 0;
}

const char kSamplesValue[] = "a whole number from 1 to 100";
const char kSizeValue[] = "a whole number from 16 to 4096";
const char kToleranceValue[] = "a number of level units from 0.0001 to 1";
const double kMostTolerance = 1.0;  // a tenth of the square: coarser is no fit
// A level file keeps four decimals: rounding alone moves a point that far.
const double kLeastTolerance = kSavedStep;

const Option kOptions[] = {
    {"-o", "OUT", "format export import", "write to OUT, saved as the editor's F1 saves, instead of standard output",
     [](Arguments& a, const char* value) {
         if (!a.out.empty())
             return once(true, "-o");
         if (*value == '\0')
             return std::string("-o takes a file name (got \"\")");
         a.out = value;
         return std::string();
     }},
    {"--lossy", nullptr, "format export", "write even when the reading loses points, or makes far more than it reads",
     [](Arguments& a, const char*) {
         const std::string twice = once(a.lossy, "--lossy");
         a.lossy = true;
         return twice;
     }},
    {"--svg", nullptr, "export", "SVG: an Inkscape layer per level, a path of exact cubic Beziers per curve",
     [](Arguments& a, const char*) { return takeFormat(a, kSvg, "--svg"); }},
    {"--obj", nullptr, "export", "Wavefront OBJ: an object and a polyline of samples per curve",
     [](Arguments& a, const char*) { return takeFormat(a, kObj, "--obj"); }},
    {"--json", nullptr, "export", "JSON: control points and samples, as ombrel-level.schema.json describes",
     [](Arguments& a, const char*) { return takeFormat(a, kJson, "--json"); }},
    {"--png", nullptr, "export", "PNG: a picture of the top level and three below, as the editor draws them",
     [](Arguments& a, const char*) { return takeFormat(a, kPng, "--png"); }},
    {"--size", "N", "export", "with --png: pixels across and down, from 16 to 4096 (default 640)",
     [](Arguments& a, const char* value) {
         if (a.sizeGiven)
             return once(true, "--size");
         a.sizeGiven = true;
         a.exportOptions.size = wholeNumber(value, kLeastPictureSize, kMostPictureSize);
         if (a.exportOptions.size == 0)
             return std::string("--size takes ") + kSizeValue + " (got \"" + value + "\")";
         return std::string();
     }},
    {"--samples", "N", "export",
     "straight pieces per segment, from 1 to 100 (default 10, as the editor draws);\n"
     "                  with --obj, --json or --svg --polyline",
     [](Arguments& a, const char* value) {
         if (a.samplesGiven)
             return once(true, "--samples");
         a.samplesGiven = true;
         a.exportOptions.samples = wholeNumber(value, 1, kMostSamples);
         if (a.exportOptions.samples == 0)
             return std::string("--samples takes ") + kSamplesValue + " (got \"" + value + "\")";
         return std::string();
     }},
    {"--polyline", nullptr, "export", "with --svg: the sampled vertices instead of Beziers",
     [](Arguments& a, const char*) {
         const std::string twice = once(a.exportOptions.polyline, "--polyline");
         a.exportOptions.polyline = true;
         return twice;
     }},
    {"--points", nullptr, "export", "with --svg or --png: mark the control points",
     [](Arguments& a, const char*) {
         const std::string twice = once(a.exportOptions.points, "--points");
         a.exportOptions.points = true;
         return twice;
     }},
    {"--from", "svg|json", "import", "read FILE as this format, not as its content says",
     [](Arguments& a, const char* value) {
         if (a.from != kSniffed)
             return once(true, "--from");
         const std::string format = value;
         a.from = format == "svg" ? kFromSvg : format == "json" ? kFromJson : kSniffed;
         return a.from == kSniffed ? "--from takes svg or json (got \"" + format + "\")" : std::string();
     }},
    {"--tolerance", "T", "import", "fit drawings within T level units (default 0.0015625)",
     [](Arguments& a, const char* value) {
         if (a.toleranceGiven)
             return once(true, "--tolerance");
         a.toleranceGiven = true;
         const bool number = decimal(value, false);
         a.tolerance = number ? std::strtod(value, nullptr) : 0;
         const bool good = number && a.tolerance >= kLeastTolerance && a.tolerance <= kMostTolerance;
         const bool fine = number && a.tolerance > 0 && a.tolerance < kLeastTolerance;
         return good ? std::string()
                     : std::string("--tolerance takes ") + kToleranceValue + " (got \"" + value + "\")" +
                           (fine ? ": a level file keeps four decimals, so no fit is finer" : "");
     }},
};

bool takes(const Option& option, const Command& command)
{
    const std::string commands = std::string(" ") + option.commands + " ";
    return commands.find(std::string(" ") + command.name + " ") != std::string::npos;
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (did you mean X?)" for the nearest of the names, when one is near.
std::string nearest(const std::string& word, const std::vector<std::string>& names)
{
    std::string best;
    size_t bestDistance = 3;  // farther is no typo
    for (const std::string& name : names) {
        const size_t distance = editDistance(word, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best.empty() ? "" : " (did you mean " + best + "?)";
}

std::string unknownOption(const std::string& word, const Command& command)
{
    std::vector<std::string> names{"--help"};
    for (const Option& option : kOptions)
        if (takes(option, command))
            names.push_back(option.name);
    for (const Option& option : kOptions)
        if (option.name == word)
            return word + " is not an option of " + command.name;
    return "unknown option " + word + nearest(word, names);
}

// What the options mean together; an empty text when they make sense.
std::string combined(const Arguments& a)
{
    const std::string name = a.command->name;
    if (name == "check" && a.files.empty())
        return "check needs at least one FILE";
    if (name != "check" && a.files.size() != 1)
        return a.files.empty() ? name + " needs a FILE" : name + " takes one FILE (got also " + a.files[1] + ")";
    if (name != "export")
        return "";
    if (a.format == kNoFormat)
        return "export needs one of --svg, --obj, --json and --png";
    if (a.format != kSvg && a.exportOptions.polyline)
        return "--polyline works only with --svg";
    if (a.format != kSvg && a.format != kPng && a.exportOptions.points)
        return "--points works only with --svg and --png";
    if (a.format != kPng && a.sizeGiven)
        return "--size works only with --png";
    if (a.format == kPng && a.samplesGiven)
        return "--samples does not work with --png: it draws as the editor does";
    if (a.format == kSvg && a.samplesGiven && !a.exportOptions.polyline)
        return "--samples works with --svg only beside --polyline: the Beziers are exact";
    return "";
}

const char* valueName(const Option& option)
{
    const std::string value = option.value;
    if (option.name == std::string("--size"))
        return kSizeValue;
    return value == "N" ? kSamplesValue : value == "T" ? kToleranceValue : value == "OUT" ? "a file name" : "svg or json";
}

// Reads the command's words into `arguments`; an empty text, or the refusal.
std::string parse(int argc, char** argv, Arguments& arguments)
{
    // Asking for help is never refused, whatever else the words say.
    for (int i = 0; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            arguments.help = true;
            return "";
        }
    bool optionsEnd = false;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (optionsEnd || word == "-" || word.empty() || word[0] != '-') {
            if (word.empty())
                return "an empty word is not a file name";
            arguments.files.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnd = true;
            continue;
        }
        // --option=value is --option value, as GNU tools read it.
        const size_t equals = word.compare(0, 2, "--") == 0 ? word.find('=') : std::string::npos;
        const std::string name = word.substr(0, equals);
        const Option* found = nullptr;
        for (const Option& option : kOptions)
            if (name == option.name && takes(option, *arguments.command))
                found = &option;
        if (!found)
            return unknownOption(name, *arguments.command);
        if (equals != std::string::npos && !found->value)
            return name + " takes no value (got \"" + word.substr(equals + 1) + "\")";
        if (found->value && equals == std::string::npos && i + 1 >= argc)
            return word + " needs a value: " + valueName(*found);
        const char* value = !found->value ? nullptr : equals != std::string::npos ? argv[i] + equals + 1 : argv[++i];
        const std::string refused = found->take(arguments, value);
        if (!refused.empty())
            return refused;
    }
    return combined(arguments);
}

// ---------------------------------------------------------------- help

// The synopsis lines of the commands, the first after "usage: ".
std::string synopses(const Command* only)
{
    std::string text;
    for (const Command& command : kCommands) {
        if (only && only != &command)
            continue;
        const std::string lines = std::string(command.synopsis) + "\n";
        for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1)
            text += (text.empty() ? "usage: ombrel-level " : "       ombrel-level ") + lines.substr(start, end - start + 1);
    }
    return text;
}

std::string usageText()
{
    return synopses(nullptr) + "       ombrel-level -h | --help | --version\n"
                  "FILE and OUT may be - for standard input and output.\n"
                  "Try 'ombrel-level COMMAND --help' for a command's options.\n";
}

std::string commandHelp(const Command& command)
{
    std::string text = synopses(&command) + command.what;
    for (const Option& option : kOptions)
        if (takes(option, command)) {
            std::string name = std::string("  ") + option.name + (option.value ? std::string(" ") + option.value : "");
            name.resize(std::max<size_t>(name.size() + 2, 18), ' ');
            text += name + option.help + "\n";
        }
    return text + "FILE and OUT may be - for standard input and output.\n";
}

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
bool readLevelFile(const std::string& name, std::vector<Splines*>& levels, const FindingSink& findings, bool lossy,
                   Reading& reading)
{
    return readInput(name, [&](FILE* in) {
        struct stat info;
        if (lossy || (fstat(fileno(in), &info) == 0 && S_ISREG(info.st_mode))) {
            reading = readLevels(in, levels, &findings, lossy ? LLONG_MAX : mostMadeIn(info.st_size));
            return;
        }
        std::string text;
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            text.append(buffer, n);
        FILE* const whole = text.empty() ? nullptr : fmemopen(&text[0], text.size(), "r");
        reading = readLevels(whole ? whole : in, levels, &findings, mostMadeIn(static_cast<long long>(text.size())));
        if (whole)
            std::fclose(whole);
    });
}

// Reads FILE with its findings in file order; false when it can't be read.
bool readWithFindings(const std::string& name, LevelList& levels, std::vector<Finding>& found, bool lossy = false)
{
    const FindingSink sink = [&found](const Finding& finding) { found.push_back(finding); };
    Reading reading;
    if (!readLevelFile(name, levels.list, sink, lossy, reading))
        return false;
    std::stable_sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return true;
}

// Prints each finding as FILE:LINE:COLUMN: error|note: what; true when one is an error.
bool printFindings(FILE* to, const std::string& name, const std::vector<Finding>& found)
{
    bool lost = false;
    for (const Finding& finding : found) {
        std::fprintf(to, "%s:%ld:%ld: %s: %s\n", name.c_str(), finding.line, finding.column,
                     severityName(finding.severity), finding.what.c_str());
        lost = lost || finding.severity == Severity::Error;
    }
    return lost;
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
        std::vector<Finding> found;
        if (!readWithFindings(name, levels, found))
            status = kUsageError;
        else if (printFindings(stdout, name, found))
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
    std::vector<Finding> found;
    if (!readWithFindings(input, levels, found, arguments.lossy))
        return kUsageError;
    if (!arguments.lossy && std::any_of(found.begin(), found.end(), [](const Finding& finding) {
            return finding.severity == Severity::Error;
        })) {
        printFindings(stderr, input, found);
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
    if (!readLevelFile(input, levels.list, [](const Finding&) {}, arguments.lossy, reading))
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
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            text.append(buffer, n);
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

void printMessage(const std::string& name, TextPlaces& places, size_t offset, const char* kind,
                  const std::string& what)
{
    long line = 0, column = 0;
    places.at(offset, line, column);
    std::fprintf(stderr, "%s:%ld:%ld: %s: %s\n", name.c_str(), line, column, kind, what.c_str());
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
    for (const Splines* level : imported.levels) {
        curves += level->levelCurves.size();
        for (const Nodes& curve : level->levelCurves)
            points += curve.controlPoints.size();
    }
    char tolerance[32];
    std::snprintf(tolerance, sizeof tolerance, "%g", imported.tolerance);
    const std::string how = imported.tolerance == 0 ? " as written"
                            : imported.strays == 0
                                ? std::string(" within ") + tolerance
                                : std::string(" within ") + tolerance + " except " + counted(imported.strays, "curve");
    std::fprintf(stderr, "%s: imported %s, %s, %s%s\n", name.c_str(), counted(imported.levels.size(), "level").c_str(),
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
    if (!imported.fatal.empty()) {
        TextPlaces places(text);
        printMessage(input, places, imported.fatalOffset, "error", imported.fatal + ": nothing written");
        return kUsageError;
    }
    bool changed = false;
    TextPlaces places(text);
    std::stable_sort(imported.messages.begin(), imported.messages.end(),
                     [](const ImportMessage& a, const ImportMessage& b) { return a.offset < b.offset; });
    for (const ImportMessage& message : imported.messages) {
        const bool change = message.kind == ImportMessage::Changed;
        printMessage(input, places, message.offset, change ? "warning" : "note",
                     message.times > 1 ? message.what + " (" + std::to_string(message.times) + " times)"
                                       : message.what);
        changed = changed || change;
    }
    if (imported.unsaid > 0)
        printMessage(input, places, text.size(), imported.unsaidChanged ? "warning" : "note",
                     std::to_string(imported.unsaid) + " more messages not shown (an import shows at most " +
                         std::to_string(kMostMessageBytes / 1024) + " KB of them)");
    changed = changed || imported.unsaidChanged;
    if (imported.levels.empty())
        return kErrors;
    const std::vector<Splines*>& levels = imported.levels;
    if (!writeOutput(arguments.out, [&levels](FILE* out) { return writeLevels(out, levels); }))
        return kUsageError;
    printSummary(input, imported);
    return changed ? kErrors : 0;
}

int run(const Arguments& arguments)
{
    const std::string name = arguments.command->name;
    if (name == "import")
        return importLayout(arguments);
    return name == "check" ? check(arguments) : name == "format" ? format(arguments) : exportLayout(arguments);
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
