// libFuzzer target for the level file reader.
//
// Every input is read as a level file from memory; the levels must then be
// well formed (level numbers, z, curve counts, open curves, finite x/y) and
// survive a save and reload with x and y rounded to the four decimals the writer keeps. The same
// input with CR LF line ends must read the same. Read with a findings sink it
// gives the same levels, and findings that stand inside the input; formatted
// (read as the editor opens it, then written) it checks clean, and formatting
// that again changes nothing.
//
// Build: see fuzz/build-fuzzer. Run: level_reader_fuzzer DIR

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "level_reader_fuzzer: %s\n", what);
        std::abort();
    }
}

// Reads the text into `levels` through the stream interface.
Reading readText(const std::string& text, std::vector<Splines*>& levels, const DiagnosticSink* findings = nullptr,
                 long long mostMade = LLONG_MAX)
{
    FILE* const in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    check(in != nullptr, "fmemopen");
    const Reading reading = readLevels(in, levels, findings, mostMade);
    std::fclose(in);
    return reading;
}

std::string said(const std::vector<Diagnostic>& found)
{
    std::string text;
    for (const Diagnostic& f : found)
        text += std::to_string(f.line) + ":" + std::to_string(f.column) + " " + f.text + "\n";
    return text;
}

std::string writeText(const std::vector<Splines*>& levels)
{
    char* buffer = nullptr;
    size_t size = 0;
    FILE* const out = open_memstream(&buffer, &size);
    check(out != nullptr, "open_memstream");
    check(writeLevels(out, levels), "writing to memory failed");
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

// What ombrel-level format writes for the text.
std::string formatText(const std::string& text)
{
    std::vector<Splines*> levels;
    readText(text, levels);
    settleAsTheEditorDoes(levels);
    const std::string formatted = writeText(levels);
    freeLevels(levels);
    return formatted;
}

void checkShape(const std::vector<Splines*>& levels)
{
    for (size_t i = 0; i < levels.size(); ++i) {
        const Splines* const level = levels[i];
        check(level != nullptr, "null level");
        check(level->level == static_cast<int>(i), "level number differs from its index");
        check(!level->levelCurves.empty(), "level without curves");
        // Curves are only made for a point placed in them, apart from the
        // lone empty curve of a level that a later level went past.
        check(level->levelCurves.size() == 1 || !level->levelCurves.back().controlPoints.empty(),
              "trailing curve without points");
        for (const Nodes& curve : level->levelCurves) {
            check(curve.closure == 0, "closed curve read");
            for (const Vec3& point : curve.controlPoints) {
                check(std::isfinite(point.pos[0]) && std::isfinite(point.pos[1]), "x or y not finite");
                check(point.pos[2] == static_cast<float>(i), "z differs from the level number");
            }
        }
    }
    if (!levels.empty())
        check(!levels.back()->levelCurves.back().controlPoints.empty(), "trailing level without points");
}

// What a coordinate becomes once written with four decimals and read back.
float throughText(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.4f", static_cast<double>(value));
    return static_cast<float>(std::strtod(text, nullptr));
}

// Every coordinate's exact bits ("%a" tells -0 from 0), curve by curve;
// rounded, x and y as they read back once written.
std::string exactly(const std::vector<Splines*>& levels, bool rounded)
{
    std::string text;
    char number[64];
    for (const Splines* level : levels) {
        for (const Nodes& curve : level->levelCurves) {
            text += "(";
            for (const Vec3& point : curve.controlPoints)
                for (int axis = 0; axis < 2; ++axis) {
                    const float value = rounded ? throughText(point.pos[axis]) : point.pos[axis];
                    text += std::string(number, std::snprintf(number, sizeof number, " %a", static_cast<double>(value)));
                }
            text += ")";
        }
        text += "\n";
    }
    return text;
}

bool sameLevels(const std::vector<Splines*>& a, const std::vector<Splines*>& b, bool rounded)
{
    return exactly(a, rounded) == exactly(b, false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader talks only on failure; keep the console clean and make sure
    // a stray prompt could never wait for a keyboard.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<Splines*> levels;
    readText(input, levels);
    checkShape(levels);

    // Listening changes nothing, and every finding points into the input.
    std::vector<Splines*> heard;
    const size_t lines = 1 + std::count(input.begin(), input.end(), '\n');
    std::vector<Diagnostic> found;
    const DiagnosticSink sink = [lines, &found](const Diagnostic& finding) {
        check(finding.line >= 1 && static_cast<size_t>(finding.line) <= lines && finding.column >= 1 &&
                  !finding.text.empty(),
              "finding out of place");
        found.push_back(finding);
    };
    const Reading reading = readText(input, heard, &sink);
    check(sameLevels(levels, heard, false), "findings changed the levels");
    freeLevels(heard);
    // The findings and counts come from the reading, not from the levels
    // built: a reading that builds nothing says the same.
    const std::string heardAll = said(found);
    found.clear();
    const Reading counted = readText(input, heard, &sink, 0);
    check(said(found) == heardAll && counted.made == reading.made && counted.pointLines == reading.pointLines,
          "a reading that stops building says otherwise");
    freeLevels(heard);

    // Save and reload: the same levels come back, with x and y as the four
    // decimals that were written. The reader restores every level and curve
    // the writer wrote, as the last of each always holds a point.
    const std::string saved = writeText(levels);
    std::vector<Splines*> reloaded;
    readText(saved, reloaded);
    checkShape(reloaded);
    check(sameLevels(levels, reloaded, true), "saved levels read back differently");
    freeLevels(reloaded);

    // Formatting writes a file that checks clean and formats to itself.
    const std::string formatted = formatText(input);
    const DiagnosticSink none = [](const Diagnostic&) { check(false, "formatted file has findings"); };
    readText(formatted, reloaded, &none);
    freeLevels(reloaded);
    check(formatText(formatted) == formatted, "formatting twice changed the file");

    // The same file with CR LF line ends reads the same.
    if (input.find('\r') == std::string::npos && size > 0) {
        std::string crlf;
        for (const char c : input)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        readText(crlf, reloaded);
        check(sameLevels(levels, reloaded, false), "CR LF line ends read differently");
        freeLevels(reloaded);
    }
    freeLevels(levels);
    return 0;
}
