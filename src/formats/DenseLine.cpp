#include "DenseLine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "core/LevelModel.h"

namespace {

const double kCornerCosine = std::cos(5.0 * M_PI / 180.0);  // a turn sharper than 5 degrees
const double kKinkCosine = std::cos(0.25 * M_PI / 180.0);  // any turn a fit must follow closely
// A segment shorter than this share of the tolerance has no direction that
// counts for corners.
const double kNegligible = 1.0 / 16;
// Points are offered this share of the tolerance from a corner, and at twice
// as far, and so on.
const double kNearestOffered = 0.25;
const double kNearest = 0.2;  // the least distance between points, as a share of the tolerance
// Far enough inside the float range for the fit's end points beyond it.
const double kFarthest = 1e30;
const size_t kMostChords = 1 << 20;  // of one segment
const int kFloatSearch = 64;         // ulps tried around an end point recovered from a Bézier

// A point through the matrix, adding no term that is zero, so that a -0
// stays -0 where the matrix only scales (as it does for the export's own).
Point2 place(const Affine& m, Point2 p)
{
    double x = m.a * p.x, y = m.d * p.y;
    for (const auto& [term, sum] : {std::pair{m.c * p.y, &x}, std::pair{m.e, &x}, std::pair{m.b * p.x, &y},
                                    std::pair{m.f, &y}})
        if (term != 0)
            *sum += term;
    return Point2{x, y};
}

Point2 endOf(const PathSegment& s)
{
    return s.kind == PathSegment::Line || s.kind == PathSegment::Arc ? s.p[1]
           : s.kind == PathSegment::Quadratic                        ? s.p[2]
                                                                     : s.p[3];
}

bool withinRange(Point2 p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kFarthest && std::fabs(p.y) <= kFarthest;
}

double distance(Point2 a, Point2 b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The most the matrix lengthens any vector: its largest singular value.
double largestStretch(const Affine& m)
{
    const double sum = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d, det = m.a * m.d - m.b * m.c;
    return std::sqrt((sum + std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2);
}

// What flattening one segment takes.
struct SegmentPlan {
    size_t chords = 1;
    double length = 0;  // an estimate, enough to place points near its ends
    bool cornerAtStart = false, cornerAtEnd = false;
    bool kinkAtStart = false, kinkAtEnd = false;  // any turn: the path bends there
    // The spacing of the points just before and just after the segment,
    // which its own points grow from; 0 where none.
    double nearStart = 0, nearEnd = 0;
    double chord() const { return length / chords; }
};

// Chords whose sagitta stays within the flatness, from the bound of the
// second derivative (a Bézier's by its control points, an arc's by its
// largest radius); the segment's length; false beyond the float range.
bool measureSegment(const PathSegment& s, const Affine& m, double flatness, SegmentPlan& plan)
{
    const int controls = s.kind == PathSegment::Quadratic ? 3 : s.kind == PathSegment::Cubic ? 4 : 2;
    Point2 q[4];
    for (int k = 0; k < controls; ++k)
        if (!withinRange(q[k] = place(m, s.p[k])))
            return false;
    double wanted = 1;
    plan.length = 0;
    for (int k = 1; k < controls; ++k)
        plan.length += distance(q[k - 1], q[k]);
    const auto bend = [&q](int k) { return std::hypot(q[k].x - 2 * q[k + 1].x + q[k + 2].x, q[k].y - 2 * q[k + 1].y + q[k + 2].y); };
    if (s.kind == PathSegment::Quadratic)
        wanted = std::sqrt(bend(0) / (4 * flatness));
    else if (s.kind == PathSegment::Cubic)
        wanted = std::sqrt(3 * std::max(bend(0), bend(1)) / (4 * flatness));
    else if (s.kind == PathSegment::Arc) {
        const double radius = largestStretch(m) * std::max(s.rx, s.ry);
        if (!std::isfinite(radius) || !withinRange(place(m, s.centre)))
            return false;
        plan.length = radius * std::fabs(s.deltaTheta);
        wanted = std::fabs(s.deltaTheta) * std::sqrt(radius / (8 * flatness));
    }
    if (!(wanted < kFarthest) || !std::isfinite(plan.length))
        return false;
    plan.chords = static_cast<size_t>(std::clamp(std::ceil(wanted), 1.0, static_cast<double>(kMostChords)));
    return true;
}

Point2 direction(const PathSegment& s, const Affine& m, bool atEnd)
{
    const double t = atEnd ? 1.0 : 0.0, near = atEnd ? 1.0 - 1e-6 : 1e-6;
    const Point2 a = place(m, pointAt(s, atEnd ? near : t)), b = place(m, pointAt(s, atEnd ? t : near));
    const double length = distance(a, b);
    return length > 0 ? Point2{(b.x - a.x) / length, (b.y - a.y) / length} : Point2{0, 0};
}

bool turns(Point2 before, Point2 after, double cosine = kCornerCosine)
{
    return before.x * after.x + before.y * after.y < cosine;
}

// Coordinates more than two steps apart, of the saved grid or of a float
// there, differ as saved: only nearer ones need the saved form.
bool sameAsSaved(double a, double b)
{
    const double step = std::max(kSavedStep, std::fabs(a) * FLT_EPSILON);
    return std::fabs(a - b) < 2 * step && asSaved(a) == asSaved(b);
}

bool samePlaceAsSaved(Point2 p, FitPoint q)
{
    return sameAsSaved(p.x, q.x) && sameAsSaved(p.y, q.y);
}

// A subpath that comes back to where it started, as a level file keeps
// places, is a loop whether or not it ends with Z.
bool endsWhereItStarts(const Subpath& subpath, const Affine& m)
{
    if (subpath.segments.empty())
        return false;
    const Point2 start = place(m, subpath.start), end = place(m, endOf(subpath.segments.back()));
    return samePlaceAsSaved(end, FitPoint{start.x, start.y});
}

// Beside a corner or a bend a uniform Catmull-Rom curve strays by about the
// distance to its next knot; beside much finer points a knot far away makes
// it loop. So from each end, points grow from the spacing beyond it (where
// the path turns, a share of the tolerance) doubling up to the segment's own.
void gradeSpacing(std::vector<SegmentPlan>& plans, bool loop, double tolerance)
{
    const size_t n = plans.size();
    for (size_t k = 0; k < n; ++k) {
        const bool hasBefore = k > 0 || loop, hasAfter = k + 1 < n || loop;
        const SegmentPlan &before = plans[(k + n - 1) % n], &after = plans[(k + 1) % n];
        plans[k].nearStart = hasBefore ? before.chord() : 0;
        plans[k].nearEnd = hasAfter ? after.chord() : 0;
        if (plans[k].kinkAtStart || (hasBefore && plans[k].nearStart < tolerance * kNearestOffered))
            plans[k].nearStart = tolerance * kNearestOffered;
        if (plans[k].kinkAtEnd || (hasAfter && plans[k].nearEnd < tolerance * kNearestOffered))
            plans[k].nearEnd = tolerance * kNearestOffered;
    }
}

// Where the path goes on from one segment to the next: a corner, a bend, or
// neither.
void joinAt(Point2 before, Point2 after, SegmentPlan& from, SegmentPlan& to)
{
    from.cornerAtEnd = to.cornerAtStart = turns(before, after);
    from.kinkAtEnd = to.kinkAtStart = turns(before, after, kKinkCosine);
}

// Each segment's chords, and where the subpath turns sharply. A segment far
// shorter than the tolerance (a tiny rounded corner, a closing line that
// only mends a rounding) has no direction of its own: the turn is taken
// across it.
bool planOf(const Subpath& subpath, const Affine& m, const Flattening& flat, bool loop, std::vector<SegmentPlan>& plans)
{
    plans.assign(subpath.segments.size(), SegmentPlan());
    long firstDirected = -1, lastDirected = -1;
    Point2 before{0, 0};
    for (size_t k = 0; k < plans.size(); ++k) {
        const PathSegment& s = subpath.segments[k];
        if (!measureSegment(s, m, flat.flatness, plans[k]))
            return false;
        if (plans[k].length < flat.tolerance * kNegligible)
            continue;
        if (lastDirected >= 0)
            joinAt(before, direction(s, m, false), plans[static_cast<size_t>(lastDirected)], plans[k]);
        if (firstDirected < 0)
            firstDirected = static_cast<long>(k);
        before = direction(s, m, true);
        lastDirected = static_cast<long>(k);
    }
    if (loop && firstDirected >= 0) {
        const size_t first = static_cast<size_t>(firstDirected);
        joinAt(before, direction(subpath.segments[first], m, false), plans[static_cast<size_t>(lastDirected)],
               plans[first]);
    }
    gradeSpacing(plans, loop, flat.tolerance);
    return true;
}

// Calls `at` with each distance from an end where a point grows, nearer
// than the segment's own spacing and its middle.
template <typename At>
void grown(double near, const SegmentPlan& plan, const At& at)
{
    for (double d = near; near > 0 && d < plan.chord() && d < plan.length / 2; d *= 2)
        at(d);
}

// Where along a segment its points go: its chords' ends, and those grown
// from either end.
void paramsOf(const SegmentPlan& plan, std::vector<double>& ts)
{
    ts.clear();
    for (size_t k = 1; k <= plan.chords; ++k)
        ts.push_back(static_cast<double>(k) / plan.chords);
    grown(plan.nearStart, plan, [&](double d) { ts.push_back(d / plan.length); });
    grown(plan.nearEnd, plan, [&](double d) { ts.push_back(1 - d / plan.length); });
    std::sort(ts.begin(), ts.end());
}

size_t pointsOf(const SegmentPlan& plan)
{
    size_t count = plan.chords;
    grown(plan.nearStart, plan, [&](double) { ++count; });
    grown(plan.nearEnd, plan, [&](double) { ++count; });
    return count;
}

// A Bézier segment's control points as the exporter writes them from its
// Catmull-Rom points: b = p1 + (p2 - p0) / 6, c = p2 - (p3 - p1) / 6.
float inner(float p1, float p2, float p0) { return static_cast<float>(p1 + (static_cast<double>(p2) - p0) / 6); }

// The float p0 for which inner(p1, p2, p0) gives b, nearest to the exact value.
bool recoverEnd(float p1, float p2, float b, float& p0)
{
    const float guess = static_cast<float>(p2 - 6.0 * (static_cast<double>(b) - p1));
    float down = guess, up = guess;
    for (int step = 0; step < kFloatSearch; ++step) {
        if (inner(p1, p2, up) == b) {
            p0 = up;
            return true;
        }
        if (inner(p1, p2, down) == b) {
            p0 = down;
            return true;
        }
        up = std::nextafter(up, HUGE_VALF);
        down = std::nextafter(down, -HUGE_VALF);
    }
    return false;
}

// The Catmull-Rom points of a subpath whose every segment is a Bézier the
// exporter would write for them, as the editor holds them; false when any
// isn't.
bool exactPoints(const std::vector<PathSegment>& segments, bool closed, const Affine& m, std::vector<Vec3>& out)
{
    const size_t k = segments.size();
    if (k == 0)
        return false;
    std::vector<float> x, y, bx, by, cx, cy;
    for (const PathSegment& s : segments) {
        if (s.kind != PathSegment::Cubic)
            return false;
        const Point2 p0 = place(m, s.p[0]), p1 = place(m, s.p[1]), p2 = place(m, s.p[2]);
        x.push_back(static_cast<float>(p0.x));
        y.push_back(static_cast<float>(p0.y));
        bx.push_back(static_cast<float>(p1.x));
        by.push_back(static_cast<float>(p1.y));
        cx.push_back(static_cast<float>(p2.x));
        cy.push_back(static_cast<float>(p2.y));
    }
    const Point2 last = place(m, endOf(segments.back()));
    std::vector<float> px, py;  // the Catmull-Rom points
    if (closed) {
        px = x;
        py = y;
        if (static_cast<float>(last.x) != x[0] || static_cast<float>(last.y) != y[0])
            return false;
    } else {
        float fx = 0, fy = 0, lx = 0, ly = 0;
        x.push_back(static_cast<float>(last.x));
        y.push_back(static_cast<float>(last.y));
        if (!recoverEnd(x[0], x[1], bx[0], fx) || !recoverEnd(y[0], y[1], by[0], fy) ||
            !recoverEnd(x[k], x[k - 1], cx[k - 1], lx) || !recoverEnd(y[k], y[k - 1], cy[k - 1], ly))
            return false;
        px = {fx};
        py = {fy};
        px.insert(px.end(), x.begin(), x.end());
        py.insert(py.end(), y.begin(), y.end());
        px.push_back(lx);
        py.push_back(ly);
    }
    const size_t n = px.size();
    const size_t first = closed ? 0 : 1;  // the point each segment starts at
    for (size_t j = 0; j < k; ++j) {
        const size_t a = (first + j + n - 1) % n, b = (first + j) % n, c = (first + j + 1) % n, d = (first + j + 2) % n;
        if (inner(px[b], px[c], px[a]) != bx[j] || inner(py[b], py[c], py[a]) != by[j] ||
            inner(px[c], px[b], px[d]) != cx[j] || inner(py[c], py[b], py[d]) != cy[j])
            return false;
    }
    // A short loop's line starts at its point (2n - 2) mod n, as the editor
    // draws it: turned back, its points come in their own order.
    const size_t start = closed && n < 4 ? (2 * n - 2) % n : 0;
    out.clear();
    for (size_t j = 0; j < n; ++j)
        out.emplace_back(px[(j + n - start) % n], py[(j + n - start) % n], 0.0f);
    if (closed)
        out = loopCurvePoints(out);
    return true;
}

}  // namespace

size_t piecesOf(const Subpath& subpath, const Affine& m, const Flattening& flat)
{
    std::vector<SegmentPlan> plans;
    if (!withinRange(place(m, subpath.start)) ||
        !planOf(subpath, m, flat, subpath.closed || endsWhereItStarts(subpath, m), plans))
        return 0;
    size_t count = 1;
    for (const SegmentPlan& plan : plans)
        count += pointsOf(plan);
    return count;
}

double reachOf(const Subpath& subpath, const Affine& m)
{
    const auto farthest = [](Point2 p) { return std::max(std::fabs(p.x), std::fabs(p.y)); };
    double reach = farthest(place(m, subpath.start));
    for (const PathSegment& s : subpath.segments) {
        const int controls = s.kind == PathSegment::Quadratic ? 3 : s.kind == PathSegment::Cubic ? 4 : 2;
        for (int k = 0; k < controls; ++k)
            reach = std::max(reach, farthest(place(m, s.p[k])));
        if (s.kind == PathSegment::Arc)
            reach = std::max(reach, farthest(place(m, s.centre)) + largestStretch(m) * std::max(s.rx, s.ry));
    }
    return reach <= kFarthest ? reach : 0;
}

bool denseLine(const Subpath& subpath, const Affine& m, const Flattening& flat, DenseLine& out)
{
    const Point2 start = place(m, subpath.start);
    out.loop = subpath.closed || endsWhereItStarts(subpath, m);
    out.points.assign(1, FitPoint{start.x, start.y});
    out.corners.clear();
    std::vector<SegmentPlan> plans;
    if (!withinRange(start) || !planOf(subpath, m, flat, out.loop, plans))
        return false;
    std::vector<double> ts;
    bool pinned = true;  // the last point ends a segment, or starts the line
    for (size_t k = 0; k < plans.size(); ++k) {
        if (plans[k].cornerAtStart)
            out.corners.push_back(out.points.size() - 1);
        paramsOf(plans[k], ts);
        for (const double t : ts) {
            const Point2 p = place(m, pointAt(subpath.segments[k], t));
            if (!withinRange(p))
                return false;
            // Knots much nearer each other than the tolerance make the
            // curve loop between them, and a point at the last one's place,
            // as saved, is no place a knot could go: such a point is left
            // out, or takes the place of a point inside the segment.
            const FitPoint& last = out.points.back();
            if (!samePlaceAsSaved(p, last) && std::hypot(p.x - last.x, p.y - last.y) >= flat.tolerance * kNearest) {
                out.points.push_back(FitPoint{p.x, p.y});
                pinned = t == 1;
            } else if (t == 1 && !pinned && !samePlaceAsSaved(p, out.points[out.points.size() - 2])) {
                out.points.back() = FitPoint{p.x, p.y};
                pinned = true;
            }
        }
    }
    return true;
}

bool exportedPoints(const Subpath& subpath, const Affine& m, std::vector<Vec3>& points)
{
    const bool exported = exactPoints(subpath.segments, subpath.closed, m, points) &&
                          std::all_of(points.begin(), points.end(), [](const Vec3& p) {
                              return std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]);
                          });
    if (!exported)
        points.clear();
    return exported;
}
