// Layouts from other programs: JSON documents of the export's schema and SVG
// drawings, turned into levels the editor loads as they were meant to look.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Diagnostic.h"
#include "core/LevelModel.h"

// The default fit: a tenth of a pixel of the editor's 640-pixel-wide window
// (10 level units across), in level units.
constexpr double kDefaultTolerance = 0.1 * 10.0 / 640.0;

// Bytes a document's text should have room for beyond its end: the JSON
// parser reads ahead that far, and copies a text that has no such room.
constexpr size_t kImportReadAhead = 64;

// Message text an import keeps at most, a place's room counted with each:
// beyond it messages are only counted.
constexpr size_t kMostMessageBytes = 512 * 1024;
constexpr size_t kMessagePlaceRoom = 48;

// What an import made of a document, and what it says of it: warnings
// (what it dropped or changed) and notes, at byte offsets of the text, and
// `fatal` when the document can't be read at all (nothing is written).
struct Imported {
    LevelList levels;
    std::vector<Diagnostic> messages;
    Diagnostic fatal{Severity::Error, 0, 0, 0, 0, "", 1};
    size_t unsaid = 0;           // messages beyond kMostMessageBytes
    bool unsaidChanged = false;  // one of them is a warning
    double tolerance = 0;        // the fit's; 0 when points come as written
    size_t strays = 0;           // curves that hold no fit within it

    bool refused() const { return !fatal.text.empty(); }
    // A message said again at the same place is counted, not repeated.
    void say(Severity severity, size_t offset, const std::string& what);
    // Refuses the whole import, for `what` at `offset`; false, to return.
    bool refuse(size_t offset, const std::string& what)
    {
        fatal.text = what;
        fatal.offset = offset;
        return false;
    }

private:
    std::unordered_map<std::string, size_t> said;  // place and text to its message
    size_t bytes = 0;
};

// One level's curves as the import found them, before they become levels.
struct ImportedCurve {
    std::vector<float> xy;  // x0, y0, x1, y1, ... as the editor holds them
    size_t offset;          // where the curve's element starts
};
struct ImportedLevel {
    std::vector<ImportedCurve> curves;
    size_t offset;
};

// A figure as messages give it: printf's %g.
std::string brief(double value);

// The start of a long value a message quotes: 40 bytes at most, whole
// UTF-8 characters, and "..." when cut.
std::string excerpt(const std::string& value);

// Makes the editor's levels, level i at z = i, saying what it must drop:
// a level without points, and empty curves before a level's first points or
// after its last (the editor can't store those); points outside the -5..5
// square are kept and said. `end`: the text's end, where "nothing to
// import" is said, after the messages that tell why.
void buildLevels(std::vector<ImportedLevel>& found, size_t end, Imported& imported);

// The export's JSON document: control points come back as the same floats.
void importJson(const std::string& text, Imported& imported);

// An SVG drawing: layers are levels, every subpath a curve fitted within the
// tolerance (exactly where its Béziers are Catmull-Rom segments).
void importSvg(std::string_view text, double tolerance, Imported& imported);
