// Layouts from other programs: JSON documents of the export's schema and SVG
// drawings, turned into levels the editor loads as they were meant to look.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Splines;

// The default fit: a tenth of a pixel of the editor's 640-pixel-wide window
// (10 level units across), in level units.
constexpr double kDefaultTolerance = 0.1 * 10.0 / 640.0;

// Bytes a document's text should have room for beyond its end: the JSON
// parser reads ahead that far, and copies a text that has no such room.
constexpr size_t kImportReadAhead = 64;

// Something the import says about its input, at a byte offset of the text.
struct ImportMessage {
    enum Kind {
        Changed,  // dropped or changed: the import exits 1
        Note,     // said, nothing lost
    };
    Kind kind;
    size_t offset;
    std::string what;
    size_t times;  // said this often at this place (a place drawn again by `use`)
};

// Message text an import keeps at most, a place's room counted with each:
// beyond it messages are only counted.
constexpr size_t kMostMessageBytes = 512 * 1024;
constexpr size_t kMessagePlaceRoom = 48;

// What an import made of a document. `fatal` set: the document can't be read
// at all (nothing is written), at `fatalOffset`.
struct Imported {
    std::vector<Splines*> levels;  // owned
    std::vector<ImportMessage> messages;
    std::string fatal;
    size_t fatalOffset = 0;
    size_t unsaid = 0;           // messages beyond kMostMessageBytes
    bool unsaidChanged = false;  // one of them is a change
    double tolerance = 0;        // the fit's; 0 when points come as written
    size_t strays = 0;           // curves that hold no fit within it

    Imported() = default;
    Imported(const Imported&) = delete;
    Imported& operator=(const Imported&) = delete;
    ~Imported();

    // A message said again at the same place is counted, not repeated.
    void say(ImportMessage::Kind kind, size_t offset, const std::string& what);
    bool fail(size_t offset, const std::string& what)
    {
        fatal = what;
        fatalOffset = offset;
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
// The same read as events only, which the quick read of a clean document
// must agree with (the fuzzer checks that it does).
void importJsonEvents(const std::string& text, Imported& imported);

// An SVG drawing: layers are levels, every subpath a curve fitted within the
// tolerance (exactly where its Béziers are Catmull-Rom segments).
void importSvg(std::string_view text, double tolerance, Imported& imported);

// Whether the text starts with a UTF-16 byte order mark.
bool isUtf16(std::string_view text);
// The bytes of the text's byte order mark, UTF-16's or UTF-8's; 0 without one.
size_t byteOrderMark(std::string_view text);

// Lines and columns (from 1) of byte offsets asked for in increasing order,
// in one walk of the text however many are asked; columns count characters
// of the text's own encoding: UTF-8, or UTF-16 of the byte order its byte
// order mark gives (which is no character of the line).
class TextPlaces {
public:
    explicit TextPlaces(std::string_view text);
    void at(size_t offset, long& line, long& column);

private:
    std::string_view text;
    size_t unit = 1;      // bytes a code unit: 1 for UTF-8, 2 for UTF-16
    bool bigEndian = false;
    size_t walked = 0;    // what lies before is counted
    long lines = 1;
    long lineColumn = 1;  // of `walked`
};
