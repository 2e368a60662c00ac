// Turning a drawn line back into control points: the inverse of the curve
// sampler, measured with the sampler itself, so that what the editor draws
// from the result is what was measured.
#pragma once

#include <cstddef>
#include <vector>

#include "LevelModel.h"
#include "Vec3.h"

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
