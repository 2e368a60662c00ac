// The layout document the JSON export writes: what each place holds, the
// keys of each object, and how a curve read from it is stored; shared by
// the quick read and the event read.
#pragma once

#include <cstddef>
#include <vector>

#include "core/LevelModel.h"
#include "formats/Import.h"

namespace jsonLayout {

// What a place of the document must hold.
enum Node {
    kRoot, kUnits, kExtent, kExtentItem, kYUp, kSamplesPerSegment, kLevels, kLevel, kLevelNumber,
    kCurves, kCurve, kClosed, kControlPoints, kSamples, kPoint, kCoordinate, kSkipped
};

struct Key {
    const char* name;
    Node node;
};
const Key kRootKeys[] = {{"units", kUnits}, {"extent", kExtent}, {"yUp", kYUp},
                         {"samplesPerSegment", kSamplesPerSegment}, {"levels", kLevels}};
const Key kLevelKeys[] = {{"level", kLevelNumber}, {"curves", kCurves}};
const Key kCurveKeys[] = {{"closed", kClosed}, {"controlPoints", kControlPoints}, {"samples", kSamples}};

// An open curve of two or three points would be drawn as a loop.
inline bool wantsEndPoints(size_t count, bool closed) { return !closed && (count == 2 || count == 3); }

// The curve as stored: a closed one of four or more points becomes the loop
// the editor draws open, an open one that wants end points gets them.
inline ImportedCurve storedCurve(const std::vector<float>& xy, bool closed, size_t offset)
{
    std::vector<Vec3> points;
    for (size_t k = 0; k < xy.size(); k += 2)
        points.emplace_back(xy[k], xy[k + 1], 0.0f);
    if (closed && points.size() >= 4)
        points = loopCurvePoints(points);
    else if (wantsEndPoints(points.size(), closed))
        points = openCurvePoints(points);
    ImportedCurve curve{{}, offset};
    for (const Vec3& p : points)
        curve.xy.insert(curve.xy.end(), p.pos, p.pos + 2);
    return curve;
}

}  // namespace jsonLayout
