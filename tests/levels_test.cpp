#include "support.h"

namespace {

using Points = std::vector<std::pair<float, float>>;

Points xy(const Nodes& curve)
{
    Points points;
    for (const Vec3& point : curve.controlPoints)
        points.emplace_back(point.pos[0], point.pos[1]);
    return points;
}

const Points kSquare = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

TEST(LevelModel, FirstNonEmptyResizeSeedsCurveZeroOnce)
{
    for (const auto& size : {std::make_pair(500, 500), std::make_pair(640, 480)}) {
        Splines level;
        level.setWindowSize(0, size.second);  // no size to convert with yet
        EXPECT_TRUE(level.levelCurves[0].controlPoints.empty());
        level.setWindowSize(size.first, size.second);
        level.setWindowSize(size.first, size.second);
        ASSERT_EQ(level.levelCurves.size(), 1u);
        EXPECT_EQ(xy(level.levelCurves[0]), kSquare);
        EXPECT_EQ(level.levelCurves[0].controlPoints[3].pos[2], 0);
    }
    // With another curve current, curve 0 itself is seeded, and only once.
    Splines& level = *makeLevel(2, {{}, {{2, 2}}});
    level.currentCurve = 1;
    level.setWindowSize(640, 480);
    level.setWindowSize(640, 480);
    EXPECT_EQ(xy(level.levelCurves[0]), kSquare);
    EXPECT_EQ(level.levelCurves[1].controlPoints.size(), 1u);
    // 0.4 * 333 = 133.2 and 0.6 * 333 = 199.8 become pixels 133 and 199.
    Splines narrow;
    narrow.setWindowSize(333, 500);
    EXPECT_FLOAT_EQ(narrow.levelCurves[0].controlPoints[0].pos[0], static_cast<float>(133.0 / 333 * 10 - 5));
    EXPECT_FLOAT_EQ(narrow.levelCurves[0].controlPoints[1].pos[0], static_cast<float>(199.0 / 333 * 10 - 5));
}

TEST(LevelModel, AddControlPointConvertsWindowPixels)
{
    Splines& level = *makeLevel(2, {{{9, 9}}});
    level.addControlPoint(10, 10);  // before any size: nothing to convert with
    level.setWindowSize(500, 500);
    for (const auto& pixel : {std::make_pair(250, 250), {0, 0}, {500, 500}, {100, 400}, {-1, 600}})
        level.addControlPoint(pixel.first, pixel.second);
    level.setWindowSize(640, 480);
    level.addControlPoint(320, 120);
    EXPECT_EQ(xy(level.levelCurves[0]), (Points{{9, 9}, {0, 0}, {-5, 5}, {5, -5}, {-3, -3}, {-5, -5}, {0, 2.5f}}));
    EXPECT_EQ(level.levelCurves[0].controlPoints.back().pos[2], 2);
}

TEST(LevelModel, CurveSteppingWrapsAndNewCurvesAreSeeded)
{
    Splines single;
    single.nextCurve();
    single.prevCurve();
    EXPECT_EQ(single.currentCurve, 0);
    Splines& level = *makeLevel(1, {{{0, 0}}, {}, {{2, 2}}});
    level.setWindowSize(640, 480);
    level.prevCurve();
    EXPECT_EQ(level.currentCurve, 2);
    level.nextCurve();
    EXPECT_EQ(level.currentCurve, 0);
    level.addNewCurve();
    ASSERT_EQ(level.levelCurves.size(), 4u);
    EXPECT_EQ(level.currentCurve, 3);
    EXPECT_EQ(xy(level.levelCurves[3]), kSquare);
    EXPECT_EQ(level.levelCurves[0].controlPoints.size(), 1u);
}

TEST(LevelModel, CopyMakesTheLevelAbove)
{
    Splines& below = *makeLevel(2, {kSquare, {}});
    below.levelCurves[0].closure = 1;
    below.setWindowSize(800, 400);
    below.currentCurve = 1;
    below.objectPicked = 3;
    const Splines above(below);
    EXPECT_EQ(above.level, 3);
    ASSERT_EQ(above.levelCurves.size(), 2u);
    EXPECT_EQ(xy(above.levelCurves[0]), kSquare);
    for (const Vec3& point : above.levelCurves[0].controlPoints)
        EXPECT_EQ(point.pos[2], 3);
    EXPECT_EQ(above.levelCurves[0].closure, 1);
    EXPECT_TRUE(above.levelCurves[1].controlPoints.empty());
    EXPECT_EQ(above.currentCurve, 1);
    EXPECT_EQ(above.objectPicked, -1);
    EXPECT_EQ(above.WindowWidth, 800);
    EXPECT_EQ(above.WindowHeight, 400);
}

// Deletion by level-wide index: curves of 4 and 3 points unless stated.
TEST(Deletion, RemovesOnlyThePointTheIndexNames)
{
    const Points first = {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, second = {{10, 0}, {11, 0}, {12, 0}};
    const struct { int index; Points first, second; } cases[] = {
        {5, first, {{10, 0}, {12, 0}}}, {0, {{1, 0}, {2, 0}, {3, 0}}, second},
        {-1, first, second}, {7, first, second}, {1000, first, second}};
    for (const auto& c : cases) {
        Splines& level = *makeLevel(0, {first, second});
        level.levelCurves[1].closure = 1;
        level.objectPicked = c.index;
        level.deleteControlPoint();
        EXPECT_EQ(xy(level.levelCurves[0]), c.first) << c.index;
        EXPECT_EQ(xy(level.levelCurves[1]), c.second) << c.index;
        EXPECT_EQ(level.objectPicked, c.index);
        EXPECT_EQ(level.levelCurves[1].closure, 1);
    }
}

TEST(Deletion, PassesOverEmptyCurvesAndKeepsEmptiedOnes)
{
    Splines& level = *makeLevel(0, {{}, {{1, 0}, {2, 0}}, {{3, 0}}});
    level.currentCurve = 2;
    level.objectPicked = 0;
    level.deleteControlPoint();
    EXPECT_EQ(xy(level.levelCurves[1]), (Points{{2, 0}}));
    level.objectPicked = 1;
    level.deleteControlPoint();
    ASSERT_EQ(level.levelCurves.size(), 3u);
    EXPECT_TRUE(level.levelCurves[2].controlPoints.empty());
    EXPECT_EQ(level.currentCurve, 2);
}

}  // namespace
