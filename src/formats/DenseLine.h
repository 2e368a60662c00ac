// How one subpath of a drawing becomes what the fit takes: points along it
// in level units, flattened by the tolerance as renderers do, and where it
// turns sharply; or, for the export's own Béziers, its Catmull-Rom points.
#pragma once

#include <cstddef>
#include <vector>

#include "core/CurveFit.h"
#include "core/Vec3.h"
#include "formats/svg/SvgPath.h"

// Points no farther than this from the subpath, with knots to choose from
// near its corners.
struct Flattening {
    double flatness;   // the most a chord may stray from the path
    double tolerance;  // the fit's: sets how close to a corner points are offered
};

// How many points the subpath flattens to; 0 when a point of it lies
// beyond the float range, where no curve is imported.
size_t piecesOf(const Subpath& subpath, const Affine& m, const Flattening& flat);

// The farthest any point of the subpath lies from the centre, on either
// axis, in level units (a bound: its control points, an arc's whole ellipse);
// 0 when that is beyond the float range, where no curve is imported.
double reachOf(const Subpath& subpath, const Affine& m);

struct DenseLine {
    std::vector<FitPoint> points;
    std::vector<size_t> corners;  // indices into points
    bool loop = false;
};

// False when a point of the subpath lies beyond the float range.
bool denseLine(const Subpath& subpath, const Affine& m, const Flattening& flat, DenseLine& out);

// The Catmull-Rom points of a subpath whose every Bézier is exactly the one
// the export writes for them, as the editor holds them, all finite; false
// (and no points) when any isn't.
bool exportedPoints(const Subpath& subpath, const Affine& m, std::vector<Vec3>& points);
