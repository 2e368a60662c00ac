// The SVG path-data, transform, number-list and length parsers, on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "formats/svg/SvgValues.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kClose = 1e-9;
const size_t kNoCap = 1000;

std::string point(Point2 p)
{
    char text[64];
    std::snprintf(text, sizeof text, " %g,%g", p.x, p.y);
    return text;
}

// "M start", then each segment as its letter and points after the first, "Z" when closed.
std::string describe(const std::vector<Subpath>& subpaths)
{
    static const char* const kLetters[] = {" L", " Q", " C", " A"};
    static const int kPoints[] = {1, 2, 3, 1};
    std::string text;
    for (const Subpath& subpath : subpaths) {
        text += " M" + point(subpath.start);
        for (const PathSegment& s : subpath.segments) {
            text += kLetters[s.kind];
            for (int i = 1; i <= kPoints[s.kind]; ++i)
                text += point(s.p[i]);
        }
        text += subpath.closed ? " Z" : "";
    }
    return text;
}

TEST(SvgPath, ParsesCommandsRepeatsNumbersAndErrors)
{
    const struct {
        const char* path;
        const char* expected;
        size_t offset;  // of the error, when there is one
        const char* what;
        size_t cap;
    } kCases[] = {
        {"M1 2 L3 4", " M 1,2 L 3,4", 0, "", kNoCap},
        {"m1 2 l3 4", " M 1,2 L 4,6", 0, "", kNoCap},
        {"M1 2 3 4,5 6", " M 1,2 L 3,4 L 5,6", 0, "", kNoCap},
        {"m1 2 3 4 m1 1 2 2", " M 1,2 L 4,6 M 5,7 L 7,9", 0, "", kNoCap},
        {"M0 0 H5 V6 h-1 v-1 H1 2", " M 0,0 L 5,0 L 5,6 L 4,6 L 4,5 L 1,5 L 2,5", 0, "", kNoCap},
        {"M0 0 C1 1 2 2 3 3 c1 1 2 2 3 3", " M 0,0 C 1,1 2,2 3,3 C 4,4 5,5 6,6", 0, "", kNoCap},
        {"M0 0 Q1 1 2 0 q1 1 2 0", " M 0,0 Q 1,1 2,0 Q 3,1 4,0", 0, "", kNoCap},
        {"M0 0 C1 1 2 1 3 0 S5 -1 6 0 s2 1 3 0", " M 0,0 C 1,1 2,1 3,0 C 4,-1 5,-1 6,0 C 7,1 8,1 9,0", 0, "", kNoCap},
        {"M0 0 L3 0 S5 1 6 0", " M 0,0 L 3,0 C 3,0 5,1 6,0", 0, "", kNoCap},
        {"M0 0 Q1 1 2 0 T4 0 t2 0", " M 0,0 Q 1,1 2,0 Q 3,-1 4,0 Q 5,1 6,0", 0, "", kNoCap},
        {"M0 0 C1 1 2 1 3 0 T5 0", " M 0,0 C 1,1 2,1 3,0 Q 3,0 5,0", 0, "", kNoCap},
        {"M0 0 L1 0 L1 1 Z L5 5", " M 0,0 L 1,0 L 1,1 L 0,0 Z M 0,0 L 5,5", 0, "", kNoCap},
        {"M1 1 L2 1 z l1 1", " M 1,1 L 2,1 L 1,1 Z M 1,1 L 2,2", 0, "", kNoCap},
        {"M0 0 L1 0 L0 0 Z", " M 0,0 L 1,0 L 0,0 Z", 0, "", kNoCap},
        {"M1 1 Z", " M 1,1 Z", 0, "", kNoCap},
        {"M1 1 M2 2 L3 3 M4 4", " M 2,2 L 3,3", 0, "", kNoCap},
        {"", "", 0, "", kNoCap},
        {"M1e1,1E-1 L.5 5. L-.5e+3-1 L1.5.5 L1-2", " M 10,0.1 L 0.5,5 L -500,-1 L 1.5,0.5 L 1,-2", 0, "", kNoCap},
        {" M1\t2\r\nL3\f4 ", " M 1,2 L 3,4", 0, "", kNoCap},
        {"M1e-999 0 L1 1", " M 0,0 L 1,1", 0, "", kNoCap},
        {"M0 0 a25 25 -30 1150 -20", " M 0,0 A 50,-20", 0, "", kNoCap},
        {"M0 0 A0 5 0 0 1 3 4", " M 0,0 L 3,4", 0, "", kNoCap},
        {"M1 1 A5 5 0 0 1 1 1 L2 2", " M 1,1 L 2,2", 0, "", kNoCap},
        {"M0 0 L1 1 L2", " M 0,0 L 1,1", 12, "expected a number", kNoCap},
        {"M0 0 L1 1 2", " M 0,0 L 1,1", 11, "expected a number", kNoCap},
        {"M0 0 L1 1,", " M 0,0 L 1,1", 10, "expected a number", kNoCap},
        {"M0 0 L1 1, L2 2", " M 0,0 L 1,1", 11, "expected a number", kNoCap},
        {" L1 1", "", 1, "expected 'M' or 'm'", kNoCap},
        {"M0 0 L1 1 X1", " M 0,0 L 1,1", 10, "unknown command 'X'", kNoCap},
        {"M0 0 L1 1 inf", " M 0,0 L 1,1", 10, "unknown command 'i'", kNoCap},
        {"M0 0 L1 1 L4e", " M 0,0 L 1,1", 12, "expected a number", kNoCap},
        {"M0 0 L1 1 Lnan 0", " M 0,0 L 1,1", 11, "expected a number", kNoCap},
        {"M0 0 L1 1 L1e999 0", " M 0,0 L 1,1", 11, "number out of range", kNoCap},
        {"M0 0 L1 1 A1 1 0 2 0 1 1", " M 0,0 L 1,1", 17, "expected a flag (0 or 1)", kNoCap},
        {"M0 0 Z 5", " M 0,0 Z", 7, "expected a command", kNoCap},
        {"M0 0 L1 0 2 0", " M 0,0 L 1,0 L 2,0", 0, "", 2},
        {"M0 0 L1 0 2 0", " M 0,0 L 1,0", 10, "more than 1 segments", 1},
        {"M0 0 L1 0 Z", " M 0,0 L 1,0", 10, "more than 1 segments", 1},
        {"M0 0 Z", "", 5, "more than 0 segments", 0},
    };
    for (const auto& c : kCases) {
        ParseError error;
        EXPECT_EQ(describe(parsePathData(c.path, c.cap, error)), c.expected) << c.path;
        EXPECT_EQ(error.what, c.what) << c.path;
        EXPECT_EQ(error.offset, c.offset) << c.path;
    }
}

TEST(SvgPath, ArcsTakeTheirCentreForm)
{
    const double kHalfRoot3 = std::sqrt(3.0) / 2;
    const struct {
        const char* path;
        Point2 centre;
        double rx, ry, theta, deltaTheta;
    } kCases[] = {
        {"M0 0 A1 1 0 0 1 2 0", {1, 0}, 1, 1, kPi, kPi},
        {"M0 0 A1 1 0 0 0 2 0", {1, 0}, 1, 1, kPi, -kPi},
        {"M0 0 A.5 .25 0 0 1 2 0", {1, 0}, 1, 0.5, kPi, kPi},
        {"M0 0 A-1 -1 0 0 1 2 0", {1, 0}, 1, 1, kPi, kPi},
        {"M1 0 A1 1 0 0 1 0 1", {0, 0}, 1, 1, 0, kPi / 2},
        {"M1 0 A1 1 0 1 1 0 1", {1, 1}, 1, 1, -kPi / 2, 3 * kPi / 2},
        {"M0 0 A2 1 90 0 1 0 2", {-kHalfRoot3, 1}, 2, 1, -2 * kPi / 3, kPi / 3},
    };
    for (const auto& c : kCases) {
        ParseError error;
        const std::vector<Subpath> paths = parsePathData(c.path, kNoCap, error);
        ASSERT_TRUE(paths.size() == 1 && paths[0].segments.size() == 1) << c.path;
        const PathSegment& arc = paths[0].segments[0];
        EXPECT_EQ(arc.kind, PathSegment::Arc) << c.path;
        const double got[] = {arc.centre.x, arc.centre.y, arc.rx, arc.ry, arc.theta, arc.deltaTheta};
        const double want[] = {c.centre.x, c.centre.y, c.rx, c.ry, c.theta, c.deltaTheta};
        for (size_t i = 0; i < std::size(got); ++i)
            EXPECT_NEAR(got[i], want[i], kClose) << c.path << ", value " << i;
    }
}

TEST(SvgPath, PointsAlongEachKind)
{
    const struct {
        const char* path;
        double t;
        Point2 expected;
    } kCases[] = {
        {"M0 0 L2 4", 0, {0, 0}}, {"M0 0 L2 4", 0.5, {1, 2}}, {"M0 0 L2 4", 1, {2, 4}},
        {"M0 0 Q1 2 2 0", 0, {0, 0}}, {"M0 0 Q1 2 2 0", 0.5, {1, 1}}, {"M0 0 Q1 2 2 0", 1, {2, 0}},
        {"M0 0 C0 2 2 2 2 0", 0, {0, 0}}, {"M0 0 C0 2 2 2 2 0", 0.5, {1, 1.5}}, {"M0 0 C0 2 2 2 2 0", 1, {2, 0}},
        {"M0 0 A1 1 0 0 1 2 0", 0, {0, 0}}, {"M0 0 A1 1 0 0 1 2 0", 0.5, {1, -1}}, {"M0 0 A1 1 0 0 1 2 0", 1, {2, 0}},
        {"M0 0 A2 1 90 0 1 0 2", 0.5, {1 - std::sqrt(3.0) / 2, 1}},
    };
    for (const auto& c : kCases) {
        ParseError error;
        const Point2 p = pointAt(parsePathData(c.path, kNoCap, error).at(0).segments.at(0), c.t);
        EXPECT_NEAR(p.x, c.expected.x, kClose) << c.path << " at " << c.t;
        EXPECT_NEAR(p.y, c.expected.y, kClose) << c.path << " at " << c.t;
    }
}

// A quadratic parser would take minutes here.
TEST(SvgPath, LongPathsParseInLinearTime)
{
    const size_t kSets = 300000;
    std::string path = "M0 0L";
    for (size_t i = 0; i < kSets; ++i)
        path += "1,2 ";
    ParseError error;
    EXPECT_EQ(parsePathData(path, kSets, error).at(0).segments.size(), kSets);
    EXPECT_EQ(error.what, "");
}

TEST(SvgTransform, ComposesRightToLeft)
{
    const struct {
        const char* text;
        Point2 in, out;
    } kCases[] = {
        {"matrix(1 2 3 4 5 6)", {1, 1}, {9, 12}}, {"translate(10)", {1, 0}, {11, 0}},
        {"translate(10,-5)", {1, 0}, {11, -5}}, {"scale(2)", {1, 3}, {2, 6}}, {"scale(2 3)", {1, 3}, {2, 9}},
        {"rotate(90)", {1, 0}, {0, 1}}, {"rotate(-630)", {1, 0}, {0, 1}}, {"rotate(90 1 1)", {2, 1}, {1, 2}},
        {"skewX(45)", {0, 1}, {1, 1}},
        {"skewY(45)", {1, 0}, {1, 1}}, {"translate(10) scale(2)", {1, 0}, {12, 0}},
        {" scale(2),translate(10) ", {1, 0}, {22, 0}}, {"translate(1)scale(2)", {1, 0}, {3, 0}}, {"", {1, 2}, {1, 2}},
    };
    for (const auto& c : kCases) {
        Affine m;
        ParseError error;
        ASSERT_TRUE(parseTransform(c.text, m, error)) << c.text << ": " << error.what;
        const Point2 p = apply(m, c.in);
        EXPECT_NEAR(p.x, c.out.x, kClose) << c.text;
        EXPECT_NEAR(p.y, c.out.y, kClose) << c.text;
    }
    const struct {
        const char* text;
        size_t offset;
    } kBad[] = {{"translate()", 0}, {"scale()", 0}, {"rotate()", 0}, {"skewX()", 0}, {"skewY()", 0},
                {"rotate(1 2)", 0}, {"translate(1", 11}, {"turn(1)", 0}, {"scale(2) ,", 10}, {"scale 2", 6},
                {"translate(1,)", 12}, {",scale(2)", 0}, {"matrix(1 0 0 1 0 0 5)", 19}};
    for (const auto& c : kBad) {
        Affine m{2, 0, 0, 2, 0, 0};
        ParseError error;
        EXPECT_FALSE(parseTransform(c.text, m, error)) << c.text;
        EXPECT_EQ(error.offset, c.offset) << c.text << ": " << error.what;
        EXPECT_EQ(m.a, 2) << c.text;
    }
}

TEST(SvgNumbers, ListsAndLengths)
{
    const struct {
        const char* text;
        std::vector<double> numbers;
        const char* what;
        size_t offset;
    } kLists[] = {{"0 0 100 50", {0, 0, 100, 50}, "", 0}, {" 1,2 3-4 ", {1, 2, 3, -4}, "", 0},
                  {"1 2 x", {1, 2}, "expected a number", 4}, {"1,2,", {1, 2}, "expected a number", 4}, {"", {}, "", 0}};
    for (const auto& c : kLists) {
        ParseError error;
        EXPECT_EQ(parseNumberList(c.text, error), c.numbers) << c.text;
        EXPECT_EQ(error.what, c.what) << c.text;
        EXPECT_EQ(error.offset, c.offset) << c.text;
    }
    // Relative lengths against a viewport of 200 by 50 whose 100% is 80.
    LengthBase base;
    base.percent = 80;
    base.viewportWidth = 200;
    base.viewportHeight = 50;
    const struct {
        const char* text;
        bool valid;
        double value;
        bool relative;  // measured against the viewport above, else against none
    } kLengths[] = {{"10", true, 10, false}, {"2.5mm", true, 2.5 * 96 / 25.4, false}, {"3in", true, 288, false},
                    {"12pt", true, 16, false}, {"1pc", true, 16, false}, {"4cm", true, 4 * 96 / 2.54, false},
                    {"4Q", true, 96 / 25.4, false}, {" 5PX ", true, 5, false}, {"1em", true, 16, false},
                    {"2rem", true, 32, false}, {"1ex", true, 8, false}, {"3ch", true, 24, false},
                    {"10%", false, 0, false}, {"1vw", false, 0, false}, {"10%", true, 8, true},
                    {"10vw", true, 20, true}, {"10vh", true, 5, true}, {"10vmin", true, 5, true},
                    {"10vmax", true, 20, true}, {"1vmaxx", false, 0, true}, {"1 %", false, 0, true},
                    {"5 px", false, 0, false}, {"", false, 0, false}, {"1e308in", false, 0, false}};
    for (const auto& c : kLengths) {
        double value = -1;
        EXPECT_EQ(parseLength(c.text, value, c.relative ? base : LengthBase()), c.valid) << c.text;
        EXPECT_NEAR(value, c.valid ? c.value : -1, kClose) << c.text;
    }
}

// A viewBox of 10 by 20 at (1, 2) in a viewport of 100 by 100, as each
// preserveAspectRatio places it: scale x, scale y, then where (1, 2) goes.
TEST(SvgViewBox, PlacesAsItsAspectRatioSays)
{
    const struct {
        const char* text;
        bool valid;
        double sx, sy, x, y;
    } kRatios[] = {{"xMidYMid", true, 5, 5, 25, 0},           {"xMinYMax meet", true, 5, 5, 0, 0},
                   {"xMaxYMin", true, 5, 5, 50, 0},           {" defer  xMidYMid slice ", true, 10, 10, 0, -50},
                   {"xMinYMin slice", true, 10, 10, 0, 0},    {"xMaxYMax slice", true, 10, 10, 0, -100},
                   {"none", true, 10, 5, 0, 0},               {"none slice", true, 10, 5, 0, 0},
                   {"", false, 5, 5, 25, 0},                  {"xmidymid", false, 5, 5, 25, 0},
                   {"slice", false, 5, 5, 25, 0},             {"xMidYMid meet extra", false, 5, 5, 25, 0},
                   {"xMidYMad", false, 5, 5, 25, 0},          {"defer", false, 5, 5, 25, 0}};
    const double box[] = {1, 2, 10, 20};
    for (const auto& c : kRatios) {
        AspectRatio ratio;
        EXPECT_EQ(parseAspectRatio(c.text, ratio), c.valid) << c.text;
        const Affine m = viewBoxTransform(box, ratio, 100, 100);
        const Point2 corner = apply(m, Point2{1, 2});
        EXPECT_NEAR(m.a, c.sx, kClose) << c.text;
        EXPECT_NEAR(m.d, c.sy, kClose) << c.text;
        EXPECT_NEAR(corner.x, c.x, kClose) << c.text;
        EXPECT_NEAR(corner.y, c.y, kClose) << c.text;
    }
}

}  // namespace
