#include "Diagnostic.h"

#include <algorithm>

const char* severityName(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        break;
    }
    return "note";
}

bool printDiagnostics(FILE* to, const std::string& file, std::vector<Diagnostic>& said, std::string_view text)
{
    std::stable_sort(said.begin(), said.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return a.line != b.line ? a.line < b.line : a.column != b.column ? a.column < b.column : a.offset < b.offset;
    });
    TextPlaces places(text);
    bool grave = false;
    for (const Diagnostic& d : said) {
        long line = d.line, column = d.column;
        if (line == 0)
            places.at(d.offset, line, column);
        std::fprintf(to, "%s:%ld:%ld: %s: %s", file.c_str(), line, column, severityName(d.severity), d.text.c_str());
        if (d.times > 1)
            std::fprintf(to, " (%zu times)", d.times);
        std::fputc('\n', to);
        grave = grave || d.severity != Severity::Note;
    }
    return grave;
}

bool isUtf16(std::string_view text)
{
    return text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0;
}

size_t byteOrderMark(std::string_view text)
{
    return isUtf16(text) ? 2 : text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

TextPlaces::TextPlaces(std::string_view text)
    : text(text), unit(isUtf16(text) ? 2 : 1), bigEndian(text.compare(0, 2, "\xFE\xFF") == 0),
      walked(byteOrderMark(text))
{
}

void TextPlaces::at(size_t offset, long& line, long& column)
{
    offset = std::min(offset, text.size());
    for (; walked + unit <= offset; walked += unit) {
        const unsigned char first = static_cast<unsigned char>(text[walked]);
        const unsigned code = unit == 1 ? first
                              : bigEndian
                                  ? first << 8 | static_cast<unsigned char>(text[walked + 1])
                                  : static_cast<unsigned>(static_cast<unsigned char>(text[walked + 1])) << 8 | first;
        if (code == '\n') {
            ++lines;
            lineColumn = 1;
        } else if (unit == 1 ? (code & 0xC0) != 0x80 : (code & 0xFC00) != 0xDC00) {
            ++lineColumn;  // a character starts here: not a UTF-8 continuation, not a low surrogate
        }
    }
    line = lines;
    column = lineColumn;
}
