#include <cmath>

#include "support.h"

namespace {

void expectPoint(const Vec3& point, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(point.pos[0], x);
    EXPECT_FLOAT_EQ(point.pos[1], y);
    EXPECT_FLOAT_EQ(point.pos[2], z);
}

void expectSquare(const Nodes& curve, float z)
{
    ASSERT_EQ(curve.controlPoints.size(), 4u);
    expectPoint(curve.controlPoints[0], -1, 1, z);
    expectPoint(curve.controlPoints[1], 1, 1, z);
    expectPoint(curve.controlPoints[2], 1, -1, z);
    expectPoint(curve.controlPoints[3], -1, -1, z);
}

TEST(LevelModel, FirstResizeSeedsTheDefaultSquareOnce)
{
    for (const auto& size : {std::make_pair(500, 500), std::make_pair(640, 480)}) {
        Splines level;
        level.setWindowSize(size.first, size.second);
        level.setWindowSize(size.first, size.second);
        ASSERT_EQ(level.levelCurves.size(), 1u);
        expectSquare(level.levelCurves[0], 0);
        EXPECT_EQ(level.levelCurves[0].closure, 0);
        EXPECT_EQ(level.currentCurve, 0);
        EXPECT_EQ(level.objectPicked, -1);
    }
}

TEST(LevelModel, SquareCornersAreTruncatedWindowPixels)
{
    Splines level;
    level.setWindowSize(333, 500);
    // 0.4 * 333 = 133.2 and 0.6 * 333 = 199.8 become pixels 133 and 199.
    EXPECT_FLOAT_EQ(level.levelCurves[0].controlPoints[0].pos[0], static_cast<float>(133.0 / 333 * 10 - 5));
    EXPECT_FLOAT_EQ(level.levelCurves[0].controlPoints[1].pos[0], static_cast<float>(199.0 / 333 * 10 - 5));
}

TEST(LevelModel, ZeroSizeStoresButAddsNothing)
{
    Splines level;
    level.setWindowSize(0, 480);
    level.addControlPoint(10, 10);
    EXPECT_EQ(level.WindowWidth, 0);
    EXPECT_TRUE(level.levelCurves[0].controlPoints.empty());
    level.setWindowSize(640, 480);
    expectSquare(level.levelCurves[0], 0);
}

TEST(LevelModel, EmptyCurveZeroIsSeededItselfNotTheCurrentCurve)
{
    Splines& level = *makeLevel(0, {{}, {{2, 2}}});
    level.currentCurve = 1;
    level.setWindowSize(640, 480);
    level.setWindowSize(640, 480);
    expectSquare(level.levelCurves[0], 0);
    EXPECT_EQ(level.levelCurves[1].controlPoints.size(), 1u);
}

TEST(LevelModel, AddControlPointConvertsWindowPixels)
{
    Splines& level = *makeLevel(2, {{}});
    level.levelCurves[0].controlPoints.emplace_back(9, 9, 2);  // keeps the resize from seeding
    level.setWindowSize(500, 500);
    level.addControlPoint(250, 250);
    level.addControlPoint(0, 0);
    level.addControlPoint(500, 500);
    level.addControlPoint(100, 400);
    const std::vector<Vec3>& points = level.levelCurves[0].controlPoints;
    ASSERT_EQ(points.size(), 5u);
    expectPoint(points[1], 0, 0, 2);
    expectPoint(points[2], -5, 5, 2);
    expectPoint(points[3], 5, -5, 2);
    expectPoint(points[4], -3, -3, 2);
    level.setWindowSize(640, 480);
    level.addControlPoint(320, 120);
    expectPoint(points.back(), 0, 2.5f, 2);
}

TEST(LevelModel, PointAddedToAClosedLoopKeepsItClosed)
{
    Splines& level = *makeLevel(0, {{{0, 0}}, {{1, 1}, {2, 2}, {3, 3}}});
    level.setWindowSize(640, 480);
    level.currentCurve = 1;
    level.closeCurve();
    level.addControlPoint(320, 240);
    EXPECT_EQ(level.levelCurves[1].controlPoints.size(), 4u);
    EXPECT_EQ(level.levelCurves[1].closure, 1);
}

TEST(LevelModel, CurveSteppingWraps)
{
    Splines single;
    single.nextCurve();
    EXPECT_EQ(single.currentCurve, 0);
    single.prevCurve();
    EXPECT_EQ(single.currentCurve, 0);

    Splines& three = *makeLevel(0, {{}, {}, {}});
    three.prevCurve();
    EXPECT_EQ(three.currentCurve, 2);
    three.nextCurve();
    EXPECT_EQ(three.currentCurve, 0);
}

TEST(LevelModel, NewCurveIsAppendedCurrentAndSeeded)
{
    Splines& level = *makeLevel(1, {{{0, 0}}, {}, {{2, 2}}});
    level.setWindowSize(640, 480);
    level.addNewCurve();
    ASSERT_EQ(level.levelCurves.size(), 4u);
    EXPECT_EQ(level.currentCurve, 3);
    expectSquare(level.levelCurves[3], 1);
    EXPECT_EQ(level.levelCurves[0].controlPoints.size(), 1u);
    EXPECT_TRUE(level.levelCurves[1].controlPoints.empty());
}

TEST(LevelModel, CopyMakesTheLevelAbove)
{
    Splines& below = *makeLevel(2, {{{-1, 1}, {1, 1}, {1, -1}, {-1, -1}}, {}});
    below.levelCurves[0].closure = 1;
    below.setWindowSize(800, 400);
    below.currentCurve = 1;
    below.objectPicked = 3;
    below.renderMode = GL_SELECT;
    const Splines above(below);
    EXPECT_EQ(above.level, 3);
    ASSERT_EQ(above.levelCurves.size(), 2u);
    expectSquare(above.levelCurves[0], 3);
    EXPECT_EQ(above.levelCurves[0].closure, 1);
    EXPECT_TRUE(above.levelCurves[1].controlPoints.empty());
    EXPECT_EQ(above.levelCurves[1].closure, 0);
    EXPECT_EQ(above.currentCurve, 1);
    EXPECT_EQ(above.objectPicked, -1);
    EXPECT_EQ(above.WindowWidth, 800);
    EXPECT_EQ(above.WindowHeight, 400);
    EXPECT_EQ(above.renderMode, static_cast<unsigned>(GL_SELECT));
}

// Deletion by level-wide index, with curves of 4 and 3 points unless stated.
TEST(Deletion, RemovesThePointTheIndexNames)
{
    Splines& level = *makeLevel(0, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{10, 0}, {11, 0}, {12, 0}}});
    level.objectPicked = 5;
    level.deleteControlPoint();
    const std::vector<Vec3>& second = level.levelCurves[1].controlPoints;
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].pos[0], 10);
    EXPECT_EQ(second[1].pos[0], 12);
    EXPECT_EQ(level.objectPicked, 5);
    EXPECT_EQ(level.levelCurves[0].controlPoints.size(), 4u);
}

TEST(Deletion, PassesOverEmptyCurvesAndKeepsEmptiedOnes)
{
    Splines& level = *makeLevel(0, {{}, {{1, 0}, {2, 0}}, {{3, 0}}});
    level.currentCurve = 2;
    level.objectPicked = 0;
    level.deleteControlPoint();
    ASSERT_EQ(level.levelCurves[1].controlPoints.size(), 1u);
    EXPECT_EQ(level.levelCurves[1].controlPoints[0].pos[0], 2);
    level.objectPicked = 1;
    level.deleteControlPoint();
    ASSERT_EQ(level.levelCurves.size(), 3u);
    EXPECT_TRUE(level.levelCurves[2].controlPoints.empty());
    EXPECT_EQ(level.currentCurve, 2);
}

TEST(Deletion, IndicesThatNameNoPointChangeNothing)
{
    for (const int index : {-1, 7, 8, 1000}) {
        Splines& level = *makeLevel(0, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{10, 0}, {11, 0}, {12, 0}}});
        level.objectPicked = index;
        level.deleteControlPoint();
        EXPECT_EQ(level.levelCurves[0].controlPoints.size() + level.levelCurves[1].controlPoints.size(), 7u);
    }
}

TEST(Deletion, ClosedCurveStaysClosed)
{
    Splines& level = *makeLevel(0, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}});
    level.levelCurves[0].closure = 1;
    level.objectPicked = 2;
    level.deleteControlPoint();
    EXPECT_EQ(level.levelCurves[0].controlPoints.size(), 3u);
    EXPECT_EQ(level.levelCurves[0].closure, 1);
}

}  // namespace
