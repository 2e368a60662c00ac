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
#include "DenseLine.h"
#include "Import.h"
#include "SvgPath.h"

// Points of all curves beyond their segments' ends, flattened at the asked
// tolerance; beyond, the flattening coarsens, so that no drawing is fitted
// for long. The fuzzer lowers it to stay quick.
#ifndef OMBREL_IMPORT_MOST_SAMPLES
#define OMBREL_IMPORT_MOST_SAMPLES 1000000
#endif

namespace {

// What one drawing may make at most: beyond it the rest is not read.
const size_t kMostSegments = 500000;
const size_t kMostElements = 1000000;
const size_t kMostSamples = OMBREL_IMPORT_MOST_SAMPLES;
const int kMostUseNesting = 32;
// The fit is measured against the chords of the flattened path, which stray
// from it by up to the flatness; a little more is left for the exact
// Béziers of the export, which stray from the editor's ten chords.
const double kFlatShare = 1.0 / 16;
const double kFitShare = 1 - kFlatShare - 0.05;
// Float steps a fit must allow at the drawing's farthest point: rounding
// moves each control point by up to half a step, the curve by more.
const double kFloatSteps = 4;

struct Shape {
    std::vector<Subpath> subpaths;
    Affine transform;
    size_t level;
    size_t offset;
    long curve;  // from an id "levelL-curveC" as the exporter names paths, or -1
    // Per subpath: the export's own points, its segments then let go; empty
    // for a subpath to fit.
    std::vector<std::vector<Vec3>> exact;
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
    Walk(Imported& imported, const Affine& view) : imported(imported), view(view) {}

    std::vector<Shape> shapes;
    std::vector<size_t> levelOffsets;  // one per level, in level order

    void run(const pugi::xml_node& root);

private:
    Imported& imported;
    const Affine view;  // the drawing into level units
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
    // A path's data is read where the document holds it: an export's paths
    // are most of its bytes.
    std::string made;
    if (name == "polyline" || name == "polygon")
        made = pointsPathData(node, name == "polygon", error);
    else if (name != "path")
        made = shapePathData(node, name);
    const std::string_view data = name == "path" ? std::string_view(node.attribute("d").value()) : made;
    if (!error.what.empty())
        imported.say(ImportMessage::Changed, offsetOf(node),
                     "points of <" + name + "> stop at character " + std::to_string(error.offset + 1) + " (" +
                         error.what + "): the points before are kept");
    error = ParseError();
    Shape shape{parsePathData(data, kMostSegments - segments, error), place.transform, currentLevel, offsetOf(node),
                curveNamedBy(node), {}};
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
    if (shape.subpaths.empty())
        return;
    shape.exact.resize(shape.subpaths.size());
    for (size_t i = 0; shape.curve >= 0 && i < shape.subpaths.size(); ++i)
        if (exportedPoints(shape.subpaths[i], compose(view, shape.transform), shape.exact[i]))
            std::vector<PathSegment>().swap(shape.subpaths[i].segments);
    shapes.push_back(std::move(shape));
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

// Calls `action` with each subpath to fit and its matrix into level units.
template <typename Action>
void forEachToFit(const std::vector<Shape>& shapes, const Affine& view, const Action& action)
{
    for (const Shape& shape : shapes)
        for (size_t i = 0; i < shape.subpaths.size(); ++i)
            if (shape.exact[i].empty())
                action(shape.subpaths[i], compose(view, shape.transform));
}

// How the drawing is flattened and fitted: at the tolerance, unless a level
// file's floats are coarser where it reaches, or it flattens to more points
// than an import keeps; each is said.
Flattening flatteningFor(const std::vector<Shape>& shapes, const Affine& view, double tolerance, Imported& imported)
{
    double reach = 0;
    forEachToFit(shapes, view,
                 [&](const Subpath& subpath, const Affine& m) { reach = std::max(reach, reachOf(subpath, m)); });
    const double floored = std::max(tolerance, reach * kFloatSteps * FLT_EPSILON);
    if (floored > tolerance)
        imported.say(ImportMessage::Changed, 0,
                     "the drawing reaches " + brief(reach) + " level units out, where a level file's numbers are " +
                         "coarser than " + brief(tolerance) + ": fitted within " + brief(floored));
    const auto extraPoints = [&](const Flattening& flat) {
        size_t extra = 0;
        forEachToFit(shapes, view, [&](const Subpath& subpath, const Affine& m) {
            const size_t pieces = piecesOf(subpath, m, flat);
            extra += pieces - std::min(pieces, subpath.segments.size() + 1);
        });
        return extra;
    };
    // Chords grow as the square root of the flatness: coarsened by the square
    // of the excess, at least fourfold, until the points fit.
    Flattening flat{floored * kFlatShare, floored};
    for (size_t extra = extraPoints(flat); extra > kMostSamples && std::isfinite(flat.tolerance);
         extra = extraPoints(flat)) {
        const double excess = static_cast<double>(extra) / kMostSamples;
        const double coarser = flat.tolerance * std::max(4.0, excess * excess);
        flat = Flattening{coarser * kFlatShare, coarser};
    }
    if (flat.tolerance > floored)
        imported.say(ImportMessage::Changed, 0,
                     "the drawing's paths are too long to fit within " + brief(floored) + ": fitted within " +
                         brief(flat.tolerance));
    return flat;
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
    Affine view;
    if (!viewOf(root, view, imported)) {
        imported.fail(elementOffset(root),
                      "the drawing has neither a viewBox nor a width and height to place it by");
        return;
    }
    // The export's own Béziers give their points; the rest are flattened by
    // the tolerance and fitted, unless that makes more points than an import
    // keeps: then flattened coarser, and fitted no finer.
    Walk walk(imported, view);
    walk.run(root);
    const Flattening flat = flatteningFor(walk.shapes, view, tolerance, imported);
    const double fitTolerance = flat.tolerance;
    std::vector<ImportedLevel> levels;
    for (const size_t offset : walk.levelOffsets)
        levels.push_back(ImportedLevel{{}, offset});
    DenseLine line;
    for (Shape& shape : walk.shapes) {
        const Affine m = compose(view, shape.transform);
        for (size_t i = 0; i < shape.subpaths.size(); ++i) {
            std::vector<Vec3>& points = shape.exact[i];
            const bool own = !points.empty();
            if (!own && !denseLine(shape.subpaths[i], m, flat, line)) {
                imported.say(ImportMessage::Changed, shape.offset, "a subpath beyond the float range: not imported");
                continue;
            }
            double strays = 0;
            if (!own)
                points = fitCurve(line.points, line.corners, line.loop, fitTolerance * kFitShare, 0, &strays);
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
