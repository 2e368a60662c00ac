// SVG path data: pure functions from text to geometry, each with the place of
// the first error. Coordinates stay in user units.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "SvgLex.h"

struct Point2 {
    double x;
    double y;
};

// x' = a x + c y + e, y' = b x + d y + f, as SVG's matrix(a b c d e f).
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};
Affine compose(const Affine& outer, const Affine& inner);  // outer after inner
Point2 apply(const Affine& m, Point2 p);

// One drawn piece of a path, in absolute user units.
struct PathSegment {
    enum Kind { Line, Quadratic, Cubic, Arc };
    Kind kind;
    Point2 p[4];  // Line: p[0], p[1]; Quadratic: p[0..2]; Cubic: p[0..3]; Arc: p[0] start, p[1] end
    // Arc only, in centre form (SVG 1.1 implementation notes, F.6.5), radii
    // already corrected (F.6.6); an arc with a zero radius is given as a Line.
    Point2 centre;
    double rx, ry, phi;       // phi in radians
    double theta, deltaTheta; // start angle and sweep, radians
};

struct Subpath {
    Point2 start;  // the first point, also of a subpath without segments
    std::vector<PathSegment> segments;
    bool closed = false;  // ended by Z/z (the closing line, if not of zero length, is one more Line segment)
};

// Parses path data. On an error it keeps everything before the offending
// command (as SVG renderers do) and says where it stopped. Stops with the
// error "more than N segments" once maxSegments segments were made.
// A subpath that is only a moveto has no segments and is not returned;
// "M1 1 Z" gives one closed subpath with no segments (a zero-length closed
// path: the caller draws it as a dot, so it counts as one segment against
// maxSegments).
std::vector<Subpath> parsePathData(std::string_view text, size_t maxSegments, ParseError& error);

// One command of a path made in code, as path data writes it (absolute:
// 'M', 'L', 'A' with its seven numbers, 'Z' ...).
struct PathCommand {
    char command;
    double v[7];
};

// The subpaths of commands, as parsePathData makes them from text; at most
// maxSegments segments, the rest left out.
std::vector<Subpath> pathOf(const std::vector<PathCommand>& commands, size_t maxSegments);

// The point of a segment at parameter t in 0..1 (arcs by angle, exactly).
Point2 pointAt(const PathSegment& segment, double t);
