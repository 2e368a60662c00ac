// What a reading or an import says about its input, in one form for the
// level reader and the importers alike: how grave, which kind, where, what.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// An error loses something the input holds (or the whole input); a warning
// is an import's change of what it read; a note loses nothing.
enum class Severity { Error, Warning, Note };

// As printed: "error", "warning" or "note".
const char* severityName(Severity severity);

struct Diagnostic {
    Severity severity;
    int kind;  // the sayer's own kind of diagnostic, 0 where it has none
    // The place: line and column, both from 1; or, with line 0, a byte
    // offset of the text, which the printer turns into a place.
    long line;
    long column;
    size_t offset;
    std::string text;
    size_t times;  // said this often there (a place drawn again by `use`)
};

// Receives each diagnostic as it is found.
using DiagnosticSink = std::function<void(const Diagnostic&)>;

// Prints each, in the order of their places, as FILE:LINE:COLUMN: class:
// text, the times after it when more than once; offsets become places by
// the text they are offsets of. True when one is an error or a warning.
bool printDiagnostics(FILE* to, const std::string& file, std::vector<Diagnostic>& said,
                      std::string_view text = {});

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

// Whether the text starts with a UTF-16 byte order mark.
bool isUtf16(std::string_view text);
// The bytes of the text's byte order mark, UTF-16's or UTF-8's; 0 without one.
size_t byteOrderMark(std::string_view text);
