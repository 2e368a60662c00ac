// What a frame shows: curve shapes, colours, depth planes and the overlay.
#include "support.h"

namespace {

const Points kSquare = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

void drawCurves(Splines& level) { level.drawCatmullRom(); }

void expectAt(const Vec3& vertex, float x, float y, float z)
{
    EXPECT_NEAR(vertex.pos[0], x, 1e-3);
    EXPECT_NEAR(vertex.pos[1], y, 1e-3);
    EXPECT_NEAR(vertex.pos[2], z, 1e-3);
}

class Drawing : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        editor->showMessages = 0;
    }
};

TEST_F(Drawing, OpenCurvesRunFromPointOneToTheLastButOne)
{
    Splines& level = *makeLevel(0, {kSquare});
    const auto strips = captureLineStrips(drawCurves, level);
    ASSERT_EQ(strips.size(), 1u);
    ASSERT_EQ(strips[0].size(), 11u);
    expectAt(strips[0].front(), 1, 1, 0);
    expectAt(strips[0][5], 1.25f, 0, 0);
    expectAt(strips[0].back(), 1, -1, 0);
}

// Closed curves and curves of fewer than four points are loops from the
// last but one point back to it; empty curves draw nothing.
TEST_F(Drawing, OtherCurvesAreLoops)
{
    Splines& level = *makeLevel(2, {kSquare, {{0, 0}}, {}, {{-2, 0}, {2, 0}}, {{0, 3}, {1, 2}, {-1, 2}}});
    level.levelCurves[0].closure = 1;
    level.levelCurves[4].closure = 1;
    const auto strips = captureLineStrips(drawCurves, level);
    ASSERT_EQ(strips.size(), 4u);
    ASSERT_EQ(strips[0].size(), 41u);
    expectAt(strips[0].front(), 1, -1, 2);
    expectAt(strips[0][5], 0, -1.25f, 2);
    expectAt(strips[0][10], -1, -1, 2);
    expectAt(strips[0][35], 1.25f, 0, 2);
    expectAt(strips[0].back(), 1, -1, 2);
    ASSERT_EQ(strips[1].size(), 11u);
    for (const Vec3& vertex : strips[1])
        expectAt(vertex, 0, 0, 2);
    ASSERT_EQ(strips[2].size(), 21u);
    expectAt(strips[2].front(), -2, 0, 2);
    expectAt(strips[2][10], 2, 0, 2);
    expectAt(strips[2].back(), -2, 0, 2);
    ASSERT_EQ(strips[3].size(), 31u);
    expectAt(strips[3].front(), 1, 2, 2);
    expectAt(strips[3][10], -1, 2, 2);
}

TEST_F(Drawing, DefaultSquareColours)
{
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
    editor->spline[0] = makeLevel(0, {{{-3, 3}}, {{-3, -3}, {-2, -3}}, {{3, 3}}});
    level(0).currentCurve = 1;
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

// Level i holds one straight line at y = 4 - 2 (i % 5), markers far off at
// x = +-4. The current level lies on the far clip plane, and level 0 on the
// near one when it is the lowest level shown; on level 19 rounding puts the
// far plane just short of the level unless depth is clamped.
TEST_F(Drawing, LevelLinesInTheirColoursUpToTheClipPlanes)
{
    editor->spline.clear();
    for (int i = 0; i <= 19; ++i)
        editor->spline.push_back(makeLevel(i, {{{-4, 4.0f - 2 * (i % 5)}, {4, 4.0f - 2 * (i % 5)}}}));
    const struct { int current; Rgb rows[5]; } cases[] = {
        {3, {kThreeBelow, kTwoBelow, kOneBelow, kRed, kBlack}},
        {19, {kBlack, kThreeBelow, kTwoBelow, kOneBelow, kRed}}};
    for (const auto& c : cases) {
        while (editor->currentLevel < c.current)
            key(GLUT_KEY_UP);
        editor->Display();
        for (int row = 0; row < 5; ++row)
            EXPECT_TRUE(colourNear(pixelX(0), pixelY(4.0f - 2 * row), 1, c.rows[row])) << row << " on " << c.current;
    }
}

// Which pixels of the overlay's corner have the colour.
std::vector<bool> overlayMask(Rgb colour)
{
    std::vector<unsigned char> rgb(160 * 110 * 3);
    glReadPixels(0, 480 - 110, 160, 110, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::vector<bool> mask;
    for (size_t at = 0; at < rgb.size(); at += 3)
        mask.push_back(Rgb{rgb[at], rgb[at + 1], rgb[at + 2]} == colour);
    return mask;
}

// The legend names the current level in red and up to three below it in
// their level colours, under fixed lines in magenta; 'w' hides it all.
TEST_F(Drawing, OverlayLegendFollowsTheCurrentLevel)
{
    const Rgb kText{230, 0, 230}, labels[] = {kRed, kOneBelow, kTwoBelow, kThreeBelow};
    const std::vector<bool> none(110 * 160, false);
    editor->showMessages = 1;
    std::vector<std::vector<bool>> currentLabels;
    for (const int top : {0, 2, 7}) {
        while (editor->currentLevel < top)
            key(GLUT_KEY_UP);
        editor->Display();
        EXPECT_NE(overlayMask(kText), none);
        for (int below = 0; below <= 3; ++below)
            EXPECT_EQ(overlayMask(labels[below]) != none, below <= top) << below << " below " << top;
        currentLabels.push_back(overlayMask(kRed));
    }
    EXPECT_NE(currentLabels[0], currentLabels[1]);
    EXPECT_NE(currentLabels[1], currentLabels[2]);
    editor->Keyboard('w', 0, 0);
    editor->Display();
    EXPECT_EQ(overlayMask(kText), none);
    EXPECT_EQ(overlayMask(kRed), none);
}

}  // namespace
