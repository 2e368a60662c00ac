#include "CurveFit.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "CurveSampler.h"
#include "Splines.h"

namespace {

// Rounds of splitting before the fit settles for what it has; each round
// splits every span still out of tolerance, so this is far more than any
// drawing needs.
const int kMostRounds = 200;

double distanceToEdge(FitPoint p, FitPoint a, FitPoint b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

FitPoint at(const Vec3& v)
{
    return FitPoint{v.pos[0], v.pos[1]};
}

// How far p is from the line through `count` points, `point(k)` the k-th:
// both ways of every measure of the fit.
template <typename PointAt>
double distanceToLine(FitPoint p, size_t count, const PointAt& point)
{
    double nearest = std::numeric_limits<double>::infinity();
    if (count == 1)
        nearest = std::hypot(p.x - point(0).x, p.y - point(0).y);
    for (size_t k = 1; k < count; ++k)
        nearest = std::min(nearest, distanceToEdge(p, point(k - 1), point(k)));
    return nearest;
}

Vec3 saved(FitPoint p, int level)
{
    return Vec3(asSaved(p.x), asSaved(p.y), static_cast<float>(level));
}

// Kept within the float range, which a level file can hold.
Vec3 reflected(const Vec3& end, const Vec3& neighbour)
{
    const auto beyond = [&](int axis) {
        return asSaved(std::clamp(2.0 * end.pos[axis] - neighbour.pos[axis], -double(FLT_MAX), double(FLT_MAX)));
    };
    return Vec3(beyond(0), beyond(1), end.pos[2]);
}

bool samePlace(const Vec3& a, const Vec3& b)
{
    return a.pos[0] == b.pos[0] && a.pos[1] == b.pos[1];
}

// What one span of the fit costs: its two-way error, and where to split it.
struct SpanMeasure {
    double error = 0;
    size_t split = 0;
    bool canSplit = false;
};

// The knots chosen so far: indices into the line, in order along it, each
// with its control point as saved. A closed line is read cyclically.
class Fit {
public:
    Fit(const std::vector<FitPoint>& line, bool closed, int level)
        : line(line), closed(closed), level(level), count(closed ? line.size() - 1 : line.size())
    {
    }

    std::vector<size_t> knots;
    std::vector<Vec3> positions;

    void setKnots(std::vector<size_t> chosen);
    // Adds knots inside spans (`added`, any order); `good` and `touched` are
    // per span before, `good` per span after: a span left whole and untouched
    // keeps what it was.
    void insert(std::vector<size_t> added, std::vector<char>& good, const std::vector<char>& touched);
    size_t spans() const { return closed ? knots.size() : knots.size() - 1; }
    SpanMeasure measure(size_t span) const;
    // The middle of a span, or none (0) when it has no point inside.
    size_t middle(size_t span) const
    {
        const size_t samples = samplesIn(span);
        return samples > 2 ? (knots[span] + samples / 2) % count : 0;
    }
    std::vector<Vec3> through() const { return positions; }

private:
    const std::vector<FitPoint>& line;
    const bool closed;
    const int level;
    const size_t count;  // distinct points of the line

    void controls(size_t span, std::vector<Vec3>& four) const;
    size_t samplesIn(size_t span) const { return (knots[(span + 1) % knots.size()] + count - knots[span]) % count + 1; }
    const FitPoint& sample(size_t span, size_t k) const { return line[(knots[span] + k) % count]; }
};

// Sorted, without repeats or knots at the place of the one before.
void Fit::setKnots(std::vector<size_t> chosen)
{
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    knots.clear();
    positions.clear();
    for (const size_t index : chosen) {
        const Vec3 point = saved(line[index], level);
        if (!positions.empty() && samePlace(point, positions.back()))
            continue;
        knots.push_back(index);
        positions.push_back(point);
    }
    if (closed && positions.size() > 1 && samePlace(positions.front(), positions.back())) {
        knots.pop_back();
        positions.pop_back();
    }
}

void Fit::insert(std::vector<size_t> added, std::vector<char>& good, const std::vector<char>& touched)
{
    std::sort(added.begin(), added.end());
    std::vector<size_t> mergedKnots;
    std::vector<Vec3> mergedPositions;
    std::vector<char> mergedGood;
    size_t next = 0;
    for (size_t k = 0; k < knots.size(); ++k) {
        mergedKnots.push_back(knots[k]);
        mergedPositions.push_back(positions[k]);
        mergedGood.push_back(k < good.size() && good[k] && !touched[k]);
        const size_t end = k + 1 < knots.size() ? knots[k + 1] : count;
        for (; next < added.size() && added[next] < end; ++next) {
            const Vec3 point = saved(line[added[next]], level);
            const Vec3& following = k + 1 < knots.size() ? positions[k + 1] : positions[0];
            if (added[next] <= mergedKnots.back() || samePlace(point, mergedPositions.back()) || samePlace(point, following))
                continue;
            mergedGood.back() = 0;
            mergedKnots.push_back(added[next]);
            mergedPositions.push_back(point);
            mergedGood.push_back(0);
        }
    }
    knots.swap(mergedKnots);
    positions.swap(mergedPositions);
    mergedGood.resize(spans(), 0);
    good.swap(mergedGood);
}

// The four control points of a span's segment: neighbours wrap round a
// loop; an open curve's ends have their reflected end points.
void Fit::controls(size_t span, std::vector<Vec3>& four) const
{
    const size_t k = positions.size();
    four.clear();
    if (closed) {
        for (size_t offset = k - 1; offset <= k + 2; ++offset)
            four.push_back(positions[(span + offset) % k]);
        return;
    }
    four.push_back(span == 0 ? reflected(positions[0], positions[1]) : positions[span - 1]);
    four.push_back(positions[span]);
    four.push_back(positions[span + 1]);
    four.push_back(span + 2 < k ? positions[span + 2] : reflected(positions[k - 1], positions[k - 2]));
}

SpanMeasure Fit::measure(size_t span) const
{
    std::vector<Vec3> four, drawn;
    controls(span, four);
    drawn.push_back(four[1]);
    sampleSegment(four, 3, level, kPiecesPerSegment, drawn);
    const size_t samples = samplesIn(span);
    const auto drawnAt = [&drawn](size_t v) { return at(drawn[v]); };
    const auto sampleAt = [this, span](size_t k) { return sample(span, k); };
    SpanMeasure result;
    double worstInput = -1;
    for (size_t k = 0; k < samples; ++k) {
        const double nearest = distanceToLine(sample(span, k), drawn.size(), drawnAt);
        if (nearest > worstInput) {
            worstInput = nearest;
            result.split = k;
        }
    }
    double worstDrawn = 0;
    for (const Vec3& vertex : drawn)
        worstDrawn = std::max(worstDrawn, distanceToLine(at(vertex), samples, sampleAt));
    result.error = std::max(worstInput, worstDrawn);
    // Split where it strays most, but not near the span's ends: a uniform
    // Catmull-Rom curve overshoots where neighbouring spans differ much in length.
    const size_t margin = std::max<size_t>(1, samples / 4);
    result.split = samples > 2 ? std::clamp(result.split, margin, samples - 1 - margin) : 0;
    result.canSplit = samples > 2;
    result.split = (knots[span] + result.split) % count;
    return result;
}

// Starts from the ends (a loop: its start, and two more points a third of
// the way round unless it has a corner) and the corners.
std::vector<size_t> firstKnots(size_t count, const std::vector<size_t>& corners, bool closed)
{
    std::vector<size_t> knots{0};
    for (const size_t corner : corners)
        if (corner > 0 && corner < count)
            knots.push_back(corner);
    if (!closed)
        knots.push_back(count - 1);
    else if (knots.size() < 2)
        knots.insert(knots.end(), {count / 3, 2 * count / 3});
    return knots;
}

}  // namespace

std::vector<Vec3> openCurvePoints(const std::vector<Vec3>& through)
{
    if (through.size() < 2)
        return through;
    std::vector<Vec3> points{reflected(through[0], through[1])};
    points.insert(points.end(), through.begin(), through.end());
    points.push_back(reflected(through.back(), through[through.size() - 2]));
    return points;
}

std::vector<Vec3> loopCurvePoints(const std::vector<Vec3>& through)
{
    const size_t n = through.size();
    if (n < 4)
        return through;
    std::vector<Vec3> points{through[n - 1]};
    points.insert(points.end(), through.begin(), through.end());
    points.insert(points.end(), through.begin(), through.begin() + 2);
    return points;
}

float asSaved(double coordinate)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.4f", static_cast<double>(static_cast<float>(coordinate)));
    return std::strtof(text, nullptr);
}

std::vector<Vec3> fitCurve(const std::vector<FitPoint>& line, const std::vector<size_t>& corners, bool closed,
                           double tolerance, int level, double* strays)
{
    if (strays)
        *strays = 0;
    if (line.empty())
        return {};
    closed = closed && line.size() > 1;
    Fit fit(line, closed, level);
    const size_t count = closed ? line.size() - 1 : line.size();
    std::vector<size_t> first = firstKnots(count, corners, closed);
    fit.setKnots(first);
    if (fit.knots.size() < 2) {
        // Its ends and corners meet in one place: a loop, to be gone round.
        first.insert(first.end(), {count / 3, 2 * count / 3});
        fit.setKnots(first);
    }
    std::vector<char> good(fit.spans(), 0);
    for (int round = 0; round < kMostRounds && fit.knots.size() > 1; ++round) {
        std::vector<size_t> added;
        const size_t spans = fit.spans();
        std::vector<char> split(spans, 0), stuck(spans, 0);
        for (size_t span = 0; span < spans; ++span) {
            if (good[span])
                continue;
            const SpanMeasure measured = fit.measure(span);
            if (measured.error <= tolerance) {
                good[span] = 1;
            } else if (measured.canSplit) {
                added.push_back(measured.split);
                split[span] = 1;
            } else {
                stuck[span] = 1;
            }
        }
        // A span too short to split strays by its knots' tangents, which
        // its longer neighbours set: halve those.
        for (size_t span = 0; span < spans; ++span)
            for (const long offset : {-1L, 1L}) {
                const long side = static_cast<long>(span) + offset;
                if (!stuck[span] || (!closed && (side < 0 || side >= static_cast<long>(spans))))
                    continue;
                const size_t neighbour = static_cast<size_t>((side + static_cast<long>(spans)) % static_cast<long>(spans));
                const size_t middle = fit.middle(neighbour);
                if (!split[neighbour] && middle != 0) {
                    added.push_back(middle);
                    split[neighbour] = 1;
                }
            }
        if (added.empty())
            break;
        // A new knot changes the segments of its span's neighbours too (of
        // every span, in a loop of few).
        std::vector<char> touched(spans, 0);
        for (size_t span = 0; span < spans; ++span)
            touched[span] = spans < 8 || split[span] || split[(span + 1) % spans] || split[(span + spans - 1) % spans];
        fit.insert(added, good, touched);
    }
    for (size_t span = 0; strays && fit.knots.size() > 1 && span < fit.spans(); ++span)
        if (!good[span])
            *strays = std::max(*strays, fit.measure(span).error);
    return closed ? loopCurvePoints(fit.through()) : openCurvePoints(fit.through());
}

FitError fitError(const std::vector<FitPoint>& line, const std::vector<Vec3>& points, int level)
{
    Nodes curve;
    curve.controlPoints = points;
    std::vector<Vec3> drawn;
    sampleCurve(curve, level, kPiecesPerSegment, drawn);
    const auto drawnAt = [&drawn](size_t v) { return at(drawn[v]); };
    const auto lineAt = [&line](size_t k) { return line[k]; };
    FitError error;
    for (const FitPoint& p : line)
        error.inputToCurve = std::max(error.inputToCurve, distanceToLine(p, drawn.size(), drawnAt));
    for (const Vec3& vertex : drawn)
        error.curveToInput = std::max(error.curveToInput, distanceToLine(at(vertex), line.size(), lineAt));
    return error;
}
