#include "SvgPath.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "SvgLex.h"

using namespace svg;

namespace {

const double kPi = 3.14159265358979323846;
const double kRadiansPerDegree = kPi / 180;
const int kMostArguments = 7;        // an arc's

bool parseFlag(const char*& p, const Text& text, double& value, ParseError& error)
{
    if (p == text.end || (*p != '0' && *p != '1'))
        return syntaxError(error, text, p, "expected a flag (0 or 1)");
    value = *p++ == '1';
    return true;
}

// -1 for a letter that is no command.
int argumentCount(char command)
{
    switch (upper(command)) {
    case 'Z': return 0;
    case 'H': case 'V': return 1;
    case 'M': case 'L': case 'T': return 2;
    case 'S': case 'Q': return 4;
    case 'C': return 6;
    case 'A': return 7;
    default: return -1;
    }
}

bool readArguments(const char*& p, const Text& text, char command, int count, double* v, ParseError& error)
{
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            skipWsComma(p, text);
        const bool flag = upper(command) == 'A' && (i == 3 || i == 4);
        if (!(flag ? parseFlag(p, text, v[i], error) : parseNumber(p, text, v[i], error)))
            return false;
    }
    return true;
}

struct PathState {
    size_t most = 0;
    size_t made = 0;
    std::vector<Subpath> done;
    Subpath current;
    bool open = false;  // current has its start; false after Z
    Point2 point{0, 0};
    Point2 start{0, 0};
    Point2 control{0, 0};  // the last curve's second control point
    char previous = 0;     // the last command, in upper case
};

void flush(PathState& s)
{
    if (s.open && (!s.current.segments.empty() || s.current.closed))
        s.done.push_back(std::move(s.current));
    s.current = Subpath{};
    s.open = false;
}

void moveTo(PathState& s, Point2 to)
{
    flush(s);
    s.current.start = s.start = s.point = to;
    s.open = true;
}

// False, adding nothing, when the cap is reached.
bool count(PathState& s)
{
    if (s.made == s.most)
        return false;
    ++s.made;
    return true;
}

bool add(PathState& s, PathSegment segment, Point2 end)
{
    if (!count(s))
        return false;
    if (!s.open)
        moveTo(s, s.start);  // a drawing command after Z
    s.current.segments.push_back(segment);
    s.point = end;
    return true;
}

PathSegment segment(PathSegment::Kind kind, Point2 p0, Point2 p1, Point2 p2 = {0, 0}, Point2 p3 = {0, 0})
{
    return {kind, {p0, p1, p2, p3}, {0, 0}, 0, 0, 0, 0, 0};
}

bool lineTo(PathState& s, Point2 to) { return add(s, segment(PathSegment::Line, s.point, to), to); }

bool cubicTo(PathState& s, Point2 c1, Point2 c2, Point2 to)
{
    s.control = c2;
    return add(s, segment(PathSegment::Cubic, s.point, c1, c2, to), to);
}

bool quadraticTo(PathState& s, Point2 c, Point2 to)
{
    s.control = c;
    return add(s, segment(PathSegment::Quadratic, s.point, c, to), to);
}

bool same(Point2 a, Point2 b) { return a.x == b.x && a.y == b.y; }

bool close(PathState& s)
{
    if (!s.open)
        moveTo(s, s.start);  // Z right after Z: one more dot
    if (same(s.point, s.start) ? s.current.segments.empty() && !count(s) : !lineTo(s, s.start))
        return false;  // the cap: a dot counts as a segment
    s.current.closed = true;
    flush(s);
    s.point = s.start;
    return true;
}

// F.6.5 and F.6.6, with the half chord in units of the radii (h) so that
// neither tiny nor huge radii overflow; false when the arc is beyond doubles
// or its chord underflows, to be drawn as a line.
bool toCentreForm(PathSegment& arc, double rx, double ry, double degrees, bool large, bool sweep)
{
    const double phi = std::fmod(degrees, 360) * kRadiansPerDegree;
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    const double dx = arc.p[0].x / 2 - arc.p[1].x / 2, dy = arc.p[0].y / 2 - arc.p[1].y / 2;  // halves first: no overflow
    double hx = (cosPhi * dx + sinPhi * dy) / rx, hy = (-sinPhi * dx + cosPhi * dy) / ry;
    const double lambda = std::hypot(hx, hy);
    if (!(lambda > 0))
        return false;
    const double nx = hx / lambda, ny = hy / lambda;
    if (lambda > 1) {  // radii too small: scale them up to just reach
        rx *= lambda;
        ry *= lambda;
        hx = nx;
        hy = ny;
    }
    const double root = lambda >= 1 ? 0 : std::sqrt(std::max(0.0, (1 - lambda) * (1 + lambda)));
    const double k = large != sweep ? root : -root;
    const double cx = k * rx * ny, cy = -k * ry * nx;
    const double ux = hx - k * ny, uy = hy + k * nx, vx = -hx - k * ny, vy = -hy + k * nx;
    double delta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
    if (!sweep && delta > 0)
        delta -= 2 * kPi;
    else if (sweep && delta < 0)
        delta += 2 * kPi;
    arc.centre = {cosPhi * cx - sinPhi * cy + arc.p[0].x / 2 + arc.p[1].x / 2,
                  sinPhi * cx + cosPhi * cy + arc.p[0].y / 2 + arc.p[1].y / 2};
    arc.rx = rx;
    arc.ry = ry;
    arc.phi = phi;
    arc.theta = std::atan2(uy, ux);
    arc.deltaTheta = delta;
    return std::isfinite(arc.rx) && std::isfinite(arc.ry) && std::isfinite(arc.centre.x) && std::isfinite(arc.centre.y);
}

bool arcTo(PathState& s, const double* v, Point2 to)
{
    if (same(s.point, to))
        return true;  // omitted
    PathSegment arc = segment(PathSegment::Arc, s.point, to);
    if (v[0] == 0 || v[1] == 0 || !toCentreForm(arc, std::fabs(v[0]), std::fabs(v[1]), v[2], v[3] != 0, v[4] != 0))
        return lineTo(s, to);
    return add(s, arc, to);
}

// The reflection of the last control point if the previous command drew
// that kind of curve, else the current point.
Point2 reflected(const PathState& s, char curve, char smooth)
{
    if (s.previous != curve && s.previous != smooth)
        return s.point;
    return {2 * s.point.x - s.control.x, 2 * s.point.y - s.control.y};
}

// One argument set of a command; false when the cap stops it.
bool draw(PathState& s, char command, const double* v)
{
    // -0 is the one origin that adds as an identity: an absolute -0 stays -0.
    const Point2 o = upper(command) == command ? Point2{-0.0, -0.0} : s.point;
    const auto at = [&](int i) { return Point2{o.x + v[i], o.y + v[i + 1]}; };
    switch (upper(command)) {
    case 'M': moveTo(s, at(0)); return true;
    case 'L': return lineTo(s, at(0));
    case 'H': return lineTo(s, {o.x + v[0], s.point.y});
    case 'V': return lineTo(s, {s.point.x, o.y + v[0]});
    case 'C': return cubicTo(s, at(0), at(2), at(4));
    case 'S': return cubicTo(s, reflected(s, 'C', 'S'), at(0), at(2));
    case 'Q': return quadraticTo(s, at(0), at(2));
    case 'T': return quadraticTo(s, reflected(s, 'Q', 'T'), at(0));
    case 'A': return arcTo(s, v, at(5));
    default: return close(s);
    }
}

// A command letter and its argument sets, as long as numbers follow.
bool runCommand(const char*& p, const Text& text, PathState& s, ParseError& error)
{
    const int arguments = argumentCount(*p);
    if (arguments < 0)
        return syntaxError(error, text, p,
                           isLetter(*p) ? std::string("unknown command '") + *p + "'" : "expected a command");
    char command = *p;
    const char* set = p++;
    skipWs(p, text);
    for (;;) {
        double v[kMostArguments];
        if (!readArguments(p, text, command, arguments, v, error))
            return false;
        if (!draw(s, command, v))
            return syntaxError(error, text, set, "more than " + std::to_string(s.most) + " segments");
        s.previous = upper(command);
        if (arguments == 0)
            return true;
        if (upper(command) == 'M')  // numbers after a moveto are linetos
            command = command == 'M' ? 'L' : 'l';
        const bool comma = skipWsComma(p, text);
        if (!startsNumber(p, text))
            return !comma || syntaxError(error, text, p, "expected a number");
        set = p;
    }
}

}  // namespace

std::vector<Subpath> pathOf(const std::vector<PathCommand>& commands, size_t maxSegments)
{
    PathState s;
    s.most = maxSegments;
    for (const PathCommand& c : commands) {
        if (!draw(s, c.command, c.v))
            break;
        s.previous = upper(c.command);
    }
    flush(s);
    return std::move(s.done);
}

Affine compose(const Affine& o, const Affine& i)
{
    return {o.a * i.a + o.c * i.b, o.b * i.a + o.d * i.b,
            o.a * i.c + o.c * i.d, o.b * i.c + o.d * i.d,
            o.a * i.e + o.c * i.f + o.e, o.b * i.e + o.d * i.f + o.f};
}

Point2 apply(const Affine& m, Point2 p)
{
    return {m.a * p.x + m.c * p.y + m.e, m.b * p.x + m.d * p.y + m.f};
}

std::vector<Subpath> parsePathData(std::string_view source, size_t maxSegments, ParseError& error)
{
    error = ParseError{};
    const Text text = textOf(source);
    const char* p = text.begin;
    skipWs(p, text);
    if (p < text.end && *p != 'M' && *p != 'm') {
        syntaxError(error, text, p, "expected 'M' or 'm'");
        return {};
    }
    PathState s;
    s.most = maxSegments;
    while (p < text.end && runCommand(p, text, s, error)) {
    }
    flush(s);
    return std::move(s.done);
}

Point2 pointAt(const PathSegment& s, double t)
{
    const double u = 1 - t;
    const Point2* const p = s.p;
    switch (s.kind) {
    case PathSegment::Line:
        return {u * p[0].x + t * p[1].x, u * p[0].y + t * p[1].y};
    case PathSegment::Quadratic:
        return {u * u * p[0].x + 2 * u * t * p[1].x + t * t * p[2].x,
                u * u * p[0].y + 2 * u * t * p[1].y + t * t * p[2].y};
    case PathSegment::Cubic:
        return {u * u * u * p[0].x + 3 * u * u * t * p[1].x + 3 * u * t * t * p[2].x + t * t * t * p[3].x,
                u * u * u * p[0].y + 3 * u * u * t * p[1].y + 3 * u * t * t * p[2].y + t * t * t * p[3].y};
    case PathSegment::Arc:
        break;
    }
    if (t <= 0 || t >= 1)
        return t <= 0 ? p[0] : p[1];  // the ends exactly, without rounding gaps
    const double angle = s.theta + t * s.deltaTheta;
    const double x = s.rx * std::cos(angle), y = s.ry * std::sin(angle);
    const double cosPhi = std::cos(s.phi), sinPhi = std::sin(s.phi);
    return {s.centre.x + cosPhi * x - sinPhi * y, s.centre.y + sinPhi * x + cosPhi * y};
}
