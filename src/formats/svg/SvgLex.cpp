#include "SvgLex.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

namespace {

using svg::isDigit;
using svg::Text;

const long kHugeExponent = 1000000;  // beyond any double, either way

const char* skipDigits(const char* p, const Text& text)
{
    while (p < text.end && isDigit(*p))
        ++p;
    return p;
}

// The end of sign? (digits ('.' digits?)? | '.' digits) exponent?, or p when
// there is none. An 'e' without digits after it is left out.
const char* scanNumber(const char* p, const Text& text)
{
    const char* const digits = p < text.end && (*p == '-' || *p == '+') ? p + 1 : p;
    const char* const point = skipDigits(digits, text);
    const char* q = point < text.end && *point == '.' ? skipDigits(point + 1, text) : point;
    if (point == digits && q - point <= 1)
        return p;  // no digit at all
    const char* e = q < text.end && (*q == 'e' || *q == 'E') ? q + 1 : q;
    if (e != q && e < text.end && (*e == '-' || *e == '+'))
        ++e;
    return e != q && e < text.end && isDigit(*e) ? skipDigits(e, text) : q;
}

// Whether a number beyond doubles is too large rather than too small: the
// place of its first significant digit plus its exponent.
bool tooLarge(const char* p, const char* last)
{
    const char* const e = std::find_if(p, last, [](char c) { return c == 'e' || c == 'E'; });
    const char* const first = std::find_if(p, e, [](char c) { return c >= '1' && c <= '9'; });
    const char* const point = std::find(p, e, '.');
    const long place = first < point ? point - first : point - first + 1;
    long exponent = 0;
    for (const char* d = std::find_if(e, last, isDigit); d < last; ++d)
        exponent = std::min(kHugeExponent, exponent * 10 + (*d - '0'));
    return place + (e + 1 < last && e[1] == '-' ? -exponent : exponent) > 0;
}

}  // namespace

namespace svg {

bool syntaxError(ParseError& error, const Text& text, const char* at, std::string what)
{
    error.offset = static_cast<size_t>(at - text.begin);
    error.what = std::move(what);
    return false;
}

void skipWs(const char*& p, const Text& text)
{
    while (p < text.end && isWhitespace(*p))
        ++p;
}

bool skipWsComma(const char*& p, const Text& text)
{
    skipWs(p, text);
    if (p == text.end || *p != ',')
        return false;
    ++p;
    skipWs(p, text);
    return true;
}

bool startsNumber(const char* p, const Text& text)
{
    return p < text.end && (isDigit(*p) || *p == '.' || *p == '-' || *p == '+');
}

bool parseNumber(const char*& p, const Text& text, double& value, ParseError& error)
{
    const char* const last = scanNumber(p, text);
    if (last == p)
        return syntaxError(error, text, p, "expected a number");
    const char* const first = *p == '+' ? p + 1 : p;  // from_chars takes no '+'
    if (std::from_chars(first, last, value).ec == std::errc::result_out_of_range) {
        if (tooLarge(p, last))
            return syntaxError(error, text, p, "number out of range");
        value = *p == '-' ? -0.0 : 0.0;  // too small: as renderers do
    }
    p = last;
    return true;
}

}  // namespace svg
