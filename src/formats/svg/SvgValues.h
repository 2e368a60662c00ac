// SVG's attribute values other than path data: transform lists, number
// lists and lengths; pure functions from text, each error with its place.
#pragma once
#include <cmath>
#include <string_view>
#include <vector>

#include "SvgPath.h"

// Parses a transform list (matrix, translate, scale, rotate with optional centre,
// skewX, skewY; separated by whitespace and/or commas) into one matrix, applied
// right to left as SVG does. On an error returns false with the place; the
// caller then ignores the attribute (as renderers do: an invalid transform disables the element
// in SVG 2, but here the caller decides).
bool parseTransform(std::string_view text, Affine& result, ParseError& error);

// Parses the CSS transform property (translate, translateX, translateY with
// lengths; scale, scaleX, scaleY; rotate, skew, skewX, skewY with angles in
// deg, rad, grad or turn, degrees without one; matrix; none), as parseTransform.
bool parseCssTransform(std::string_view text, Affine& result, ParseError& error);

// Parses a list of numbers as in `points="..."` of polyline/polygon and `viewBox`.
// On an error keeps the numbers before it.
std::vector<double> parseNumberList(std::string_view text, ParseError& error);

// Font sizes are not read: an em is the default font size of browsers, an
// ex and a ch half of it.
constexpr double kFontSize = 16;

// What relative lengths are measured against, in user units; NaN where a
// length of that kind means nothing.
struct LengthBase {
    double percent = NAN;  // what 100% is
    double viewportWidth = NAN, viewportHeight = NAN;  // vw and vh: the drawing's own viewport
};

// Parses one length into user units: a number, with any absolute CSS unit
// (px, in, cm, mm, q, pt, pc; 96 px an inch), font-relative (em, rem, ex,
// ch), a percentage or a viewport unit (vw, vh, vmin, vmax) against `base`.
// Anything else, or what `base` can't measure, gives false.
bool parseLength(std::string_view text, double& value, const LengthBase& base = LengthBase());

// preserveAspectRatio: where a viewBox sits in its viewport and whether it
// fills it (slice) or fits inside (meet).
struct AspectRatio {
    enum Align { Min, Mid, Max };
    bool none = false;  // stretched to the viewport, each axis on its own
    Align x = Mid, y = Mid;
    bool slice = false;
};

// Parses "[none | xMinYMin | ... | xMaxYMax] [meet | slice]"; false, keeping
// the default (xMidYMid meet), for anything else.
bool parseAspectRatio(std::string_view text, AspectRatio& ratio);

// The viewBox (x, y, width, height, both sizes above zero) onto a viewport
// of `width` by `height` at the origin, as `ratio` places it.
Affine viewBoxTransform(const double* viewBox, const AspectRatio& ratio, double width, double height);
