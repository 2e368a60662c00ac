#include "support.h"

namespace {

const std::vector<std::pair<float, float>> kSquare = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

void drawCurves(Splines& level) { level.drawCatmullRom(); }

void expectAt(const Vec3& vertex, float x, float y, float z)
{
    EXPECT_NEAR(vertex.pos[0], x, 1e-3);
    EXPECT_NEAR(vertex.pos[1], y, 1e-3);
    EXPECT_NEAR(vertex.pos[2], z, 1e-3);
}

class Drawing : public EditorTest {};

TEST_F(Drawing, OpenSquareIsOneSegmentFromPointOneToPointTwo)
{
    Splines& level = *makeLevel(0, {kSquare});
    const auto strips = captureLineStrips(drawCurves, level);
    ASSERT_EQ(strips.size(), 1u);
    ASSERT_EQ(strips[0].size(), 11u);
    expectAt(strips[0].front(), 1, 1, 0);
    expectAt(strips[0].back(), 1, -1, 0);
    expectAt(strips[0][5], 1.25f, 0, 0);
}

TEST_F(Drawing, ClosedSquareLoopsFromPointTwoBackToIt)
{
    Splines& level = *makeLevel(2, {kSquare});
    level.levelCurves[0].closure = 1;
    const auto strips = captureLineStrips(drawCurves, level);
    ASSERT_EQ(strips.size(), 1u);
    ASSERT_EQ(strips[0].size(), 41u);
    expectAt(strips[0].front(), 1, -1, 2);
    expectAt(strips[0][5], 0, -1.25f, 2);
    expectAt(strips[0][10], -1, -1, 2);
    expectAt(strips[0].back(), 1, -1, 2);
    for (const Vec3& vertex : strips[0])
        EXPECT_NEAR(vertex.pos[2], 2, 1e-3);
}

TEST_F(Drawing, ShortCurvesAreLoopsWhateverTheirClosure)
{
    Splines& level = *makeLevel(1, {{{0, 0}}, {}, {{-2, 0}, {2, 0}}, {}, {{0, 3}, {1, 2}, {-1, 2}}});
    const auto strips = captureLineStrips(drawCurves, level);
    ASSERT_EQ(strips.size(), 3u);
    EXPECT_EQ(strips[0].size(), 11u);
    for (const Vec3& vertex : strips[0])
        expectAt(vertex, 0, 0, 1);
    ASSERT_EQ(strips[1].size(), 21u);
    expectAt(strips[1].front(), -2, 0, 1);
    expectAt(strips[1][10], 2, 0, 1);
    expectAt(strips[1].back(), -2, 0, 1);
    ASSERT_EQ(strips[2].size(), 31u);
    expectAt(strips[2].front(), 1, 2, 1);
    expectAt(strips[2].back(), 1, 2, 1);
}

TEST(CatmullRom, InterpolatesAndWrapsAtBothEnds)
{
    Splines& level = *makeLevel(3, {kSquare});
    float point[3];
    level.interpolatedPoint(0.5f, 0, point, 0);
    EXPECT_FLOAT_EQ(point[0], 0);
    EXPECT_FLOAT_EQ(point[1], -1.25f);
    EXPECT_FLOAT_EQ(point[2], 3);
    // Segment 0 runs from point 2 to point 3, segment 1 from point 3 to point 0.
    level.interpolatedPoint(0, 0, point, 0);
    EXPECT_FLOAT_EQ(point[0], 1);
    EXPECT_FLOAT_EQ(point[1], -1);
    level.interpolatedPoint(1, 0, point, 0);
    EXPECT_FLOAT_EQ(point[0], -1);
    EXPECT_FLOAT_EQ(point[1], -1);
    level.interpolatedPoint(1, 1, point, 0);
    EXPECT_FLOAT_EQ(point[0], -1);
    EXPECT_FLOAT_EQ(point[1], 1);
    level.interpolatedPoint(0, 3, point, 0);
    EXPECT_FLOAT_EQ(point[0], 1);
    EXPECT_FLOAT_EQ(point[1], 1);
}

// Names in drawing order: markers 1..n in level-wide order, then 0 for the
// curve lines, which are no control point.
TEST_F(Drawing, MarkersCarryTheirLevelWideIndexPlusOne)
{
    Splines& level = *makeLevel(0, {kSquare, {{-3, 3}, {-3, -3}, {3, -3}}});
    EXPECT_EQ(selectionNames(level, 0), (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 0}));
    Splines& emptyFirst = *makeLevel(0, {{}, {{-3, 3}, {3, -3}}});
    EXPECT_EQ(selectionNames(emptyFirst, 0), (std::vector<unsigned>{1, 2, 0}));
    // A level below the current one draws everything under name 0.
    EXPECT_EQ(selectionNames(level, 1), (std::vector<unsigned>{0}));
}

TEST_F(Drawing, NormalPassLoadsNoName)
{
    std::vector<GLuint> buffer(64);
    glSelectBuffer(64, buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(99);
    editor->Display();
    glRenderMode(GL_RENDER);
    EXPECT_EQ(buffer[3], 99u);
}

TEST_F(Drawing, PickRegionOnALineAloneYieldsNoPositiveName)
{
    // The open square's line bulges out to (1.25, 0), away from every marker.
    editor->MouseMoved(pixelX(1.25f), pixelY(0));
    level(0).renderMode = GL_SELECT;
    editor->Display();
    level(0).renderMode = GL_RENDER;
    ASSERT_GE(editor->hits, 1);
    for (int n = 0; n < editor->hits; ++n)
        EXPECT_EQ(editor->selectBuf[4 * n + 3], 0u);
    EXPECT_EQ(level(0).objectPicked, -1);
}

TEST_F(Drawing, DefaultSquareColours)
{
    editor->showMessages = 0;
    editor->Display();
    // Yellow markers at the corners (the red line runs over the centres of
    // points 1 and 2), the wire cube only around point 1.
    for (const auto& corner : kSquare)
        EXPECT_EQ(pixelAt(pixelX(corner.first) - 2, pixelY(corner.second)), kYellow);
    EXPECT_TRUE(colourNear(pixelX(0.9f), pixelY(1), 1, kYellow));
    EXPECT_EQ(pixelAt(pixelX(-0.92f), pixelY(1)), kBlack);
    EXPECT_TRUE(colourNear(pixelX(1.25f), pixelY(0), 2, kRed));
    EXPECT_EQ(pixelAt(pixelX(0), pixelY(-1.25f)), kBlack);
}

TEST_F(Drawing, CurrentLevelColoursAroundTheCurrentCurve)
{
    // Curve 0 before the current curve keeps the level colour; curve 2 after
    // it and every line turn red.
    delete editor->spline[0];
    editor->spline[0] = makeLevel(0, {{{-3, 3}}, {{-3, -3}, {-2, -3}}, {{3, 3}}});
    level(0).currentCurve = 1;
    editor->showMessages = 0;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(-3), pixelY(3)), kCurrentLevel);
    EXPECT_EQ(pixelAt(pixelX(-3), pixelY(-3) - 2), kYellow);
    EXPECT_TRUE(colourNear(pixelX(-2.5f), pixelY(-3), 1, kRed));
    EXPECT_EQ(pixelAt(pixelX(3), pixelY(3)), kRed);
    // A single-point current curve has no wire cube.
    level(0).currentCurve = 2;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(2.92f), pixelY(3)), kBlack);
    // An empty current curve leaves the whole level in its colour.
    level(0).levelCurves.emplace_back();
    level(0).currentCurve = 3;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(-3), pixelY(-3)), kCurrentLevel);
    EXPECT_TRUE(colourNear(pixelX(-2.5f), pixelY(-3), 1, kCurrentLevel));
}

TEST_F(Drawing, LowerLevelsInTheirColoursOnBothClipPlanes)
{
    freeLevels(editor->spline);
    for (int i = 0; i <= 4; ++i)
        editor->spline.push_back(makeLevel(i, {{{-4.0f + 2 * i, 0}}}));
    editor->currentLevel = 4;
    editor->cameraPos[2] = 9;
    editor->showMessages = 0;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(-4), pixelY(0)), kBlack);  // level 0: four below, not drawn
    EXPECT_EQ(pixelAt(pixelX(-2), pixelY(0)), kThreeBelow);
    EXPECT_EQ(pixelAt(pixelX(0), pixelY(0)), kTwoBelow);
    EXPECT_EQ(pixelAt(pixelX(2), pixelY(0)), kOneBelow);
    EXPECT_EQ(pixelAt(pixelX(4), pixelY(0)), kYellow);
    // On level 1, level 0 lies on the near plane and level 1 on the far one.
    editor->currentLevel = 1;
    editor->cameraPos[2] = 6;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(-4), pixelY(0)), kOneBelow);
    EXPECT_EQ(pixelAt(pixelX(-2), pixelY(0)), kYellow);
}

}  // namespace
