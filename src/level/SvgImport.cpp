// SVG drawings as drawing programs write them: layers are levels, every
// visible shape's subpaths are curves, fitted within the tolerance. The tree
// is walked with a work list, never by recursion, so that a deeply nested
// drawing can't overflow the stack.
#include <pugixml.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CurveFit.h"
#include "Import.h"
#include "SvgPath.h"

// Dense points of all curves fitted at the asked tolerance; beyond, they thin
// out, so that no drawing is fitted for long (paths far outside their viewBox
// the longest: under two seconds). The fuzzer lowers it to stay quick.
#ifndef OMBREL_IMPORT_MOST_SAMPLES
#define OMBREL_IMPORT_MOST_SAMPLES 200000
#endif

namespace {

// What one drawing may make at most: beyond it the rest is not read.
const size_t kMostSegments = 500000;
const size_t kMostElements = 1000000;
const size_t kMostSamples = OMBREL_IMPORT_MOST_SAMPLES;
const int kMostUseNesting = 32;
const double kCornerCosine = std::cos(5.0 * M_PI / 180.0);  // a turn sharper than 5 degrees
// The fit is measured against straight pieces between the dense points; a
// little of the tolerance is left for how far those stray from the path.
const double kFitShare = 0.97;
// A segment shorter than this share of the dense points' spacing has no
// direction that counts for corners.
const double kNegligible = 0.125;
// Far enough inside the float range for the fit's end points beyond it.
const double kFarthest = 1e30;
const int kFloatSearch = 64;  // ulps tried around an end point recovered from a Bézier

struct Shape {
    std::vector<Subpath> subpaths;
    Affine transform;
    size_t level;
    size_t offset;
    long curve;  // from an id "levelL-curveC" as the exporter names paths, or -1
};

// The exporter writes no path for an empty curve: its paths' ids keep the
// curves' places, so the empty curves between come back.
long curveNamedBy(const pugi::xml_node& node)
{
    int level = 0, curve = -1;
    char tail = 0;
    return std::sscanf(node.attribute("id").value(), "level%d-curve%d%c", &level, &curve, &tail) == 2 && curve >= 0
               ? curve
               : -1;
}

// A place of the tree still to walk, with what it inherits.
struct Visit {
    pugi::xml_node node;
    Affine transform;
    bool hidden;  // visibility:hidden inherited (display:none is never walked)
    int useNesting;
};

// Where an element's "<" stands (pugixml gives its name's place).
size_t elementOffset(const pugi::xml_node& node)
{
    const ptrdiff_t offset = node.offset_debug();
    return offset > 0 ? static_cast<size_t>(offset - 1) : 0;
}

std::string localName(const pugi::xml_node& node)
{
    const char* const name = node.name();
    const char* const colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

// A property from the style attribute, else from its presentation attribute.
std::string property(const pugi::xml_node& node, const char* name)
{
    const std::string style = node.attribute("style").value();
    for (size_t start = 0; start < style.size();) {
        const size_t end = std::min(style.find(';', start), style.size());
        const std::string declaration = style.substr(start, end - start);
        const size_t colon = declaration.find(':');
        if (colon != std::string::npos) {
            const auto trim = [](std::string s) {
                s.erase(0, s.find_first_not_of(" \t\r\n"));
                s.erase(s.find_last_not_of(" \t\r\n") + 1);
                return s;
            };
            if (trim(declaration.substr(0, colon)) == name)
                return trim(declaration.substr(colon + 1));
        }
        start = end + 1;
    }
    return node.attribute(name).value();
}

bool isShape(const std::string& name)
{
    return name == "path" || name == "rect" || name == "circle" || name == "ellipse" || name == "line" ||
           name == "polyline" || name == "polygon";
}

bool drawable(const std::string& name)
{
    return isShape(name) || name == "g" || name == "a" || name == "use" || name == "svg" || name == "switch";
}

bool isLayer(const pugi::xml_node& node)
{
    return localName(node) == "g" && std::string(node.attribute("inkscape:groupmode").value()) == "layer";
}

double number(const pugi::xml_node& node, const char* name, double fallback = 0)
{
    double value = fallback;
    const pugi::xml_attribute attribute = node.attribute(name);
    if (attribute && !parseLength(attribute.value(), value))
        value = fallback;
    return value;
}

std::string formatted(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string brief(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Basic shapes as the path data they stand for.
std::string shapePathData(const pugi::xml_node& node, const std::string& name)
{
    const auto f = formatted;
    if (name == "line")
        return "M" + f(number(node, "x1")) + " " + f(number(node, "y1")) + "L" + f(number(node, "x2")) + " " +
               f(number(node, "y2"));
    if (name == "circle" || name == "ellipse") {
        const double cx = number(node, "cx"), cy = number(node, "cy");
        const double rx = name == "circle" ? number(node, "r") : number(node, "rx");
        const double ry = name == "circle" ? rx : number(node, "ry");
        if (!(rx > 0 && ry > 0))
            return "";
        const std::string arc = "A" + f(rx) + " " + f(ry) + " 0 0 1 ";
        return "M" + f(cx + rx) + " " + f(cy) + arc + f(cx) + " " + f(cy + ry) + arc + f(cx - rx) + " " + f(cy) +
               arc + f(cx) + " " + f(cy - ry) + arc + f(cx + rx) + " " + f(cy) + "Z";
    }
    // A rect, its corners rounded by rx and ry (one stands for both).
    const double x = number(node, "x"), y = number(node, "y"), w = number(node, "width"),
                 h = number(node, "height");
    if (!(w > 0 && h > 0))
        return "";
    double rx = number(node, "rx", -1), ry = number(node, "ry", -1);
    rx = rx < 0 ? ry : rx;
    ry = ry < 0 ? rx : ry;
    rx = std::clamp(rx, 0.0, w / 2);
    ry = std::clamp(ry, 0.0, h / 2);
    const std::string arc = "A" + f(rx) + " " + f(ry) + " 0 0 1 ";
    return "M" + f(x + rx) + " " + f(y) + "H" + f(x + w - rx) + arc + f(x + w) + " " + f(y + ry) + "V" +
           f(y + h - ry) + arc + f(x + w - rx) + " " + f(y + h) + "H" + f(x + rx) + arc + f(x) + " " +
           f(y + h - ry) + "V" + f(y + ry) + arc + f(x + rx) + " " + f(y) + "Z";
}

std::string pointsPathData(const pugi::xml_node& node, bool polygon, ParseError& error)
{
    const std::vector<double> numbers = parseNumberList(node.attribute("points").value(), error);
    std::string data;
    for (size_t k = 0; k + 1 < numbers.size(); k += 2)
        data += (k == 0 ? "M" : "L") + formatted(numbers[k]) + " " + formatted(numbers[k + 1]);
    return data.empty() || !polygon ? data : data + "Z";
}

// ---------------------------------------------------------------- the walk

class Walk {
public:
    Walk(Imported& imported) : imported(imported) {}

    std::vector<Shape> shapes;
    std::vector<size_t> levelOffsets;  // one per level, in level order

    void run(const pugi::xml_node& root);

private:
    Imported& imported;
    std::map<std::string, pugi::xml_node> ids;
    size_t segments = 0;
    size_t visited = 0;
    bool stopped = false;

    void collectIds(const pugi::xml_node& root);
    void visit(const Visit& place, std::vector<Visit>& work);
    void addShape(const Visit& place, const std::string& name);
    size_t offsetOf(const pugi::xml_node& node) const { return elementOffset(node); }
    size_t currentLevel = 0;
};

void Walk::collectIds(const pugi::xml_node& root)
{
    for (pugi::xml_node node = root; node;) {
        if (node.type() == pugi::node_element && node.attribute("id"))
            ids.emplace(node.attribute("id").value(), node);
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != root && !node.next_sibling())
            node = node.parent();
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
}

Affine transformOf(const pugi::xml_node& node, Imported& imported, size_t offset)
{
    Affine own;
    ParseError error;
    if (node.attribute("transform") && !parseTransform(node.attribute("transform").value(), own, error)) {
        imported.say(ImportMessage::Changed, offset, "transform not understood (" + error.what + "): ignored");
        return Affine();
    }
    return own;
}

void Walk::run(const pugi::xml_node& root)
{
    collectIds(root);
    // Top-level layers are the levels; the document order, or their
    // "Level N" labels when every layer has one.
    std::vector<pugi::xml_node> layers;
    for (const pugi::xml_node& child : root.children())
        if (isLayer(child))
            layers.push_back(child);
    std::vector<size_t> order(layers.size());
    std::vector<long> labels;
    for (const pugi::xml_node& layer : layers) {
        long n = -1;
        char tail = 0;
        if (std::sscanf(layer.attribute("inkscape:label").value(), "Level %ld%c", &n, &tail) == 1 && n >= 0)
            labels.push_back(n);
    }
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    if (labels.size() == layers.size())
        std::stable_sort(order.begin(), order.end(), [&labels](size_t a, size_t b) { return labels[a] < labels[b]; });
    std::map<size_t, size_t> levelOfLayer;  // child position of a layer to its level
    std::vector<Visit> work;
    size_t visible = 0;
    for (const size_t k : order) {
        if (property(layers[k], "display") == "none") {
            imported.say(ImportMessage::Note, offsetOf(layers[k]),
                         std::string("hidden layer \"") + layers[k].attribute("inkscape:label").value() +
                             "\": not imported");
            continue;
        }
        levelOfLayer[offsetOf(layers[k])] = visible++;
        levelOffsets.push_back(offsetOf(layers[k]));
    }
    if (levelOffsets.empty())
        levelOffsets.push_back(offsetOf(root));
    const Affine rootTransform = transformOf(root, imported, offsetOf(root));
    size_t level = 0;
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const auto found = levelOfLayer.find(offsetOf(child));
        if (isLayer(child) && found == levelOfLayer.end())
            continue;  // hidden
        if (found != levelOfLayer.end())
            level = found->second;
        else if (!layers.empty() && drawable(localName(child)))
            imported.say(ImportMessage::Note, offsetOf(child),
                         "<" + localName(child) + "> outside every layer: joins level " + std::to_string(level));
        currentLevel = level;
        work.push_back(Visit{child, rootTransform, false, 0});
        while (!work.empty() && !stopped) {
            const Visit place = work.back();
            work.pop_back();
            visit(place, work);
        }
        work.clear();
    }
}

void Walk::visit(const Visit& place, std::vector<Visit>& work)
{
    const pugi::xml_node& node = place.node;
    if (node.type() != pugi::node_element)
        return;
    if (++visited > kMostElements) {
        imported.say(ImportMessage::Changed, offsetOf(node), "more elements than an import reads: the rest is not read");
        stopped = true;
        return;
    }
    const std::string name = localName(node);
    if (property(node, "display") == "none") {
        imported.say(ImportMessage::Note, offsetOf(node), "<" + name + "> hidden (display:none): not imported");
        return;
    }
    const std::string visibility = property(node, "visibility");
    const bool hidden = visibility.empty() || visibility == "inherit" ? place.hidden : visibility != "visible";
    const Affine transform = compose(place.transform, transformOf(node, imported, offsetOf(node)));
    // A symbol is drawn only where a <use> places it.
    if (name == "g" || name == "a" || name == "svg" || name == "switch" || (name == "symbol" && place.useNesting > 0)) {
        Affine inner = transform;
        if (name == "svg")
            inner = compose(transform, Affine{1, 0, 0, 1, number(node, "x"), number(node, "y")});
        // Children go on the work list last first, so they are walked in order.
        std::vector<Visit> children;
        for (const pugi::xml_node& child : node.children())
            if (child.type() == pugi::node_element)
                children.push_back(Visit{child, inner, hidden, place.useNesting});
        if (name == "switch" && children.size() > 1)
            children.resize(1);
        work.insert(work.end(), children.rbegin(), children.rend());
    } else if (name == "use") {
        std::string href = node.attribute("href") ? node.attribute("href").value() : node.attribute("xlink:href").value();
        const auto target = href.size() > 1 && href[0] == '#' ? ids.find(href.substr(1)) : ids.end();
        if (target == ids.end())
            imported.say(ImportMessage::Changed, offsetOf(node), "<use> of \"" + href + "\", which isn't here: ignored");
        else if (place.useNesting >= kMostUseNesting)
            imported.say(ImportMessage::Changed, offsetOf(node), "<use> nested too deep (a use of itself?): ignored");
        else
            work.push_back(Visit{target->second,
                                 compose(transform, Affine{1, 0, 0, 1, number(node, "x"), number(node, "y")}), hidden,
                                 place.useNesting + 1});
    } else if (isShape(name)) {
        if (hidden)
            imported.say(ImportMessage::Note, offsetOf(node), "<" + name + "> hidden (visibility): not imported");
        else
            addShape(Visit{node, transform, hidden, place.useNesting}, name);
    } else if (name == "text" || name == "image" || name == "foreignObject") {
        imported.say(ImportMessage::Changed, offsetOf(node),
                     "<" + name + "> is not a shape: not imported (a drawing program can convert text to paths)");
    }
}

void Walk::addShape(const Visit& place, const std::string& name)
{
    const pugi::xml_node& node = place.node;
    ParseError error;
    std::string data;
    if (name == "path")
        data = node.attribute("d").value();
    else if (name == "polyline" || name == "polygon")
        data = pointsPathData(node, name == "polygon", error);
    else
        data = shapePathData(node, name);
    if (!error.what.empty())
        imported.say(ImportMessage::Changed, offsetOf(node),
                     "points of <" + name + "> stop at character " + std::to_string(error.offset + 1) + " (" +
                         error.what + "): the points before are kept");
    error = ParseError();
    Shape shape{parsePathData(data, kMostSegments - segments, error), place.transform, currentLevel, offsetOf(node),
                curveNamedBy(node)};
    if (data.empty() && name != "path")
        imported.say(ImportMessage::Changed, offsetOf(node), "<" + name + "> draws nothing (a size of 0 or unreadable): not imported");
    if (!error.what.empty() && name == "path")
        imported.say(ImportMessage::Changed, offsetOf(node),
                     "path data stops at character " + std::to_string(error.offset + 1) + " (" + error.what +
                         "): what came before is kept");
    for (const Subpath& subpath : shape.subpaths)
        segments += subpath.segments.size();
    if (segments >= kMostSegments) {
        imported.say(ImportMessage::Changed, offsetOf(node), "more path segments than an import reads: the rest is not read");
        stopped = true;
    }
    if (!shape.subpaths.empty())
        shapes.push_back(shape);
}

// ---------------------------------------------------------------- level units

// The drawing's viewBox, or its width and height, centred on the square.
bool viewOf(const pugi::xml_node& root, Affine& view, Imported& imported)
{
    ParseError error;
    std::vector<double> box = parseNumberList(root.attribute("viewBox").value(), error);
    if (box.size() != 4 || !(box[2] > 0 && box[3] > 0)) {
        double width = 0, height = 0;
        if (!parseLength(root.attribute("width").value(), width) ||
            !parseLength(root.attribute("height").value(), height) || !(width > 0 && height > 0))
            return false;
        if (root.attribute("viewBox"))
            imported.say(ImportMessage::Changed, elementOffset(root),
                         "viewBox not understood: width and height are used");
        box = {0, 0, width, height};
    }
    const double scale = 10.0 / std::max(box[2], box[3]);
    view = Affine{scale, 0, 0, -scale, -(box[0] + box[2] / 2) * scale, (box[1] + box[3] / 2) * scale};
    return true;
}

// ---------------------------------------------------------------- curves

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

// A path the exporter wrote: it carries the exporter's id, and its Béziers
// are exactly those of Catmull-Rom points within the float range, which are
// then its points. Any other path is a drawing to fit.
bool cameFromTheExport(const Shape& shape, const Subpath& subpath, const Affine& m, std::vector<Vec3>& points)
{
    const bool exported = shape.curve >= 0 && exactPoints(subpath.segments, subpath.closed, m, points) &&
                          std::all_of(points.begin(), points.end(), [](const Vec3& p) {
                              return std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]);
                          });
    if (!exported)
        points.clear();
    return exported;
}

bool withinRange(Point2 p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kFarthest && std::fabs(p.y) <= kFarthest;
}

// The level-unit length of a segment, from points along it; infinite when
// one of them lies beyond the float range, where no curve is imported.
double lengthOf(const PathSegment& s, const Affine& m)
{
    double length = 0;
    Point2 previous = place(m, s.p[0]);
    const int pieces = s.kind == PathSegment::Line ? 1 : 16;
    for (int k = 1; k <= pieces; ++k) {
        const Point2 p = place(m, pointAt(s, static_cast<double>(k) / pieces));
        if (!withinRange(p))
            return HUGE_VAL;
        length += std::hypot(p.x - previous.x, p.y - previous.y);
        previous = p;
    }
    return length * (s.kind == PathSegment::Line ? 1 : 1.2);  // chords fall short of a curve
}

Point2 direction(const PathSegment& s, const Affine& m, bool atEnd)
{
    const double t = atEnd ? 1.0 : 0.0, near = atEnd ? 1.0 - 1e-6 : 1e-6;
    const Point2 a = place(m, pointAt(s, atEnd ? near : t)), b = place(m, pointAt(s, atEnd ? t : near));
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    return length > 0 ? Point2{(b.x - a.x) / length, (b.y - a.y) / length} : Point2{0, 0};
}

bool turns(Point2 before, Point2 after)
{
    return before.x * after.x + before.y * after.y < kCornerCosine;
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

// The subpath as dense points in level units, and where it turns sharply.
// A segment far shorter than the spacing (a tiny rounded corner, a closing
// line that only mends a rounding) has no direction of its own: the turn is
// taken across it.
bool denseLine(const Subpath& subpath, bool closed, const Affine& m, double spacing, std::vector<FitPoint>& line,
               std::vector<size_t>& corners)
{
    const Point2 start = place(m, subpath.start);
    if (!withinRange(start))
        return false;
    line.assign(1, FitPoint{start.x, start.y});
    Point2 first{0, 0}, before{0, 0};  // the ways the first and the last segment with a direction go
    bool directed = false;
    for (const PathSegment& s : subpath.segments) {
        // The spacing keeps each segment within the limit, rounding aside; a
        // length that is not finite is a segment beyond the float range.
        const double length = lengthOf(s, m);
        const double wanted = std::ceil(length / spacing);
        if (!std::isfinite(wanted))
            return false;
        if (length >= spacing * kNegligible) {
            if (directed && turns(before, direction(s, m, false)))
                corners.push_back(line.size() - 1);
            if (!directed)
                first = direction(s, m, false);
            before = direction(s, m, true);
            directed = true;
        }
        const size_t pieces = static_cast<size_t>(std::clamp(wanted, 1.0, static_cast<double>(kMostSamples)));
        for (size_t k = 1; k <= pieces; ++k) {
            const Point2 p = place(m, pointAt(s, static_cast<double>(k) / pieces));
            if (!withinRange(p))
                return false;
            // A point at the last one's place, as saved, is no place a knot
            // could go between them.
            if (!samePlaceAsSaved(p, line.back()))
                line.push_back(FitPoint{p.x, p.y});
        }
    }
    if (closed && directed && turns(before, first))
        corners.push_back(0);
    return true;
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

}  // namespace

void importSvg(const std::string& text, double tolerance, Imported& imported)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!parsed) {
        const size_t at = std::min(static_cast<size_t>(std::max<ptrdiff_t>(parsed.offset, 0)), text.size());
        imported.fail(at, std::string("not XML: ") + parsed.description());
        return;
    }
    const pugi::xml_node root = document.document_element();
    if (localName(root) != "svg") {
        imported.fail(elementOffset(root),
                      "not an SVG drawing: the root element is <" + std::string(root.name()) + ">");
        return;
    }
    Walk walk(imported);
    walk.run(root);
    Affine view;
    if (!viewOf(root, view, imported)) {
        imported.fail(elementOffset(root),
                      "the drawing has neither a viewBox nor a width and height to place it by");
        return;
    }
    // The export's own Béziers give their points; the rest are fitted, from
    // points half the tolerance apart unless the drawing is too long for
    // that: then as many as an import keeps, spread evenly.
    double length = 0;
    std::vector<std::vector<Vec3>> exact;  // per subpath in order; empty: to fit
    for (const Shape& shape : walk.shapes)
        for (const Subpath& subpath : shape.subpaths) {
            const Affine m = compose(view, shape.transform);
            exact.emplace_back();
            double own = 0;
            if (!cameFromTheExport(shape, subpath, m, exact.back()))
                for (const PathSegment& segment : subpath.segments)
                    own += lengthOf(segment, m);
            // A subpath beyond the float range is refused: it must not thin
            // out the rest.
            if (std::isfinite(own))
                length += own;
        }
    const double spacing = std::max(tolerance / 2, length / kMostSamples);
    // Where the points must be farther apart, the fit can be no finer than they are.
    const double fitTolerance = std::max(tolerance, 2 * spacing);
    if (fitTolerance > tolerance)
        imported.say(ImportMessage::Changed, 0,
                     "the drawing's paths are too long to fit within " + brief(tolerance) + ": fitted within " +
                         brief(fitTolerance));
    std::vector<ImportedLevel> levels;
    for (const size_t offset : walk.levelOffsets)
        levels.push_back(ImportedLevel{{}, offset});
    size_t next = 0;
    for (const Shape& shape : walk.shapes) {
        const Affine m = compose(view, shape.transform);
        for (const Subpath& subpath : shape.subpaths) {
            std::vector<Vec3>& points = exact[next++];
            const bool own = !points.empty();
            std::vector<FitPoint> line;
            std::vector<size_t> corners;
            const bool loop = subpath.closed || endsWhereItStarts(subpath, m);
            if (!own && !denseLine(subpath, loop, m, spacing, line, corners)) {
                imported.say(ImportMessage::Changed, shape.offset, "a subpath beyond the float range: not imported");
                continue;
            }
            double strays = 0;
            if (!own)
                points = fitCurve(line, corners, loop, fitTolerance * kFitShare, 0, &strays);
            ImportedCurve curve{{}, shape.offset};
            for (const Vec3& p : points)
                curve.xy.insert(curve.xy.end(), p.pos, p.pos + 2);
            std::vector<ImportedCurve>& curves = levels[shape.level].curves;
            while (shape.curve > static_cast<long>(curves.size()))
                curves.push_back(ImportedCurve{{}, shape.offset});
            const std::string named = "level " + std::to_string(shape.level) + ", curve " + std::to_string(curves.size());
            imported.say(ImportMessage::Note, shape.offset,
                         named + ": " + std::to_string(points.size()) + " control points" +
                             (own ? " (its own Catmull-Rom points)" : ""));
            if (strays > fitTolerance)
                imported.say(ImportMessage::Changed, shape.offset,
                             named + ": no fit within " + brief(fitTolerance) + " found: it strays up to " +
                                 brief(strays));
            curves.push_back(curve);
        }
    }
    buildLevels(levels, imported);
}
