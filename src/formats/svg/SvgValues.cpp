#include "SvgValues.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

#include "SvgLex.h"

using namespace svg;

namespace {

const double kRadiansPerDegree = 3.14159265358979323846 / 180;
const double kPixelsPerInch = 96;

// A transform's name, its numbers, and how many it may have.
struct TransformKind {
    const char* name;
    int fewest, most;  // rotate: either, not between
};
const TransformKind kTransforms[] = {
    {"matrix", 6, 6}, {"translate", 1, 2}, {"scale", 1, 2}, {"rotate", 1, 3}, {"skewX", 1, 1}, {"skewY", 1, 1}};
enum { Matrix, Translate, Scale, Rotate, SkewX, SkewY };

Affine makeTransform(int kind, const double* v, int n)
{
    const double radians = std::fmod(v[0], 360) * kRadiansPerDegree;
    switch (kind) {
    case Matrix: return {v[0], v[1], v[2], v[3], v[4], v[5]};
    case Translate: return {1, 0, 0, 1, v[0], n == 2 ? v[1] : 0};
    case Scale: return {v[0], 0, 0, n == 2 ? v[1] : v[0], 0, 0};
    case SkewX: return {1, 0, std::tan(radians), 1, 0, 0};
    case SkewY: return {1, std::tan(radians), 0, 1, 0, 0};
    default: break;
    }
    const double cosA = std::cos(radians), sinA = std::sin(radians);
    const Affine turn{cosA, sinA, -sinA, cosA, 0, 0};
    if (n == 1)
        return turn;
    return compose(Affine{1, 0, 0, 1, v[1], v[2]}, compose(turn, Affine{1, 0, 0, 1, -v[1], -v[2]}));
}

// name wsp* "(" wsp* numbers wsp* ")"
bool parseOneTransform(const char*& p, const Text& text, Affine& result, ParseError& error)
{
    const char* const nameAt = p;
    while (p < text.end && isLetter(*p))
        ++p;
    const std::string name(nameAt, p);
    const auto known = std::find_if(std::begin(kTransforms), std::end(kTransforms),
                                    [&](const TransformKind& k) { return name == k.name; });
    if (known == std::end(kTransforms))
        return syntaxError(error, text, nameAt,
                           name.empty() ? "expected a transform" : "unknown transform '" + name + "'");
    skipWs(p, text);
    if (p == text.end || *p != '(')
        return syntaxError(error, text, p, "expected '('");
    ++p;
    skipWs(p, text);
    double v[6];
    int n = 0;
    while (n < 6 && startsNumber(p, text)) {
        if (!parseNumber(p, text, v[n++], error))
            return false;
        if (skipWsComma(p, text) && !startsNumber(p, text))
            return syntaxError(error, text, p, "expected a number");
    }
    if (p == text.end || *p != ')')
        return syntaxError(error, text, p, "expected ')'");
    ++p;
    if (n != known->fewest && n != known->most)
        return syntaxError(error, text, nameAt, "wrong number of values for " + name);
    result = compose(result, makeTransform(static_cast<int>(known - std::begin(kTransforms)), v, n));
    return true;
}

// What one of a unit is in user units; NaN when `base` can't measure it.
double unitSize(const std::string& unit, const LengthBase& base)
{
    struct Unit {
        const char* name;
        double size;
    };
    const Unit kUnits[] = {
        {"", 1}, {"px", 1}, {"in", kPixelsPerInch}, {"cm", kPixelsPerInch / 2.54}, {"mm", kPixelsPerInch / 25.4},
        {"q", kPixelsPerInch / 25.4 / 4}, {"pt", kPixelsPerInch / 72}, {"pc", kPixelsPerInch / 6},
        {"em", kFontSize}, {"rem", kFontSize}, {"ex", kFontSize / 2}, {"ch", kFontSize / 2},
        {"%", base.percent / 100}, {"vw", base.viewportWidth / 100}, {"vh", base.viewportHeight / 100},
        {"vmin", std::min(base.viewportWidth, base.viewportHeight) / 100},
        {"vmax", std::max(base.viewportWidth, base.viewportHeight) / 100}};
    const auto known = std::find_if(std::begin(kUnits), std::end(kUnits), [&](const Unit& u) { return unit == u.name; });
    return known == std::end(kUnits) ? NAN : known->size;
}

// The unit after a number, in lower case (CSS units ignore case); at most
// four letters are read, so a longer word is left to fail what follows.
std::string readUnit(const char*& p, const Text& text)
{
    std::string unit;
    for (; p < text.end && (isLetter(*p) || *p == '%') && unit.size() < 4; ++p)
        unit += static_cast<char>(*p | 0x20);
    return unit;
}

// A CSS transform function's numbers, each with its unit: a length in user
// units where `lengths`, else an angle in degrees (or a plain number).
bool cssArguments(const char*& p, const Text& text, bool lengths, std::vector<double>& v, ParseError& error)
{
    for (skipWs(p, text); p < text.end && *p != ')'; skipWsComma(p, text)) {
        const char* const start = p;
        double number;
        if (v.size() == 6 || !parseNumber(p, text, number, error))
            return syntaxError(error, text, start, "expected a number");
        const std::string unit = readUnit(p, text);
        static const std::pair<const char*, double> kAngles[] = {
            {"", 1}, {"deg", 1}, {"rad", 1 / kRadiansPerDegree}, {"grad", 0.9}, {"turn", 360}};
        const auto angle = std::find_if(std::begin(kAngles), std::end(kAngles), [&](const auto& a) { return unit == a.first; });
        if (lengths && !parseLength(std::string_view(start, static_cast<size_t>(p - start)), number))
            return syntaxError(error, text, start, "expected a length");
        if (!lengths && angle == std::end(kAngles))
            return syntaxError(error, text, start, "expected an angle");
        v.push_back(lengths ? number : number * angle->second);
    }
    return true;
}

// One CSS transform function, as a matrix.
bool parseOneCssTransform(const char*& p, const Text& text, Affine& result, ParseError& error)
{
    const char* const nameAt = p;
    std::string name;
    for (; p < text.end && isLetter(*p) && name.size() < 12; ++p)
        name += *p;
    skipWs(p, text);
    if (p == text.end || *p != '(')
        return syntaxError(error, text, p, "expected '('");
    ++p;
    const bool lengths = name.compare(0, 9, "translate") == 0;
    std::vector<double> v;
    if (!cssArguments(p, text, lengths || name == "matrix" || name.compare(0, 5, "scale") == 0, v, error))
        return false;
    if (p == text.end)
        return syntaxError(error, text, p, "expected ')'");
    ++p;
    const size_t n = v.size();
    const double r = n > 0 ? std::fmod(v[0], 360) * kRadiansPerDegree : 0;
    const double r2 = n > 1 ? std::fmod(v[1], 360) * kRadiansPerDegree : 0;
    Affine m;
    if ((name == "translate" || name == "scale" || name == "skew") && (n == 1 || n == 2))
        m = name == "translate" ? Affine{1, 0, 0, 1, v[0], n == 2 ? v[1] : 0}
            : name == "scale"   ? Affine{v[0], 0, 0, n == 2 ? v[1] : v[0], 0, 0}
                                : Affine{1, std::tan(r2), std::tan(r), 1, 0, 0};
    else if (n == 1 && (name == "translateX" || name == "translateY"))
        m = name == "translateX" ? Affine{1, 0, 0, 1, v[0], 0} : Affine{1, 0, 0, 1, 0, v[0]};
    else if (n == 1 && (name == "scaleX" || name == "scaleY"))
        m = name == "scaleX" ? Affine{v[0], 0, 0, 1, 0, 0} : Affine{1, 0, 0, v[0], 0, 0};
    else if (n == 1 && (name == "rotate" || name == "skewX" || name == "skewY"))
        m = name == "rotate" ? Affine{std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0}
            : name == "skewX" ? Affine{1, 0, std::tan(r), 1, 0, 0}
                              : Affine{1, std::tan(r), 0, 1, 0, 0};
    else if (n == 6 && name == "matrix")
        m = Affine{v[0], v[1], v[2], v[3], v[4], v[5]};
    else
        return syntaxError(error, text, nameAt, "not a CSS transform function with these values: " + name);
    result = compose(result, m);
    return true;
}

}  // namespace

bool parseCssTransform(std::string_view source, Affine& result, ParseError& error)
{
    error = ParseError{};
    const Text text = textOf(source);
    const char* p = text.begin;
    skipWs(p, text);
    Affine all;
    if (std::string_view(p, static_cast<size_t>(text.end - p)).substr(0, 4) == "none")
        p += 4;
    else
        while (p < text.end) {
            if (!parseOneCssTransform(p, text, all, error))
                return false;
            skipWs(p, text);
        }
    skipWs(p, text);
    if (p != text.end)
        return syntaxError(error, text, p, "expected the end");
    result = all;
    return true;
}

bool parseTransform(std::string_view source, Affine& result, ParseError& error)
{
    error = ParseError{};
    const Text text = textOf(source);
    const char* p = text.begin;
    Affine all;
    skipWs(p, text);
    while (p < text.end) {
        if (!parseOneTransform(p, text, all, error))
            return false;
        bool comma = false;
        while (p < text.end && (isWhitespace(*p) || *p == ','))
            comma |= *p++ == ',';
        if (comma && p == text.end)
            return syntaxError(error, text, p, "expected a transform");
    }
    result = all;
    return true;
}

std::vector<double> parseNumberList(std::string_view source, ParseError& error)
{
    error = ParseError{};
    const Text text = textOf(source);
    const char* p = text.begin;
    std::vector<double> numbers;
    skipWs(p, text);
    while (p < text.end) {
        double value;
        if (!parseNumber(p, text, value, error))
            break;
        numbers.push_back(value);
        if (skipWsComma(p, text) && p == text.end)
            syntaxError(error, text, p, "expected a number");
    }
    return numbers;
}

bool parseLength(std::string_view source, double& value, const LengthBase& base)
{
    const Text text = textOf(source);
    const char* p = text.begin;
    skipWs(p, text);
    double number;
    ParseError ignored;
    if (!parseNumber(p, text, number, ignored))
        return false;
    const std::string unit = readUnit(p, text);
    skipWs(p, text);
    const double size = unitSize(unit, base);
    if (p != text.end || !std::isfinite(number * size))
        return false;
    value = number * size;
    return true;
}

bool parseAspectRatio(std::string_view source, AspectRatio& ratio)
{
    std::vector<std::string> words;  // four at most: a valid value has three
    for (size_t at = 0; words.size() < 4;) {
        const size_t start = source.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos)
            break;
        at = std::min(source.find_first_of(" \t\r\n", start), source.size());
        words.emplace_back(source.substr(start, at - start));
    }
    size_t k = !words.empty() && words[0] == "defer" ? 1 : 0;  // said for images only
    if (k == words.size())
        return false;
    const std::string& a = words[k++];
    const auto align = [&a](size_t at, AspectRatio::Align& to) {
        const std::string name = a.substr(at, 3);
        to = name == "Min" ? AspectRatio::Min : name == "Mid" ? AspectRatio::Mid : AspectRatio::Max;
        return name == "Min" || name == "Mid" || name == "Max";
    };
    AspectRatio read;
    read.none = a == "none";
    if (!read.none && !(a.size() == 8 && a[0] == 'x' && a[4] == 'Y' && align(1, read.x) && align(5, read.y)))
        return false;
    if (k < words.size() && (words[k] == "meet" || words[k] == "slice"))
        read.slice = words[k++] == "slice";
    if (k != words.size())
        return false;
    ratio = read;
    return true;
}

Affine viewBoxTransform(const double* box, const AspectRatio& ratio, double width, double height)
{
    double sx = width / box[2], sy = height / box[3];
    if (!ratio.none)
        sx = sy = ratio.slice ? std::max(sx, sy) : std::min(sx, sy);
    const auto offset = [](AspectRatio::Align align, double room) {
        return align == AspectRatio::Min ? 0 : align == AspectRatio::Mid ? room / 2 : room;
    };
    const double tx = -box[0] * sx + (ratio.none ? 0 : offset(ratio.x, width - box[2] * sx));
    const double ty = -box[1] * sy + (ratio.none ? 0 : offset(ratio.y, height - box[3] * sy));
    return Affine{sx, 0, 0, sy, tx, ty};
}
