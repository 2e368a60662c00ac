#include "SvgWalk.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "DenseLine.h"
#include "Vec3.h"

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

std::string trimmed(std::string_view text)
{
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return "";
    return std::string(text.substr(start, text.find_last_not_of(" \t\r\n") + 1 - start));
}

// A property from the style attribute, else from its presentation attribute.
std::string property(const XmlElement& element, const char* name)
{
    const std::string_view style = element.value("style");
    for (size_t start = 0; start < style.size();) {
        const size_t end = std::min(style.find(';', start), style.size());
        const std::string_view declaration = style.substr(start, end - start);
        const size_t colon = declaration.find(':');
        if (colon != std::string_view::npos && trimmed(declaration.substr(0, colon)) == name)
            return trimmed(declaration.substr(colon + 1));
        start = end + 1;
    }
    return element.value(name);
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

double number(const XmlElement& element, const char* name, double fallback = 0)
{
    double value = fallback;
    const std::string* const attribute = element.find(name);
    if (attribute && !parseLength(*attribute, value))
        value = fallback;
    return value;
}

std::string formatted(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Basic shapes as the path data they stand for.
std::string shapePathData(const XmlElement& element, const std::string& name)
{
    const auto f = formatted;
    const auto n = [&element](const char* attribute, double fallback = 0) {
        return number(element, attribute, fallback);
    };
    if (name == "line")
        return "M" + f(n("x1")) + " " + f(n("y1")) + "L" + f(n("x2")) + " " + f(n("y2"));
    if (name == "circle" || name == "ellipse") {
        const double cx = n("cx"), cy = n("cy");
        const double rx = name == "circle" ? n("r") : n("rx");
        const double ry = name == "circle" ? rx : n("ry");
        if (!(rx > 0 && ry > 0))
            return "";
        const std::string arc = "A" + f(rx) + " " + f(ry) + " 0 0 1 ";
        return "M" + f(cx + rx) + " " + f(cy) + arc + f(cx) + " " + f(cy + ry) + arc + f(cx - rx) + " " + f(cy) +
               arc + f(cx) + " " + f(cy - ry) + arc + f(cx + rx) + " " + f(cy) + "Z";
    }
    // A rect, its corners rounded by rx and ry (one stands for both).
    const double x = n("x"), y = n("y"), w = n("width"), h = n("height");
    if (!(w > 0 && h > 0))
        return "";
    double rx = n("rx", -1), ry = n("ry", -1);
    rx = rx < 0 ? ry : rx;
    ry = ry < 0 ? rx : ry;
    rx = std::clamp(rx, 0.0, w / 2);
    ry = std::clamp(ry, 0.0, h / 2);
    const std::string arc = "A" + f(rx) + " " + f(ry) + " 0 0 1 ";
    return "M" + f(x + rx) + " " + f(y) + "H" + f(x + w - rx) + arc + f(x + w) + " " + f(y + ry) + "V" +
           f(y + h - ry) + arc + f(x + w - rx) + " " + f(y + h) + "H" + f(x + rx) + arc + f(x) + " " +
           f(y + h - ry) + "V" + f(y + ry) + arc + f(x + rx) + " " + f(y) + "Z";
}

std::string pointsPathData(const XmlElement& element, bool polygon, ParseError& error)
{
    const std::vector<double> numbers = parseNumberList(element.value("points"), error);
    std::string data;
    for (size_t k = 0; k + 1 < numbers.size(); k += 2)
        data += (k == 0 ? "M" : "L") + formatted(numbers[k]) + " " + formatted(numbers[k + 1]);
    return data.empty() || !polygon ? data : data + "Z";
}

Affine translation(double x, double y) { return Affine{1, 0, 0, 1, x, y}; }

}  // namespace

std::string excerpt(const std::string& value)
{
    const size_t most = 40;
    if (value.size() <= most)
        return value;
    size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a UTF-8 character
    return value.substr(0, cut) + "...";
}

bool Shape::fromExport() const
{
    return curve >= 0 && std::none_of(exact.begin(), exact.end(), [](const auto& points) { return points.empty(); });
}

SvgWalk::SvgWalk(const XmlTree& tree, Imported& imported, const Affine& view)
    : tree(tree), imported(imported), view(view), svgSpace(tree.elements[0].space), traits(tree.elements.size())
{
    for (size_t k = 0; k < tree.elements.size(); ++k)
        if (const std::string* const id = at(k).find("id"))
            ids.emplace(*id, k);
}

const SvgWalk::Traits& SvgWalk::traitsOf(size_t element)
{
    Traits& own = traits[element];
    if (own.read)
        return own;
    own.read = true;
    const XmlElement& e = at(element);
    own.none = property(e, "display") == "none";
    const std::string visibility = property(e, "visibility");
    own.visibility = visibility.empty() || visibility == "inherit" ? 0 : visibility == "visible" ? 'v' : 'h';
    ParseError error;
    if (const std::string* const transform = e.find("transform"))
        if (!parseTransform(*transform, own.transform, error)) {
            imported.say(ImportMessage::Changed, e.offset, "transform not understood (" + error.what + "): ignored");
            own.transform = Affine();
        }
    return own;
}

bool SvgWalk::isLayer(const XmlElement& element) const
{
    return isSvg(element) && element.name == "g" &&
           std::string(element.value("groupmode", XmlSpace::Inkscape)) == "layer";
}

// Top-level layers are the levels; the document order, or their "Level N"
// labels when every layer has one. Hidden layers are said and left out.
void SvgWalk::collectLayers(std::vector<size_t>& order, std::map<size_t, size_t>& levelOfLayer)
{
    std::vector<size_t> layers;
    std::vector<long> labels;
    for (const size_t child : at(0).children) {
        if (!isLayer(at(child)))
            continue;
        layers.push_back(child);
        long n = -1;
        char tail = 0;
        if (std::sscanf(at(child).value("label", XmlSpace::Inkscape), "Level %ld%c", &n, &tail) == 1 && n >= 0)
            labels.push_back(n);
    }
    order = layers;
    if (labels.size() == layers.size()) {
        std::vector<size_t> byLabel(layers.size());
        for (size_t k = 0; k < byLabel.size(); ++k)
            byLabel[k] = k;
        std::stable_sort(byLabel.begin(), byLabel.end(), [&labels](size_t a, size_t b) { return labels[a] < labels[b]; });
        for (size_t k = 0; k < byLabel.size(); ++k)
            order[k] = layers[byLabel[k]];
    }
    for (const size_t layer : order) {
        if (traitsOf(layer).none) {
            imported.say(ImportMessage::Note, at(layer).offset,
                         "hidden layer \"" + excerpt(at(layer).value("label", XmlSpace::Inkscape)) +
                             "\": not imported");
            continue;
        }
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
            imported.say(ImportMessage::Note, at(child).offset,
                         "<" + at(child).name + "> outside every layer: joins level " + std::to_string(level));
        currentLevel = level;
        work.push_back(Visit{child, rootTransform, false, 0, kNoUse});
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
        imported.say(ImportMessage::Changed, element.offset, "more elements than an import reads: the rest is not read");
        stopped = true;
        return;
    }
    const std::string& name = element.name;
    if (!isSvg(element)) {
        if (drawable(name))
            imported.say(ImportMessage::Note, element.offset, "<" + name + "> is not in the SVG namespace: not imported");
        return;
    }
    if (place.useNesting > 0 && ++used > kMostUsedElements) {
        if (used == kMostUsedElements + 1)
            imported.say(ImportMessage::Changed, element.offset,
                         "<use> draws more than " + std::to_string(kMostUsedElements) +
                             " elements in all: the rest of what it places is not drawn");
        return;
    }
    const Traits& own = traitsOf(place.element);
    if (own.none) {
        imported.say(ImportMessage::Note, element.offset, "<" + name + "> hidden (display:none): not imported");
        return;
    }
    const bool hidden = own.visibility == 0 ? place.hidden : own.visibility == 'h';
    const Affine transform = compose(place.transform, own.transform);
    if (drawable(name) && transform.a * transform.d - transform.b * transform.c == 0) {
        imported.say(ImportMessage::Changed, element.offset,
                     "<" + name + "> is drawn at a size of zero (its transform): not imported");
        return;
    }
    // A symbol is drawn only where a <use> places it.
    if (isContainer(name) || (name == "symbol" && place.useNesting > 0)) {
        const Affine inner =
            name == "svg" ? compose(transform, translation(number(element, "x"), number(element, "y"))) : transform;
        visitChildren(place, inner, hidden, work);
    } else if (name == "use") {
        visitUse(place, transform, hidden, work);
    } else if (isShape(name)) {
        if (hidden)
            imported.say(ImportMessage::Note, element.offset, "<" + name + "> hidden (visibility): not imported");
        else
            addShape(Visit{place.element, transform, hidden, place.useNesting, place.uses}, name);
    } else if (name == "text" || name == "image" || name == "foreignObject") {
        imported.say(ImportMessage::Changed, element.offset,
                     "<" + name + "> is not a shape: not imported (a drawing program can convert text to paths)");
    }
}

// Children go on the work list last first, so they are walked in order; a
// switch draws only its first child SVG can draw.
void SvgWalk::visitChildren(const Visit& place, const Affine& inner, bool hidden, std::vector<Visit>& work)
{
    const XmlElement& element = at(place.element);
    std::vector<Visit> children;
    for (const size_t child : element.children) {
        if (element.name == "switch" && (!isSvg(at(child)) || at(child).find("requiredExtensions")))
            continue;
        children.push_back(Visit{child, inner, hidden, place.useNesting, place.uses});
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
        imported.say(ImportMessage::Changed, element.offset,
                     "<use> of \"" + excerpt(reference) + "\", which isn't here: ignored");
    } else if (drawsItself(place, target->second)) {
        imported.say(ImportMessage::Changed, element.offset,
                     "<use> of \"" + excerpt(reference) + "\" draws itself: nothing drawn");
    } else if (place.useNesting >= kMostUseNesting) {
        imported.say(ImportMessage::Changed, element.offset,
                     "<use> nested more than " + std::to_string(kMostUseNesting) + " deep: ignored");
    } else {
        links.push_back(UseLink{target->second, place.uses});
        work.push_back(Visit{target->second,
                             compose(transform, translation(number(element, "x"), number(element, "y"))), hidden,
                             place.useNesting + 1, links.size() - 1});
    }
}

void SvgWalk::addShape(const Visit& place, const std::string& name)
{
    const XmlElement& element = at(place.element);
    ParseError error;
    // A path's data is read where the document holds it: an export's paths
    // are most of its bytes.
    std::string made;
    if (name == "polyline" || name == "polygon")
        made = pointsPathData(element, name == "polygon", error);
    else if (name != "path")
        made = shapePathData(element, name);
    const std::string_view data = name == "path" ? std::string_view(element.value("d")) : made;
    if (!error.what.empty())
        imported.say(ImportMessage::Changed, element.offset,
                     "points of <" + name + "> stop at character " + std::to_string(error.offset + 1) + " (" +
                         error.what + "): the points before are kept");
    error = ParseError();
    Shape shape{parsePathData(data, kMostSegments - segments, error), place.transform, currentLevel, element.offset,
                curveNamedBy(element), {}};
    if (data.empty() && name != "path")
        imported.say(ImportMessage::Changed, element.offset,
                     "<" + name + "> draws nothing (a size of 0 or unreadable): not imported");
    if (!error.what.empty() && name == "path")
        imported.say(ImportMessage::Changed, element.offset,
                     "path data stops at character " + std::to_string(error.offset + 1) + " (" + error.what +
                         "): what came before is kept");
    for (const Subpath& subpath : shape.subpaths)
        segments += subpath.segments.size();
    if (segments >= kMostSegments) {
        imported.say(ImportMessage::Changed, element.offset, "more path segments than an import reads: the rest is not read");
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
