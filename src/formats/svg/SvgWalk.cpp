#include "SvgWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string_view>
#include <utility>

#include "SvgLex.h"
#include "SvgShapes.h"
#include "core/Vec3.h"
#include "formats/DenseLine.h"

namespace {

// The exporter writes no path for an empty curve: its paths' ids keep the
// curves' places, so the empty curves between come back.
long curveNamedBy(const XmlElement& element)
{
    int level = 0, curve = -1;
    char tail = 0;
    return std::sscanf(element.value("id"), "level%d-curve%d%c", &level, &curve, &tail) == 2 && curve >= 0 ? curve
                                                                                                         : -1;
}

bool isShape(const std::string& name)
{
    return name == "path" || name == "rect" || name == "circle" || name == "ellipse" || name == "line" ||
           name == "polyline" || name == "polygon";
}

bool isContainer(const std::string& name)
{
    return name == "g" || name == "a" || name == "svg" || name == "switch";
}

bool drawable(const std::string& name) { return isShape(name) || isContainer(name) || name == "use"; }

Affine translation(double x, double y) { return Affine{1, 0, 0, 1, x, y}; }

// What a percentage of an attribute is taken of: the viewport's width for
// what runs across, its height for what runs down, else its normalised
// diagonal, as SVG says.
double percentBase(const std::string& name, double width, double height)
{
    if (name == "x" || name == "x1" || name == "x2" || name == "cx" || name == "rx" || name == "width")
        return width;
    if (name == "y" || name == "y1" || name == "y2" || name == "cy" || name == "ry" || name == "height")
        return height;
    return std::hypot(width, height) / std::sqrt(2.0);
}

}  // namespace

bool Shape::fromExport() const
{
    return curve >= 0 && std::none_of(exact.begin(), exact.end(), [](const auto& points) { return points.empty(); });
}

SvgWalk::SvgWalk(const XmlTree& tree, Imported& imported, const Affine& view, const Viewport& root)
    : tree(tree),
      imported(imported),
      view(view),
      root(root),
      svgSpace(tree.elements[0].space),
      traits(tree.elements.size())
{
    for (size_t k = 0; k < tree.elements.size(); ++k) {
        if (const std::string* const id = at(k).find("id"))
            ids.emplace(*id, k);
        if (isSvg(at(k)) && at(k).name == "style")
            readStyleSheet(at(k));
    }
}

// A <style> element's sheet, of CSS (its type, when it has one); what the
// import passes over is said once, where it is first met.
void SvgWalk::readStyleSheet(const XmlElement& style)
{
    const std::string_view type = svg::trimmed(style.value("type"));
    if (!type.empty() && type != "text/css")
        return;
    const std::set<std::string> before = sheet.passedOver;
    parseStyleSheet(style.text, sheet);
    for (const std::string& notRead : sheet.passedOver)
        if (!before.count(notRead))
            imported.say(Severity::Note, style.offset, "style sheet: " + notRead);
}

const SvgWalk::Traits& SvgWalk::traitsOf(size_t element)
{
    Traits& own = traits[element];
    if (own.read)
        return own;
    own.read = true;
    const XmlElement& e = at(element);
    const size_t before = styleTests;
    const std::map<std::string, Cascaded> style = cascade(sheet, tree, element, styleTests);
    if (before > 0 && styleTests == 0)
        imported.say(Severity::Warning, e.offset,
                     "style sheet: more than " + std::to_string(kMostStyleTests) +
                         " tests of its rules against elements: from here on no rule is applied");
    static const Cascaded kNone{"", false};
    const auto valueOf = [&style](const char* property) -> const Cascaded& {
        const auto found = style.find(property);
        return found == style.end() ? kNone : found->second;
    };
    own.none = svg::trimmed(valueOf("display").value) == "none";
    const std::string_view visibility = svg::trimmed(valueOf("visibility").value);
    own.visibility = visibility.empty() || visibility == "inherit" ? 0 : visibility == "visible" ? 'v' : 'h';
    ParseError error;
    const bool css = valueOf("transform").fromCss;
    const std::string& transform = valueOf("transform").value;
    if (!(css ? parseCssTransform(transform, own.transform, error) : parseTransform(transform, own.transform, error))) {
        imported.say(Severity::Warning, e.offset, "transform not understood (" + error.what + "): ignored");
        own.transform = Affine();
    }
    return own;
}

bool SvgWalk::isInkscapeLayer(const XmlElement& element) const
{
    return isSvg(element) && element.name == "g" &&
           std::string(element.value("groupmode", XmlSpace::Inkscape)) == "layer";
}

bool SvgWalk::isLayer(const XmlElement& element) const
{
    long n = 0;
    return isInkscapeLayer(element) ||
           (plainLayers && isSvg(element) && element.name == "g" && element.parent == 0 && levelNamed(element, n));
}

// A layer's level number: its label "Level N", or in a drawing saved as
// plain SVG (which drops the layers' marks) the export's id "levelN".
bool SvgWalk::levelNamed(const XmlElement& layer, long& n) const
{
    char tail = 0;
    n = -1;
    return (plainLayers ? std::sscanf(layer.value("id"), "level%ld%c", &n, &tail)
                        : std::sscanf(layer.value("label", XmlSpace::Inkscape), "Level %ld%c", &n, &tail)) == 1 &&
           n >= 0;
}

// How a layer is named in messages.
std::string SvgWalk::layerName(const XmlElement& layer) const
{
    return plainLayers ? "group \"" + excerpt(layer.value("id")) + "\""
                       : "layer \"" + excerpt(layer.value("label", XmlSpace::Inkscape)) + "\"";
}

// Top-level layers are the levels; the document order, or their level
// numbers when every layer has one. Hidden layers are said and left out;
// so is a numbered layer that becomes another level.
void SvgWalk::collectLayers(std::vector<size_t>& order, std::map<size_t, size_t>& levelOfLayer)
{
    long n = 0;
    plainLayers = std::none_of(at(0).children.begin(), at(0).children.end(),
                               [this](size_t k) { return isInkscapeLayer(at(k)); });
    plainLayers = plainLayers && std::any_of(at(0).children.begin(), at(0).children.end(), [&](size_t k) {
        return isSvg(at(k)) && at(k).name == "g" && levelNamed(at(k), n);
    });
    std::vector<size_t> layers;
    std::vector<long> labels;
    for (const size_t child : at(0).children) {
        if (!isLayer(at(child)))
            continue;
        layers.push_back(child);
        if (levelNamed(at(child), n))
            labels.push_back(n);
    }
    order = layers;
    const bool numbered = labels.size() == layers.size();
    if (numbered) {
        std::vector<size_t> byLabel(layers.size());
        for (size_t k = 0; k < byLabel.size(); ++k)
            byLabel[k] = k;
        std::stable_sort(byLabel.begin(), byLabel.end(), [&labels](size_t a, size_t b) { return labels[a] < labels[b]; });
        for (size_t k = 0; k < byLabel.size(); ++k)
            order[k] = layers[byLabel[k]];
    }
    for (const size_t layer : order) {
        if (traitsOf(layer).none) {
            imported.say(Severity::Note, at(layer).offset, "hidden " + layerName(at(layer)) + ": not imported");
            continue;
        }
        if (numbered && levelNamed(at(layer), n) && n != static_cast<long>(levelOffsets.size()))
            imported.say(Severity::Note, at(layer).offset,
                         layerName(at(layer)) + " is level " + std::to_string(levelOffsets.size()) +
                             ": a level file has no empty levels");
        levelOfLayer[layer] = levelOffsets.size();
        levelOffsets.push_back(at(layer).offset);
    }
}

void SvgWalk::run()
{
    std::vector<size_t> layers;
    std::map<size_t, size_t> levelOfLayer;  // a layer's element to its level
    collectLayers(layers, levelOfLayer);
    if (levelOffsets.empty())
        levelOffsets.push_back(at(0).offset);
    const Affine rootTransform = traitsOf(0).transform;
    size_t level = 0;
    std::vector<Visit> work;
    for (const size_t child : at(0).children) {
        const auto found = levelOfLayer.find(child);
        if (isLayer(at(child)) && found == levelOfLayer.end())
            continue;  // hidden
        if (found != levelOfLayer.end())
            level = found->second;
        else if (!layers.empty() && isSvg(at(child)) && drawable(at(child).name))
            imported.say(Severity::Note, at(child).offset,
                         "<" + at(child).name + "> outside every layer: joins level " + std::to_string(level));
        currentLevel = level;
        work.push_back(Visit{child, rootTransform, false, 0, kNoUse, root});
        while (!work.empty() && !stopped) {
            const Visit place = work.back();
            work.pop_back();
            visit(place, work);
        }
        work.clear();
    }
}

void SvgWalk::visit(const Visit& place, std::vector<Visit>& work)
{
    const XmlElement& element = at(place.element);
    if (++visited > kMostElements) {
        imported.say(Severity::Warning, element.offset, "more elements than an import reads: the rest is not read");
        stopped = true;
        return;
    }
    const std::string& name = element.name;
    if (!isSvg(element)) {
        if (element.space == XmlSpace::XInclude && name == "include")
            imported.say(Severity::Warning, element.offset,
                         "<xi:include> is not followed: what it includes is not imported");
        else if (drawable(name))
            imported.say(Severity::Note, element.offset, "<" + name + "> is not in the SVG namespace: not imported");
        return;
    }
    if (place.useNesting > 0 && ++used > kMostUsedElements) {
        if (used == kMostUsedElements + 1)
            imported.say(Severity::Warning, element.offset,
                         "<use> draws more than " + std::to_string(kMostUsedElements) +
                             " elements in all: the rest of what it places is not drawn");
        return;
    }
    const Traits& own = traitsOf(place.element);
    if (own.none) {
        imported.say(Severity::Note, element.offset, "<" + name + "> hidden (display:none): not imported");
        return;
    }
    const bool hidden = own.visibility == 0 ? place.hidden : own.visibility == 'h';
    const Affine transform = compose(place.transform, own.transform);
    if (drawable(name) && transform.a * transform.d - transform.b * transform.c == 0) {
        imported.say(Severity::Warning, element.offset,
                     "<" + name + "> is drawn at a size of zero (its transform): not imported");
        return;
    }
    // A symbol is drawn only where a <use> places it.
    if (name == "svg" || (name == "symbol" && place.useNesting > 0)) {
        Affine inner;
        Viewport inside;
        if (viewportOf(place, transform, inner, inside))
            visitChildren(place, inner, inside, hidden, work);
        else
            imported.say(Severity::Warning, element.offset,
                         "<" + name + "> has a size or a viewBox of zero: nothing in it is drawn");
    } else if (isContainer(name)) {
        visitChildren(place, transform, place.viewport, hidden, work);
    } else if (name == "use") {
        visitUse(place, transform, hidden, work);
    } else if (isShape(name)) {
        if (hidden)
            imported.say(Severity::Note, element.offset, "<" + name + "> hidden (visibility): not imported");
        else
            addShape(place, transform, name);
    } else if (name == "text") {
        imported.say(Severity::Warning, element.offset,
                     "<text> is not a shape: not imported (a drawing program can convert text to paths)");
    } else if (name == "image" || name == "foreignObject") {
        imported.say(Severity::Warning, element.offset,
                     "<" + name + "> is " + (name == "image" ? "a picture" : "content of another kind") +
                         ", not a shape: not imported");
    }
}

double SvgWalk::length(const XmlElement& element, const char* name, const Viewport& viewport, double fallback) const
{
    LengthBase base;
    base.percent = percentBase(name, viewport.width, viewport.height);
    base.viewportWidth = root.width;
    base.viewportHeight = root.height;
    double value = fallback;
    const std::string* const given = element.find(name);
    if (given && !parseLength(*given, value, base))
        value = fallback;
    return value;
}

// A nested svg, or a symbol or svg a use draws, establishes a viewport: its
// size is the use's where the use gives one, else its own width and height,
// else all of the viewport around it; its viewBox is placed in it as its
// preserveAspectRatio says. False when it is of size zero: it draws nothing.
bool SvgWalk::viewportOf(const Visit& place, const Affine& transform, Affine& inner, Viewport& inside) const
{
    const XmlElement& element = at(place.element);
    const Viewport& around = place.viewport;
    const double width = std::isnan(place.useWidth) ? length(element, "width", around, around.width) : place.useWidth;
    const double height =
        std::isnan(place.useHeight) ? length(element, "height", around, around.height) : place.useHeight;
    ParseError error;
    const std::vector<double> box = parseNumberList(element.value("viewBox"), error);
    const bool boxed = box.size() == 4;
    if (!(width > 0 && height > 0) || (boxed && !(box[2] > 0 && box[3] > 0)))
        return false;
    inner = element.name == "svg"
                ? compose(transform, translation(length(element, "x", around, 0), length(element, "y", around, 0)))
                : transform;
    inside = Viewport{width, height};
    if (boxed) {
        AspectRatio ratio;
        parseAspectRatio(element.value("preserveAspectRatio"), ratio);
        inner = compose(inner, viewBoxTransform(box.data(), ratio, width, height));
        inside = Viewport{box[2], box[3]};
    }
    return true;
}

// Children go on the work list last first, so they are walked in order; a
// switch draws only its first child SVG can draw.
void SvgWalk::visitChildren(const Visit& place, const Affine& inner, const Viewport& inside, bool hidden,
                            std::vector<Visit>& work)
{
    const XmlElement& element = at(place.element);
    std::vector<Visit> children;
    for (const size_t child : element.children) {
        if (element.name == "switch" && (!isSvg(at(child)) || at(child).find("requiredExtensions")))
            continue;
        children.push_back(Visit{child, inner, hidden, place.useNesting, place.uses, inside});
        if (element.name == "switch")
            break;
    }
    work.insert(work.end(), children.rbegin(), children.rend());
}

// A use that draws what holds it, in the document or through other uses,
// would draw without end: the standard calls it an error.
bool SvgWalk::drawsItself(const Visit& place, size_t target) const
{
    if (target <= place.element && place.element < at(target).end)
        return true;
    for (size_t link = place.uses; link != kNoUse; link = links[link].up)
        if (links[link].target == target)
            return true;
    return false;
}

void SvgWalk::visitUse(const Visit& place, const Affine& transform, bool hidden, std::vector<Visit>& work)
{
    const XmlElement& element = at(place.element);
    const std::string* href = element.find("href");
    if (!href)
        href = element.find("href", XmlSpace::XLink);
    const std::string reference = href ? *href : "";
    const auto target = reference.size() > 1 && reference[0] == '#' ? ids.find(reference.substr(1)) : ids.end();
    if (target == ids.end()) {
        imported.say(Severity::Warning, element.offset,
                     "<use> of \"" + excerpt(reference) + "\", which isn't here: ignored");
    } else if (drawsItself(place, target->second)) {
        imported.say(Severity::Warning, element.offset,
                     "<use> of \"" + excerpt(reference) + "\" draws itself: nothing drawn");
    } else if (place.useNesting >= kMostUseNesting) {
        imported.say(Severity::Warning, element.offset,
                     "<use> nested more than " + std::to_string(kMostUseNesting) + " deep: ignored");
    } else {
        links.push_back(UseLink{target->second, place.uses});
        const Viewport& around = place.viewport;
        Visit drawn{target->second,
                    compose(transform, translation(length(element, "x", around, 0), length(element, "y", around, 0))),
                    hidden, place.useNesting + 1, links.size() - 1, around};
        drawn.useWidth = length(element, "width", around, NAN);
        drawn.useHeight = length(element, "height", around, NAN);
        work.push_back(drawn);
    }
}

void SvgWalk::addShape(const Visit& place, const Affine& transform, const std::string& name)
{
    const XmlElement& element = at(place.element);
    const auto n = [&](const char* attribute, double fallback) {
        return length(element, attribute, place.viewport, fallback);
    };
    ParseError error;
    // A path's data is read where the document holds it (an export's paths
    // are most of its bytes); the other shapes are made as commands.
    Shape shape{{}, transform, currentLevel, element.offset, curveNamedBy(element), {}};
    if (name == "path") {
        shape.subpaths = parsePathData(element.value("d"), kMostSegments - segments, error);
        if (!error.what.empty())
            imported.say(Severity::Warning, element.offset,
                         "path data stops at character " + std::to_string(error.offset + 1) + " (" + error.what +
                             "): what came before is kept");
    } else {
        bool odd = false;
        const std::vector<PathCommand> commands = name == "polyline" || name == "polygon"
                                                      ? pointCommands(element, name == "polygon", error, odd)
                                                      : shapeCommands(element, name, n);
        if (!error.what.empty())
            imported.say(Severity::Warning, element.offset,
                         "points of <" + name + "> stop at character " + std::to_string(error.offset + 1) + " (" +
                             error.what + "): the points before are kept");
        if (odd)
            imported.say(Severity::Warning, element.offset,
                         "points of <" + name + "> end with a coordinate that has no pair: it is dropped");
        if (commands.empty())
            imported.say(Severity::Warning, element.offset,
                         "<" + name + "> draws nothing (a size of 0 or unreadable): not imported");
        shape.subpaths = pathOf(commands, kMostSegments - segments);
    }
    for (const Subpath& subpath : shape.subpaths)
        segments += subpath.segments.size();
    if (segments >= kMostSegments) {
        imported.say(Severity::Warning, element.offset, "more path segments than an import reads: the rest is not read");
        stopped = true;
    }
    if (shape.subpaths.empty())
        return;
    // From the export, its subpaths' segments are let go: its points are all
    // it draws. Otherwise every subpath is fitted.
    shape.exact.resize(shape.subpaths.size());
    for (size_t i = 0; shape.curve >= 0 && i < shape.subpaths.size(); ++i)
        exportedPoints(shape.subpaths[i], compose(view, shape.transform), shape.exact[i]);
    const bool own = shape.fromExport();
    for (size_t i = 0; shape.curve >= 0 && i < shape.subpaths.size(); ++i) {
        if (own)
            std::vector<PathSegment>().swap(shape.subpaths[i].segments);
        else
            shape.exact[i].clear();
    }
    shapes.push_back(std::move(shape));
}
