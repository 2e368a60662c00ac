// The lexical pieces SVG's attribute grammars share: whitespace, commas
// and numbers as path data writes them, each error with its offset.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Where parsing stopped: the byte offset into the text and what was wrong.
struct ParseError {
    size_t offset = 0;
    std::string what;  // empty when there was no error
};

namespace svg {

struct Text {
    const char* begin;
    const char* end;
};

inline Text textOf(std::string_view source) { return {source.data(), source.data() + source.size()}; }

// False, with the error at `at`.
bool syntaxError(ParseError& error, const Text& text, const char* at, std::string what);

// Our own tests: <cctype>'s are undefined for negative chars.
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
inline char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The text without the whitespace at its ends.
inline std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

void skipWs(const char*& p, const Text& text);
// Whitespace with at most one comma in it; true when there was a comma.
bool skipWsComma(const char*& p, const Text& text);
bool startsNumber(const char* p, const Text& text);
// A number as path data writes it; a number too small for a double is 0, as
// renderers read it, one too large an error.
bool parseNumber(const char*& p, const Text& text, double& value, ParseError& error);

}  // namespace svg
