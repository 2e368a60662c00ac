// The SVG drawing's tree walked for what it draws: layers become levels,
// `use` places what it points at, hidden and foreign elements draw nothing,
// and every visible shape becomes subpaths with their transform. The walk
// keeps a work list, never recursion, so a deep drawing can't overflow the
// stack, and bounds what any drawing can make it do.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "SvgStyle.h"
#include "SvgValues.h"
#include "XmlTree.h"
#include "formats/Import.h"

class Vec3;

// What one drawing may make at most: beyond it the rest is not read.
constexpr size_t kMostSegments = 500000;
constexpr size_t kMostElements = 1000000;
// Elements drawn again by `use`, all uses together.
constexpr size_t kMostUsedElements = 100000;
constexpr int kMostUseNesting = 32;
// Style rules tested against elements, all elements together.
constexpr size_t kMostStyleTests = 20000000;
// Empty curves an export's ids may open before their curves, all levels together.
constexpr size_t kMostEmptyCurves = 10000;

struct Shape {
    std::vector<Subpath> subpaths;
    Affine transform;
    size_t level;
    size_t offset;
    long curve;  // from an id "levelL-curveC" as the exporter names paths, or -1
    // Per subpath: the export's own points, its segments then let go; empty
    // for a subpath to fit.
    std::vector<std::vector<Vec3>> exact;
    // The id places the curve: the path came from the export.
    bool fromExport() const;
};

// A viewport's size in user units: what percentages are taken of.
struct Viewport {
    double width, height;
};

class SvgWalk {
public:
    // `root`: the drawing's own viewport, what vw and vh are taken of.
    SvgWalk(const XmlTree& tree, Imported& imported, const Affine& view, const Viewport& root);

    std::vector<Shape> shapes;
    std::vector<size_t> levelOffsets;  // one per level, in level order

    void run();

private:
    // A place of the tree still to walk, with what it inherits.
    struct Visit {
        size_t element;
        Affine transform;
        bool hidden;  // visibility:hidden inherited (display:none is never walked)
        int useNesting;
        size_t uses;  // the chain of targets `use` is drawing here, or kNoUse
        Viewport viewport;
        // The size a use gives the symbol or svg it draws; NaN where it gives none.
        double useWidth = NAN, useHeight = NAN;
    };
    // An element's own display, visibility and transform, read once.
    struct Traits {
        bool read = false;
        bool none = false;     // display:none
        char visibility = 0;   // 0 inherited, 'v' visible, 'h' hidden
        Affine transform;
    };
    struct UseLink {
        size_t target;
        size_t up;  // the link of the use drawing this one, or kNoUse
    };
    static constexpr size_t kNoUse = SIZE_MAX;

    const XmlTree& tree;
    Imported& imported;
    const Affine view;  // the drawing into level units
    const Viewport root;
    XmlSpace svgSpace;  // the root's: SVG's, or none in a drawing without namespaces
    std::map<std::string, size_t> ids;
    StyleSheet sheet;
    size_t styleTests = kMostStyleTests;  // left to make
    std::vector<Traits> traits;
    std::vector<UseLink> links;
    size_t segments = 0;
    size_t visited = 0;
    size_t used = 0;
    bool stopped = false;
    size_t currentLevel = 0;
    bool plainLayers = false;  // the drawing's layers are groups with the export's ids

    const XmlElement& at(size_t element) const { return tree.elements[element]; }
    void readStyleSheet(const XmlElement& style);
    const Traits& traitsOf(size_t element);
    bool isSvg(const XmlElement& element) const { return element.space == svgSpace; }
    bool isInkscapeLayer(const XmlElement& element) const;
    bool isLayer(const XmlElement& element) const;
    bool levelNamed(const XmlElement& layer, long& n) const;
    std::string layerName(const XmlElement& layer) const;
    void collectLayers(std::vector<size_t>& order, std::map<size_t, size_t>& levelOfLayer);
    void visit(const Visit& place, std::vector<Visit>& work);
    double length(const XmlElement& element, const char* name, const Viewport& viewport, double fallback) const;
    bool viewportOf(const Visit& place, const Affine& transform, Affine& inner, Viewport& inside) const;
    void visitChildren(const Visit& place, const Affine& inner, const Viewport& inside, bool hidden,
                       std::vector<Visit>& work);
    void visitUse(const Visit& place, const Affine& transform, bool hidden, std::vector<Visit>& work);
    bool drawsItself(const Visit& place, size_t target) const;
    void addShape(const Visit& place, const Affine& transform, const std::string& name);
};

