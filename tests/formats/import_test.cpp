// The importers and the fit on the GL-free core: what the exporter writes
// comes back as exactly the levels it was written from, and a fitted line is
// drawn within the tolerance of its input, with few points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/CurveFit.h"
#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"
#include "formats/Export.h"
#include "formats/Import.h"
#include "formats/svg/SvgPath.h"

namespace {

// Chords enough a segment that they stray from the export's exact Béziers by
// a sixteenth of what the editor's ten do.
const int kExact = 40;

enum Writing { kLevelFile, kSvg, kJson };

std::string written(const std::vector<Splines*>& levels, Writing writing)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* const out = open_memstream(&text, &size);
    if (writing == kLevelFile)
        writeLevels(out, levels);
    else
        (writing == kSvg ? exportSvg : exportJson)(out, levels, ExportOptions());
    std::fclose(out);
    const std::string result(text, size);
    std::free(text);
    return result;
}

// A random layout as a level file: a few levels of a few curves (some empty,
// which a reload keeps only between curves with points), coordinates of
// four decimals mostly inside the square, some of them -0.
std::string randomLayout(std::mt19937& random)
{
    std::uniform_int_distribution<int> count(0, 6), coordinate(-60000, 60000);
    std::string text;
    for (int level = 0, levels = 1 + count(random) / 2; level < levels; ++level) {
        std::string structure, lines;
        int number = 0;
        for (int curve = 0, curves = 1 + count(random) / 2; curve < curves; ++curve) {
            structure += "( ";
            for (int k = count(random), first = k; k > 0; --k, ++number) {
                structure += std::to_string(number) + " ";
                char line[96];
                // A -0.0000 now and then, which a level file keeps; not at an
                // end, which an open curve's SVG holds only through a Bézier
                // handle, where -0 and 0 give the same.
                const auto value = [&] {
                    const int c = coordinate(random);
                    return c % 13 || k == first || k == 1 ? c / 10000.0 : -0.0;
                };
                std::snprintf(line, sizeof line, "%d %.4f %.4f %d\n", number, value(), value(), level);
                lines += line;
            }
            structure += ")";
        }
        text += structure + "\n" + lines + "\n";
    }
    return text;
}

// `export --json FILE | import` and `export --svg FILE | import` give
// exactly `format FILE`, closed loops and empty curves between included.
TEST(Import, ExportsComeBackAsFormatWritesThem)
{
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 2000; ++trial) {
        const std::string file = randomLayout(random);
        FILE* const in = fmemopen(const_cast<char*>(file.data()), file.size(), "r");
        LevelList read;
        readLevels(in, read.list);
        std::fclose(in);
        settleAsTheEditorDoes(read.list);
        const std::string formatted = written(read.list, kLevelFile);
        for (const bool svg : {false, true}) {
            const std::string document = written(read.list, svg ? kSvg : kJson);
            Imported imported;
            if (svg)
                importSvg(document, kDefaultTolerance, imported);
            else
                importJson(document, imported);
            ASSERT_EQ(imported.fatal.text, "") << document;
            ASSERT_EQ(written(imported.levels.list, kLevelFile), formatted) << (svg ? "SVG\n" : "JSON\n") << file;
        }
    }
}

std::vector<FitPoint> polyline(const std::vector<FitPoint>& corners, double spacing, std::vector<size_t>* joins)
{
    std::vector<FitPoint> line{corners[0]};
    for (size_t k = 1; k < corners.size(); ++k) {
        const FitPoint a = corners[k - 1], b = corners[k];
        const int pieces = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / spacing)));
        for (int piece = 1; piece <= pieces; ++piece)
            line.push_back(FitPoint{a.x + (b.x - a.x) * piece / pieces, a.y + (b.y - a.y) * piece / pieces});
        if (joins && k + 1 < corners.size())
            joins->push_back(line.size() - 1);
    }
    return line;
}

std::vector<FitPoint> traced(double (*x)(double), double (*y)(double), int samples)
{
    std::vector<FitPoint> line;
    for (int k = 0; k <= samples; ++k)
        line.push_back(FitPoint{x(static_cast<double>(k) / samples), y(static_cast<double>(k) / samples)});
    return line;
}

// Smooth lines, corners, a lone point and a line there and back all come out
// within the tolerance both ways, with about as many points as they need.
TEST(CurveFit, DrawnWithinTheToleranceWithFewPoints)
{
    const double tolerance = kDefaultTolerance, spacing = tolerance / 2;
    std::vector<size_t> squareCorners, zigzagCorners, turn, spike;
    const struct {
        const char* name;
        std::vector<FitPoint> line;
        std::vector<size_t> corners;
        bool closed;
        size_t most;  // control points
    } cases[] = {
        {"circle", traced([](double t) { return 3 * std::cos(2 * M_PI * t); },
                          [](double t) { return 3 * std::sin(2 * M_PI * t); }, 8000),
         {}, true, 30},
        {"sine", traced([](double t) { return -4 + 8 * t; }, [](double t) { return std::sin(24 * t - 12); }, 8000),
         {}, false, 200},
        {"square", polyline({{-2, -2}, {2, -2}, {2, 2}, {-2, 2}, {-2, -2}}, spacing, &squareCorners), squareCorners,
         true, 50},
        {"zigzag", polyline({{-4, 0}, {-3, 1}, {-2, 0}, {-1, 1}, {0, 0}}, spacing, &zigzagCorners), zigzagCorners,
         false, 40},
        {"straight", polyline({{-4, 0}, {4, 1}}, spacing, nullptr), {}, false, 4},
        {"there and back", polyline({{0, 0}, {1, 0}, {0, 0}}, spacing, &turn), turn, true, 2},
        {"one point", {{1, 1}, {1, 1}}, {}, false, 1},
        // An end at the place of the corner before it keeps what lies between.
        {"back to a corner", polyline({{0, 0}, {1, 0}, {1.5, 0.5}, {1.00001, 0}}, spacing, &spike),
         {spike.at(0)}, false, 20},
    };
    for (const auto& c : cases) {
        const std::vector<Vec3> points = fitCurve(c.line, c.corners, c.closed, tolerance, 0);
        const FitError error = fitError(c.line, points, 0);
        EXPECT_LE(error.inputToCurve, tolerance) << c.name;
        EXPECT_LE(error.curveToInput, tolerance) << c.name;
        EXPECT_LE(points.size(), c.most) << c.name;
        EXPECT_GE(points.size(), c.most / 3) << c.name;
    }
}

// Whether `n` points at equal steps along a loop hold the tolerance.
bool evenStepsHold(const std::vector<FitPoint>& loop, double tolerance, size_t n)
{
    std::vector<double> along{0};
    for (size_t k = 1; k < loop.size(); ++k)
        along.push_back(along.back() + std::hypot(loop[k].x - loop[k - 1].x, loop[k].y - loop[k - 1].y));
    std::vector<Vec3> through;
    for (size_t j = 0, k = 0; j < n; ++j) {
        while (along[k] < along.back() * j / n)
            ++k;
        through.emplace_back(loop[k].x, loop[k].y, 0.0f);
    }
    const FitError error = fitError(loop, loopCurvePoints(through), 0);
    return std::max(error.inputToCurve, error.curveToInput) <= tolerance;
}

// A line the fit can't hold, its points too far apart to place knots
// between: what it still strays is said, never hidden.
TEST(CurveFit, SaysHowFarALineItCantHoldStrays)
{
    const std::vector<FitPoint> corner{{0, 0}, {1, 0}, {1, 1}};
    double strays = 0;
    const std::vector<Vec3> points = fitCurve(corner, {}, false, 0.001, 0, &strays);
    const FitError error = fitError(corner, points, 0);
    EXPECT_GT(strays, 0.001);
    EXPECT_GE(strays, std::max(error.inputToCurve, error.curveToInput) - 1e-9);
    fitCurve(polyline({{-2, 0}, {2, 0}}, kDefaultTolerance / 2, nullptr), {}, false, kDefaultTolerance, 0, &strays);
    EXPECT_EQ(strays, 0);
    // Lines whose first knots all fall at one place: the fit still goes
    // through every point of them, or says how far it strays.
    const FitPoint a{2.5186, 2.5186};
    const std::vector<FitPoint> loop{a, a, a, a, {2.5186, 0}, {0, 0}, a, a, a, {2.5186, 0.1024}, {0, -0.3072}, a};
    const std::vector<FitPoint> open{a, {2.5186, 2.5076}, {2.5186, -1.0144}, a, a, a, {2.5186, 0}, {0, 0}, a};
    for (const bool closed : {false, true}) {
        const double tolerance = closed ? 0.0001 : 0.03;
        const std::vector<FitPoint>& line = closed ? loop : open;
        const std::vector<Vec3> points = fitCurve(line, {}, closed, tolerance, 0, &strays);
        const FitError error = fitError(line, points, 0);
        EXPECT_LE(std::max(error.inputToCurve, error.curveToInput), std::max(strays, tolerance) + 1e-9) << closed;
    }
}

// A path of a drawing in level units, sampled at most `step` apart: its
// viewBox, a square of `side` at (minx, miny), mapped onto the -5..5 square,
// y up.
std::vector<FitPoint> sampledPath(const std::string& d, double minx, double miny, double side, double step = 0.002)
{
    ParseError error;
    std::vector<FitPoint> line;
    const double scale = 10 / side;
    const auto level = [&](Point2 p) { return FitPoint{(p.x - minx - side / 2) * scale, -(p.y - miny - side / 2) * scale}; };
    for (const Subpath& subpath : parsePathData(d, 1000, error))
        for (const PathSegment& segment : subpath.segments) {
            double length = 0;
            for (int k = 1; k <= 64; ++k) {
                const FitPoint a = level(pointAt(segment, (k - 1) / 64.0)), b = level(pointAt(segment, k / 64.0));
                length += std::hypot(b.x - a.x, b.y - a.y);
            }
            const int pieces = std::max(64, static_cast<int>(std::ceil(length / step)));
            for (int k = 0; k <= pieces; ++k)
                line.push_back(level(pointAt(segment, static_cast<double>(k) / pieces)));
        }
    return line;
}

// Circles, ellipses and rounded rectangles, as arcs and as Béziers, turned,
// at the default tolerance and a coarse one: the import holds them with at
// most a tenth more points than the fewest evenly spaced ones that do.
TEST(SvgImport, SmoothLoopsTakeNoMorePointsThanEvenSteps)
{
    const char* const loops[] = {
        "M 3 0 A 3 3 0 1 0 -3 0 A 3 3 0 1 0 3 0 Z",
        "M 3.4641016 2 A 4 1.5 30 1 0 -3.4641016 -2 A 4 1.5 30 1 0 3.4641016 2 Z",
        "M -1 -1.5 H 1 A 1 1 0 0 1 2 -0.5 V 0.5 A 1 1 0 0 1 1 1.5 H -1 A 1 1 0 0 1 -2 0.5 V -0.5 "
        "A 1 1 0 0 1 -1 -1.5 Z",
        // The usual four Béziers of a circle of radius 3, turned by 17 degrees.
        "M 2.86891 0.877115 C 2.3845 2.46157 0.707342 3.35333 -0.877115 2.86891 C -2.46157 2.3845 -3.35333 0.707342 "
        "-2.86891 -0.877115 C -2.3845 -2.46157 -0.707342 -3.35333 0.877115 -2.86891 C 2.46157 -2.3845 3.35333 -0.707342 "
        "2.86891 0.877115 Z",
    };
    for (const char* d : loops)
        for (const double tolerance : {kDefaultTolerance, 0.01}) {
            Imported imported;
            importSvg(std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"-5 -5 10 10\"><path d=\"") + d +
                          "\"/></svg>",
                      tolerance, imported);
            ASSERT_EQ(imported.levels.list.size(), 1u) << d;
            const std::vector<Vec3>& points = imported.levels.list[0]->levelCurves[0].controlPoints;
            // Even steps whose loop a level file stores in a tenth fewer
            // points than the import's don't hold (a loop of n is n + 3).
            const size_t fewer = static_cast<size_t>(std::ceil(points.size() / 1.1)) - 4;
            EXPECT_FALSE(evenStepsHold(sampledPath(d, -5, -5, 10), tolerance, fewer))
                << d << " " << tolerance << ": " << points.size() << " points";
        }
}

// Loops that come back to their start (with or without Z, or a hair short
// of it), handles on end points beside corners and a single Bézier that is
// not the exporter's: each is one curve within the tolerance both ways, as
// drawn and exact.
TEST(SvgImport, LoopsCornersAndForeignBeziersAreFittedWithinTheTolerance)
{
    const struct {
        const char* name;
        double minx, miny, side, tolerance;
        const char* d;
    } cases[] = {
        {"Béziers back to their start", 0, 0, 16, kDefaultTolerance,
         "M 8 10 C 7.5 10 7 10.2 6.6 10.6 C 5.8 11.4 5.8 12.6 6.6 13.4 C 7.4 14.2 8.6 14.2 9.4 13.4 "
         "C 10.2 12.6 10.2 11.4 9.4 10.6 C 9 10.2 8.5 10 8 10"},
        {"two Béziers back to their start", 0, 0, 200, 0.01,
         "M 30 100 C 30 40 170 40 170 100 C 170 160 30 160 30 100"},
        {"closed a hair short of the start", 0, 0, 200, kDefaultTolerance,
         "M 30 100 C 30 40 170 40 170 100 C 170 160 30 160 30.00001 100 Z"},
        {"two arcs back to their start", 0, 0, 200, kDefaultTolerance,
         "M 30 100 A 70 70 0 0 1 170 100 A 70 70 0 0 1 30 100"},
        {"handles on end points beside a corner", 10, 4, 8, 0.01,
         "M 12 11 C 12 11 14 11 14 9 L 14 8 C 14 8 15.125 7.8125 15 7"},
        {"one Bézier of another program", 0, 0, 50, kDefaultTolerance, "M 10 10 C 30 0 40 30 20 40"},
    };
    for (const auto& c : cases) {
        char svg[1024];
        std::snprintf(svg, sizeof svg,
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"%g %g %g %g\"><path d=\"%s\"/></svg>",
                      c.minx, c.miny, c.side, c.side, c.d);
        Imported imported;
        importSvg(svg, c.tolerance, imported);
        ASSERT_EQ(imported.levels.list.size(), 1u) << c.name;
        ASSERT_EQ(imported.levels.list[0]->levelCurves.size(), 1u) << c.name;
        for (const Diagnostic& message : imported.messages)
            EXPECT_EQ(message.severity, Severity::Note) << c.name << ": " << message.text;
        const std::vector<Vec3>& points = imported.levels.list[0]->levelCurves[0].controlPoints;
        for (const int pieces : {kPiecesPerSegment, kExact}) {
            const FitError error = fitError(sampledPath(c.d, c.minx, c.miny, c.side), points, 0, pieces);
            EXPECT_LE(error.inputToCurve, c.tolerance) << c.name << " " << pieces;
            EXPECT_LE(error.curveToInput, c.tolerance) << c.name << " " << pieces;
        }
    }
}

// A random chain of lines, quadratics, cubics and arcs in a 100-unit
// viewBox: some turns smooth (S, T), some cornered, handles on their end
// points, closed with Z, back a hair short of the start, tiny or spanning
// the box.
std::string randomChain(std::mt19937& random)
{
    std::uniform_real_distribution<double> unit(0, 1);
    const double size = unit(random) < 0.3 ? 2 : 30, left = 50 - size / 2;
    const auto at = [&] { return std::to_string(left + size * unit(random)); };
    const auto pair = [&] { return at() + " " + at() + " "; };
    const std::string start = pair();
    std::string d = "M " + start, last = start;
    for (int k = 0, n = 2 + static_cast<int>(unit(random) * 6); k < n; ++k) {
        const double kind = unit(random);
        const std::string to = pair();
        if (kind < 0.15)
            d += "L " + to;
        else if (kind < 0.3)
            d += "Q " + pair() + to;
        else if (kind < 0.4)
            d += "T " + to;
        else if (kind < 0.55)
            d += "C " + pair() + pair() + to;
        else if (kind < 0.7)
            d += "S " + pair() + to;
        else if (kind < 0.8)
            d += "C " + last + pair() + to;  // its first handle on its start
        else
            d += "A " + std::to_string(size * (0.2 + unit(random))) + " " + std::to_string(size * (0.2 + unit(random))) +
                 " " + std::to_string(unit(random) * 90) + (unit(random) < 0.5 ? " 0 1 " : " 1 0 ") + to;
        last = to;
    }
    const double end = unit(random);
    if (end < 0.3)
        d += "Z";
    else if (end < 0.5)
        d += "L " + start + "Z";
    else if (end < 0.6)
        d += "L " + start.substr(0, start.find(' ')) + "1e-5 " + start.substr(start.find(' ') + 1);
    return d;
}

// The fit keeps its promise on any chain: within the tolerance both ways,
// as the editor draws it and as the export's exact Béziers draw it, or a
// warning that says how far it strays.
TEST(SvgImport, RandomChainsAreFittedWithinTheToleranceOrSaySo)
{
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 24; ++trial) {
        const std::string d = randomChain(random);
        const double tolerance = trial % 3 ? kDefaultTolerance : 0.01;
        const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\"><path d=\"" + d +
                                "\"/></svg>";
        Imported imported;
        importSvg(svg, tolerance, imported);
        ASSERT_EQ(imported.levels.list.size(), 1u) << d;
        ASSERT_EQ(imported.levels.list[0]->levelCurves.size(), 1u) << d;
        double allowed = tolerance;
        for (const Diagnostic& message : imported.messages)
            if (message.severity == Severity::Warning) {
                const size_t figure = message.text.find("strays up to ");
                ASSERT_NE(figure, std::string::npos) << d << ": " << message.text;
                allowed = std::max(allowed, std::stod(message.text.substr(figure + 13)));
            }
        const std::vector<FitPoint> line = sampledPath(d, 0, 0, 100, 0.01);
        for (const int pieces : {kPiecesPerSegment, kExact}) {
            const FitError error = fitError(line, imported.levels.list[0]->levelCurves[0].controlPoints, 0, pieces);
            EXPECT_LE(error.inputToCurve, allowed * 1.0001) << d << " " << pieces;
            EXPECT_LE(error.curveToInput, allowed * 1.0001) << d << " " << pieces;
        }
    }
}

}  // namespace
