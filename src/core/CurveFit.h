// Turning a drawn line back into control points: the inverse of the curve
// sampler, measured with the sampler itself, so that what the editor draws
// from the result is what was measured.
#pragma once

#include <cstddef>
#include <vector>

#include "Vec3.h"

// A level file stores no closure, so a curve's points must make the editor
// draw it as meant: through A..Z open, with one end point before A and one
// after Z (each end reflected through its neighbour, so the line leaves the
// ends along their chords); one point alone is a one-point curve.
std::vector<Vec3> openCurvePoints(const std::vector<Vec3>& through);

// A loop through P0..Pn-1: fewer than four points are a loop as they are;
// more are written Pn-1, P0, ..., Pn-1, P0, P1, drawn open round the loop.
std::vector<Vec3> loopCurvePoints(const std::vector<Vec3>& through);

// A position as a level file keeps it: rounded to four decimals (steps of
// kSavedStep) and read back as a float.
constexpr double kSavedStep = 0.0001;
float asSaved(double coordinate);

struct FitPoint {
    double x;
    double y;
};

// The most any input point lies from the drawn line, and any drawn vertex
// from the input line, for the control points as the editor draws them.
struct FitError {
    double inputToCurve = 0;
    double curveToInput = 0;
};

// Control points (as openCurvePoints or loopCurvePoints give them, rounded as
// saved) whose curve, drawn as the editor draws it, lies within `tolerance`
// of the polyline `line` both ways, with few points. A smooth line starts
// from the fewest knots at even steps along it that hold the tolerance; a
// line with corners (indices into `line`, kept as control points) from its
// ends and corners, adding the input point where the drawn line strays most
// until every span is within the tolerance; then every knot its neighbours
// hold without is dropped. Knots go only at points of `line` (or between
// them, for even steps): it needs points wherever a knot may be wanted, as
// near a corner as the tolerance. A closed line's last point is its first.
// Ends and corners that meet in one place are a loop, gone round from there.
// `strays`, when given, is set to the most a span still strays where the fit
// could not bring it within the tolerance, else 0.
std::vector<Vec3> fitCurve(const std::vector<FitPoint>& line, const std::vector<size_t>& corners, bool closed,
                           double tolerance, int level, double* strays = nullptr);

// The two-way distance of `line` from the curve of `points` drawn as the
// editor draws it, or in `pieces` chords a segment (many: nearly the exact
// curve, as the export's Béziers draw it); for tests and reports.
FitError fitError(const std::vector<FitPoint>& line, const std::vector<Vec3>& points, int level, int pieces = 0);
