#include "ToolOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/CurveFit.h"
#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "formats/png/Png.h"

const Command kCommands[kCommandCount] = {
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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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
