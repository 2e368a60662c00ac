// SVG drawings as drawing programs write them: layers are levels, every
// visible shape's subpaths are curves, fitted within the tolerance.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SvgValues.h"
#include "SvgWalk.h"
#include "XmlTree.h"
#include "core/CurveFit.h"
#include "formats/DenseLine.h"
#include "formats/Import.h"

// Points of all curves beyond their segments' ends, flattened at the asked
// tolerance; beyond, the flattening coarsens, so that no drawing is fitted
// for long. The fuzzer lowers it to stay quick.
#ifndef OMBREL_IMPORT_MOST_SAMPLES
#define OMBREL_IMPORT_MOST_SAMPLES 1000000
#endif

namespace {

const size_t kMostSamples = OMBREL_IMPORT_MOST_SAMPLES;
// The fit is measured against the chords of the flattened path, which stray
// from it by up to the flatness; a little more is left for the exact
// Béziers of the export, which stray from the editor's ten chords.
const double kFlatShare = 1.0 / 16;
const double kFitShare = 1 - kFlatShare - 0.05;
// Float steps a fit must allow at the drawing's farthest point: rounding
// moves each control point by up to half a step, the curve by more.
const double kFloatSteps = 4;

// ---------------------------------------------------------------- level units

// A box of the drawing (x, y, width, height) onto the -5..5 square, aspect
// kept, centred, y up.
Affine ontoTheSquare(const double* box)
{
    const double scale = 10.0 / std::max(box[2], box[3]);
    return Affine{scale, 0, 0, -scale, -(box[0] + box[2] / 2) * scale, (box[1] + box[3] / 2) * scale};
}

enum class Placed { BySize, Unsized, DrawsNothing };

// The drawing's viewport (its width and height) onto the square, its viewBox
// placed in it as its preserveAspectRatio says; without a size, the viewBox
// itself onto the square. `viewport`: what its percentages are taken of. A
// viewBox of width or height zero draws nothing, as the standard says.
Placed viewOf(const XmlElement& root, Affine& view, Viewport& viewport, Imported& imported)
{
    ParseError error;
    const std::vector<double> box = parseNumberList(root.value("viewBox"), error);
    if (box.size() == 4 && (box[2] == 0 || box[3] == 0))
        return Placed::DrawsNothing;
    const bool boxed = box.size() == 4 && box[2] > 0 && box[3] > 0;
    double width = 0, height = 0;
    const bool sized = parseLength(root.value("width"), width) && parseLength(root.value("height"), height) &&
                       width > 0 && height > 0;
    if (!boxed && root.find("viewBox"))
        imported.say(Severity::Warning, root.offset,
                     std::string("viewBox not understood: ") + (sized ? "width and height are used" : "ignored"));
    if (!boxed && !sized)
        return Placed::Unsized;
    const double size[] = {0, 0, width, height};
    view = ontoTheSquare(boxed ? box.data() : size);
    viewport = boxed ? Viewport{box[2], box[3]} : Viewport{width, height};
    if (boxed && sized) {
        AspectRatio ratio;
        parseAspectRatio(root.value("preserveAspectRatio"), ratio);
        view = compose(ontoTheSquare(size), viewBoxTransform(box.data(), ratio, width, height));
    }
    return Placed::BySize;
}

// The box (x, y, width, height) of what the shapes draw, after their
// transforms, from points along every segment, as close as a placement
// needs; false when they draw nothing finite.
bool drawnBox(const std::vector<Shape>& shapes, double* box)
{
    double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
    const auto take = [&](Point2 p) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
            lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
        }
    };
    const int steps = 64;
    for (const Shape& shape : shapes)
        for (const Subpath& subpath : shape.subpaths) {
            take(apply(shape.transform, subpath.start));
            for (const PathSegment& segment : subpath.segments)
                for (int k = 1; k <= steps; ++k)
                    take(apply(shape.transform, pointAt(segment, static_cast<double>(k) / steps)));
        }
    if (!(lo[0] <= hi[0]))
        return false;
    // A lone point, or a line along an axis, still has a scale.
    const double side = std::max(hi[0] - lo[0], hi[1] - lo[1]);
    const double least = side > 0 ? 0 : 1;
    box[0] = lo[0] - least / 2, box[1] = lo[1] - least / 2;
    box[2] = hi[0] - lo[0] + least, box[3] = hi[1] - lo[1] + least;
    return std::isfinite(box[2]) && std::isfinite(box[3]);
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
        imported.say(Severity::Warning, 0,
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
        imported.say(Severity::Warning, 0,
                     "the drawing's paths are too long to fit within " + brief(floored) + ": fitted within " +
                         brief(flat.tolerance));
    return flat;
}

// The control points of a shape's subpath: the export's own, or fitted to
// the subpath flattened; false, and said, when it can't be.
bool pointsOf(Shape& shape, size_t i, const Affine& view, const Flattening& flat, DenseLine& line,
              std::vector<Vec3>& points, double& strays, Imported& imported)
{
    if (!shape.exact[i].empty()) {
        points.swap(shape.exact[i]);
        return true;
    }
    if (!denseLine(shape.subpaths[i], compose(view, shape.transform), flat, line)) {
        imported.say(Severity::Warning, shape.offset, "a subpath beyond the float range: not imported");
        return false;
    }
    points = fitCurve(line.points, line.corners, line.loop, flat.tolerance * kFitShare, 0, &strays);
    return true;
}

// The export keeps an empty curve's place by the ids of the curves after it;
// the empty curves come back, as many as an import fills in.
void placeByItsId(const Shape& shape, std::vector<ImportedCurve>& curves, size_t& emptyCurves, Imported& imported)
{
    const size_t wanted = static_cast<size_t>(shape.curve);
    if (wanted <= curves.size())
        return;
    if (wanted - curves.size() > kMostEmptyCurves - emptyCurves) {
        imported.say(Severity::Warning, shape.offset,
                     "level " + std::to_string(shape.level) + ", curve " + std::to_string(curves.size()) +
                         ": its id asks for " + std::to_string(wanted - curves.size()) +
                         " empty curves before it, more than an import fills in (" +
                         std::to_string(kMostEmptyCurves) + " in all): placed next");
        return;
    }
    emptyCurves += wanted - curves.size();
    curves.resize(wanted, ImportedCurve{{}, shape.offset});
}

}  // namespace

void importSvg(std::string_view text, double tolerance, Imported& imported)
{
    XmlTree tree;
    tree.most = kMostElements;
    if (!parseXml(text, tree)) {
        imported.refuse(tree.errorOffset, "not XML: " + tree.error);
        return;
    }
    const XmlElement& root = tree.elements[0];
    if (root.name != "svg" || (root.space != XmlSpace::Svg && root.space != XmlSpace::None)) {
        imported.refuse(root.offset, "not an SVG drawing: the root element is <" + root.name + ">" +
                                         (root.name == "svg" ? " of another namespace" : ""));
        return;
    }
    Affine view;
    Viewport viewport{NAN, NAN};
    const Placed placed = viewOf(root, view, viewport, imported);
    std::vector<ImportedLevel> levels;
    if (placed == Placed::DrawsNothing) {
        imported.say(Severity::Warning, root.offset, "the viewBox has a width or a height of zero: it draws nothing");
        buildLevels(levels, text.size(), imported);
        return;
    }
    if (placed == Placed::Unsized) {
        // Walked once unplaced, for the box of what it draws; its messages
        // come from the walk that counts.
        Imported unsaid;
        SvgWalk first(tree, unsaid, Affine(), viewport);
        first.run();
        double box[4];
        if (!drawnBox(first.shapes, box)) {
            imported.say(Severity::Warning, root.offset, "the drawing has no size, and draws nothing to place it by");
            buildLevels(levels, text.size(), imported);
            return;
        }
        view = ontoTheSquare(box);
        imported.say(Severity::Note, root.offset,
                     "the drawing has no size: placed by what it draws, " + brief(box[2]) + " by " + brief(box[3]) +
                         " from (" + brief(box[0]) + ", " + brief(box[1]) + ")");
    }
    if (tree.dropped > 0)
        imported.say(Severity::Warning, text.size(),
                     "more than " + std::to_string(kMostElements) + " elements: the last " +
                         std::to_string(tree.dropped) + " are not read");
    // The export's own Béziers give their points; the rest are flattened by
    // the tolerance and fitted, unless that makes more points than an import
    // keeps: then flattened coarser, and fitted no finer.
    SvgWalk walk(tree, imported, view, viewport);
    walk.run();
    const Flattening flat = flatteningFor(walk.shapes, view, tolerance, imported);
    imported.tolerance = flat.tolerance;
    for (const size_t offset : walk.levelOffsets)
        levels.push_back(ImportedLevel{{}, offset});
    size_t emptyCurves = 0;
    DenseLine line;
    for (Shape& shape : walk.shapes) {
        const bool own = shape.fromExport();
        for (size_t i = 0; i < shape.subpaths.size(); ++i) {
            std::vector<Vec3> points;
            double strays = 0;
            if (!pointsOf(shape, i, view, flat, line, points, strays, imported))
                continue;
            std::vector<ImportedCurve>& curves = levels[shape.level].curves;
            if (own)
                placeByItsId(shape, curves, emptyCurves, imported);
            ImportedCurve curve{{}, shape.offset};
            for (const Vec3& p : points)
                curve.xy.insert(curve.xy.end(), p.pos, p.pos + 2);
            const std::string named = "level " + std::to_string(shape.level) + ", curve " + std::to_string(curves.size());
            imported.say(Severity::Note, shape.offset,
                         named + ": " + std::to_string(points.size()) + " control points" +
                             (own ? " (its own Catmull-Rom points)" : ""));
            if (strays > flat.tolerance) {
                ++imported.strays;
                imported.say(Severity::Warning, shape.offset,
                             named + ": no fit within " + brief(flat.tolerance) + " found: it strays up to " +
                                 brief(strays));
            }
            curves.push_back(std::move(curve));
        }
    }
    buildLevels(levels, text.size(), imported);
}
