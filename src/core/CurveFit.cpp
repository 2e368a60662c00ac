#include "CurveFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CurveSampler.h"
#include "Splines.h"

namespace {

// Rounds of splitting before the fit settles for what it has; each splits
// every span still out of tolerance: far more than any drawing needs.
const int kMostRounds = 200;

// What is known of a span: measured again only once a knot beside it changed.
enum SpanState : char { kUnmeasured, kHolds, kStuck };

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
    // Adds knots inside spans (`added`, any order); `state` and `touched` are
    // per span before, `state` per span after: a span left whole and
    // untouched keeps what it was, any other is to be measured.
    void insert(std::vector<size_t> added, std::vector<char>& state, const std::vector<char>& touched);
    size_t spans() const { return closed ? knots.size() : knots.size() - 1; }
    SpanMeasure measure(size_t span) const;
    // The middle of a span, or none (0) when it has no point inside.
    size_t middle(size_t span) const
    {
        const size_t samples = samplesIn(span);
        return samples > 2 ? (knots[span] + samples / 2) % count : 0;
    }
    std::vector<Vec3> through() const { return positions; }
    // Drops, in one pass along the line, each knot but the corners (and an
    // open line's ends, a loop's first and last two) whose neighbouring
    // segments still hold the tolerance without it: splitting where the
    // line strays most places more knots than the line needs.
    void thin(std::vector<size_t> corners, double tolerance);

private:
    const std::vector<FitPoint>& line;
    const bool closed;
    const int level;
    const size_t count;  // distinct points of the line
    mutable std::vector<Vec3> scratch;

    template <typename PositionAt>
    void controls(size_t span, size_t size, const PositionAt& position, std::vector<Vec3>& four) const;
    SpanMeasure measureBetween(const std::vector<Vec3>& four, size_t from, size_t to) const;
    bool holdsWithout(size_t knot, const std::vector<size_t>& keptKnots, const std::vector<Vec3>& kept,
                      double tolerance) const;
    size_t samplesIn(size_t span) const { return samplesBetween(knots[span], knots[(span + 1) % knots.size()]); }
    size_t samplesBetween(size_t from, size_t to) const { return (to + count - from) % count + 1; }
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
        // An open line's end stays its last knot, in place of a knot at the
        // same place before it (but its start).
        if (!positions.empty() && samePlace(point, positions.back())) {
            if (!closed && index + 1 == count && knots.size() > 1)
                knots.back() = index;
            continue;
        }
        knots.push_back(index);
        positions.push_back(point);
    }
    if (closed && positions.size() > 1 && samePlace(positions.front(), positions.back())) {
        knots.pop_back();
        positions.pop_back();
    }
}

void Fit::insert(std::vector<size_t> added, std::vector<char>& state, const std::vector<char>& touched)
{
    std::sort(added.begin(), added.end());
    std::vector<size_t> mergedKnots;
    std::vector<Vec3> mergedPositions;
    std::vector<char> mergedState;
    size_t next = 0;
    for (size_t k = 0; k < knots.size(); ++k) {
        mergedKnots.push_back(knots[k]);
        mergedPositions.push_back(positions[k]);
        mergedState.push_back(k < state.size() && !touched[k] ? state[k] : char(kUnmeasured));
        const size_t end = k + 1 < knots.size() ? knots[k + 1] : count;
        for (; next < added.size() && added[next] < end; ++next) {
            const Vec3 point = saved(line[added[next]], level);
            const Vec3& following = k + 1 < knots.size() ? positions[k + 1] : positions[0];
            if (added[next] <= mergedKnots.back() || samePlace(point, mergedPositions.back()) || samePlace(point, following))
                continue;
            mergedState.back() = kUnmeasured;
            mergedKnots.push_back(added[next]);
            mergedPositions.push_back(point);
            mergedState.push_back(kUnmeasured);
        }
    }
    knots.swap(mergedKnots);
    positions.swap(mergedPositions);
    mergedState.resize(spans(), kUnmeasured);
    state.swap(mergedState);
}

// The four control points of a span's segment, of a line of `size` knots
// whose k-th control point is `position(k)`: neighbours wrap round a loop;
// an open curve's ends have their reflected end points.
template <typename PositionAt>
void Fit::controls(size_t span, size_t size, const PositionAt& position, std::vector<Vec3>& four) const
{
    four.clear();
    if (closed) {
        for (size_t offset = size - 1; offset <= size + 2; ++offset)
            four.push_back(position((span + offset) % size));
        return;
    }
    four.push_back(span == 0 ? endPointBeyond(position(0), position(1)) : position(span - 1));
    four.push_back(position(span));
    four.push_back(position(span + 1));
    four.push_back(span + 2 < size ? position(span + 2) : endPointBeyond(position(size - 1), position(size - 2)));
}

SpanMeasure Fit::measure(size_t span) const
{
    std::vector<Vec3> four;
    controls(span, positions.size(), [this](size_t k) { return positions[k]; }, four);
    return measureBetween(four, knots[span], knots[(span + 1) % knots.size()]);
}

// The segment of `four` against the line from its point `from` to `to`.
SpanMeasure Fit::measureBetween(const std::vector<Vec3>& four, size_t from, size_t to) const
{
    std::vector<Vec3>& drawn = scratch;  // kept between measures: the fit measures often
    drawn.assign(1, four[1]);
    sampleSegment(four, 3, level, kPiecesPerSegment, drawn);
    const size_t samples = samplesBetween(from, to);
    const auto drawnAt = [&drawn](size_t v) { return at(drawn[v]); };
    const auto sampleAt = [this, from](size_t k) { return line[(from + k) % count]; };
    SpanMeasure result;
    double worstInput = -1;
    for (size_t k = 0; k < samples; ++k) {
        const double nearest = distanceToLine(sampleAt(k), drawn.size(), drawnAt);
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
    result.split = (from + result.split) % count;
    return result;
}

// Whether the segments that knot `knot` shapes hold the tolerance without it,
// the knots before it being those kept so far.
bool Fit::holdsWithout(size_t knot, const std::vector<size_t>& keptKnots, const std::vector<Vec3>& kept,
                       double tolerance) const
{
    const size_t before = kept.size(), size = before + knots.size() - knot - 1;
    if (samePlace(kept.back(), positions[knot + 1]))
        return false;
    const auto position = [&](size_t k) { return k < before ? kept[k] : positions[knot + 1 + k - before]; };
    const auto index = [&](size_t k) { return k < before ? keptKnots[k] : knots[knot + 1 + k - before]; };
    std::vector<Vec3> four;
    for (size_t span = before >= 2 ? before - 2 : 0; span <= before && (closed || span + 1 < size); ++span) {
        controls(span, size, position, four);
        if (measureBetween(four, index(span), index((span + 1) % size)).error > tolerance)
            return false;
    }
    return true;
}

void Fit::thin(std::vector<size_t> corners, double tolerance)
{
    std::sort(corners.begin(), corners.end());  // looked up once a knot
    const size_t n = knots.size();
    std::vector<size_t> keptKnots;
    std::vector<Vec3> kept;
    for (size_t k = 0; k < n; ++k) {
        const bool fixed = closed ? k < 2 || k + 2 >= n : k == 0 || k + 1 == n;
        if (!fixed && !std::binary_search(corners.begin(), corners.end(), knots[k]) &&
            holdsWithout(k, keptKnots, kept, tolerance))
            continue;
        keptKnots.push_back(knots[k]);
        kept.push_back(positions[k]);
    }
    knots.swap(keptKnots);
    positions.swap(kept);
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

size_t farthestFrom(const std::vector<FitPoint>& line, size_t count, size_t from)
{
    size_t farthest = from;
    double most = 0;
    for (size_t k = 0; k < count; ++k) {
        const double d = std::hypot(line[k].x - line[from].x, line[k].y - line[from].y);
        if (d > most) {
            most = d;
            farthest = k;
        }
    }
    return farthest;
}

// The line with points at `n` equal steps of length along it (`along`: the
// length up to each point), its first point one of them, and where they
// are: a knot placed at the nearest point of a sparse line would be off its
// step. A step beside a point of the line takes that point.
std::vector<FitPoint> withEvenSteps(const std::vector<FitPoint>& line, const std::vector<double>& along, size_t n,
                                    bool closed, std::vector<size_t>& knots)
{
    const double step = along.back() / (closed ? n : n - 1), near = step / 1024;
    std::vector<FitPoint> result{line[0]};
    knots.assign(1, 0);
    size_t next = 1;  // the first point of the line not yet in the result
    for (size_t j = 1; j < n; ++j) {
        const double at = j * step;
        for (; next + 1 < line.size() && along[next] < at; ++next)
            result.push_back(line[next]);
        const double before = at - along[next - 1], after = along[next] - at;
        if (before <= near && before <= after) {
            knots.push_back(result.size() - 1);
            continue;
        }
        const double t = after <= near ? 1 : before / (along[next] - along[next - 1]);
        result.push_back(FitPoint{line[next - 1].x + t * (line[next].x - line[next - 1].x),
                                  line[next - 1].y + t * (line[next].y - line[next - 1].y)});
        next += after <= near;
        knots.push_back(result.size() - 1);
    }
    result.insert(result.end(), line.begin() + static_cast<long>(next), line.end());
    if (!closed)
        knots.push_back(result.size() - 1);
    return result;
}

bool holdsEverywhere(const Fit& fit, double tolerance)
{
    for (size_t span = 0; span < fit.spans(); ++span)
        if (fit.measure(span).error > tolerance)
            return false;
    return true;
}

// A uniform Catmull-Rom curve follows a smooth line best through knots at
// equal steps along it: the fewest such knots that hold the tolerance, found
// by doubling, then halving the gap, in `even` with its knots; false when
// even one every other point of the line does not.
bool startEvenly(const std::vector<FitPoint>& line, bool closed, double tolerance, int level,
                 std::vector<FitPoint>& even, std::vector<size_t>& knots)
{
    std::vector<double> along{0};
    for (size_t k = 1; k < line.size(); ++k)
        along.push_back(along.back() + std::hypot(line[k].x - line[k - 1].x, line[k].y - line[k - 1].y));
    if (!(along.back() > 0))
        return false;
    const size_t most = along.size() / 2;
    const auto holdsWith = [&](size_t n) {
        even = withEvenSteps(line, along, n, closed, knots);
        Fit fit(even, closed, level);
        fit.setKnots(knots);
        return fit.knots.size() > 1 && holdsEverywhere(fit, tolerance);
    };
    size_t fails = 2, holds = 4;
    while (holds <= most && !holdsWith(holds)) {
        fails = holds;
        holds *= 2;
    }
    if (holds > most)
        return false;
    while (holds - fails > 1) {
        const size_t middle = fails + (holds - fails) / 2;
        (holdsWith(middle) ? holds : fails) = middle;
    }
    even = withEvenSteps(line, along, holds, closed, knots);
    return true;
}

}  // namespace

std::vector<Vec3> fitCurve(const std::vector<FitPoint>& line, const std::vector<size_t>& corners, bool closed,
                           double tolerance, int level, double* strays)
{
    if (strays)
        *strays = 0;
    if (line.empty())
        return {};
    closed = closed && line.size() > 1;
    // A smooth line starts from even steps; corners want knots close by
    // them, which splitting places.
    const size_t count = closed ? line.size() - 1 : line.size();
    const bool smooth = std::none_of(corners.begin(), corners.end(), [count](size_t corner) { return corner < count; });
    std::vector<FitPoint> evenLine;
    std::vector<size_t> evenKnots;
    const bool even = smooth && startEvenly(line, closed, tolerance, level, evenLine, evenKnots);
    Fit fit(even ? evenLine : line, closed, level);
    if (even) {
        fit.setKnots(evenKnots);
    } else {
        std::vector<size_t> first = firstKnots(count, corners, closed);
        fit.setKnots(first);
        if (fit.knots.size() < 2) {
            // Its ends and corners meet in one place: a loop, to be gone round
            // from there through the point farthest from it.
            first.push_back(farthestFrom(line, count, 0));
            if (closed)
                first.insert(first.end(), {count / 3, 2 * count / 3});
            fit.setKnots(first);
        }
    }
    std::vector<char> state(fit.spans(), even ? kHolds : kUnmeasured);
    for (int round = 0; round < kMostRounds && fit.knots.size() > 1; ++round) {
        std::vector<size_t> added;
        const size_t spans = fit.spans();
        std::vector<char> split(spans, 0), stuck(spans, 0);
        for (size_t span = 0; span < spans; ++span) {
            if (state[span] != kUnmeasured)
                continue;
            const SpanMeasure measured = fit.measure(span);
            if (measured.error <= tolerance) {
                state[span] = kHolds;
            } else if (measured.canSplit) {
                added.push_back(measured.split);
                split[span] = 1;
            } else {
                stuck[span] = 1;
                state[span] = kStuck;
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
        const size_t before = fit.knots.size();
        fit.insert(added, state, touched);
        if (fit.knots.size() == before)
            break;  // every knot it would add is at a place it has
    }
    for (size_t span = 0; strays && fit.knots.size() > 1 && span < fit.spans(); ++span)
        if (state[span] != kHolds)
            *strays = std::max(*strays, fit.measure(span).error);
    fit.thin(even ? std::vector<size_t>() : corners, tolerance);
    return closed ? loopCurvePoints(fit.through()) : openCurvePoints(fit.through());
}

FitError fitError(const std::vector<FitPoint>& line, const std::vector<Vec3>& points, int level, int pieces)
{
    Nodes curve;
    curve.controlPoints = points;
    std::vector<Vec3> drawn;
    sampleCurve(curve, level, pieces > 0 ? pieces : kPiecesPerSegment, drawn);
    const auto drawnAt = [&drawn](size_t v) { return at(drawn[v]); };
    const auto lineAt = [&line](size_t k) { return line[k]; };
    FitError error;
    for (const FitPoint& p : line)
        error.inputToCurve = std::max(error.inputToCurve, distanceToLine(p, drawn.size(), drawnAt));
    for (const Vec3& vertex : drawn)
        error.curveToInput = std::max(error.curveToInput, distanceToLine(at(vertex), line.size(), lineAt));
    return error;
}
