// What a frame shows: curve shapes, colours, depth planes and the overlay.
#include <algorithm>

#include "support.h"

namespace {

const Points kSquare = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

class Drawing : public EditorTest {};

// An open curve of four or more points runs from point 1 to the last but one;
// closed and shorter curves are loops. Each spot is on a line (true) or off
// every line (false); squares have half-size 1, so sides bulge out to 1.25.
TEST_F(Drawing, CurveShapes)
{
    editor->showMessages = 0;
    replaceLevel(0, makeLevel(0, {{{-3.5f, 3.5f}, {-1.5f, 3.5f}, {-1.5f, 1.5f}, {-3.5f, 1.5f}},
                                      {{1.5f, 3.5f}, {3.5f, 3.5f}, {3.5f, 1.5f}, {1.5f, 1.5f}}, {{0, 0}}, {},
                                      {{1, -2.5f}, {4, -2.5f}}, {{-4, -4}, {-1, -4}, {-2.5f, -1.5f}}}));
    level(0).levelCurves[1].closure = 1;
    editor->Display();
    const struct { float x, y; bool line; } spots[] = {
        {-1.25f, 2.5f, true}, {-3.75f, 2.5f, false}, {-2.5f, 3.75f, false}, {-2.5f, 1.25f, false},
        {3.75f, 2.5f, true}, {1.25f, 2.5f, true}, {2.5f, 3.75f, true}, {2.5f, 1.25f, true},
        {2.5f, -2.5f, true}, {-2.5f, -4.3125f, true}};
    for (const auto& spot : spots)
        EXPECT_EQ(colourNear(spot.x, spot.y, kRed), spot.line) << spot.x << ", " << spot.y;
}

TEST_F(Drawing, MarkerAndLineColours)
{
    editor->showMessages = 0;
    editor->Display();
    // The default square: yellow markers (the red line runs over the centres
    // of points 1 and 2), the wire cube only around point 1.
    for (const auto& corner : kSquare)
        EXPECT_EQ(pixelAt(pixelX(corner.first) - 2, pixelY(corner.second)), kYellow);
    EXPECT_TRUE(colourNear(0.9f, 1, kYellow));
    EXPECT_EQ(pixelAt(pixelX(-0.92f), pixelY(1)), kBlack);
    EXPECT_TRUE(colourNear(1.25f, 0, kRed, 2));
    EXPECT_EQ(pixelAt(pixelX(0), pixelY(-1.25f)), kBlack);
    // Curves before the current one keep the level colour; the current
    // curve's markers are yellow; later curves and every line turn red.
    replaceLevel(0, makeLevel(0, {{{-3, 3}}, {{-3, -3}, {-2, -3}}, {{3, 3}}}));
    level(0).currentCurve = 1;
    editor->Display();
    EXPECT_EQ(pixelAt(pixelX(-3), pixelY(3)), kCurrentLevel);
    EXPECT_EQ(pixelAt(pixelX(-3), pixelY(-3) - 2), kYellow);
    EXPECT_TRUE(colourNear(-2.5f, -3, kRed));
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
    EXPECT_TRUE(colourNear(-2.5f, -3, kCurrentLevel));
}

// Level i holds one straight line at y = 4 - 2 (i % 5), markers far off at
// x = +-4. The current level lies on the far clip plane, and level 0 on the
// near one when it is the lowest level shown; on level 19 rounding puts the
// far plane just short of the level unless depth is clamped.
TEST_F(Drawing, LevelLinesInTheirColoursUpToTheClipPlanes)
{
    editor->showMessages = 0;
    freeLevels(editor->spline);
    for (int i = 0; i <= 19; ++i)
        editor->spline.push_back(makeLevel(i, {{{-4, 4.0f - 2 * (i % 5)}, {4, 4.0f - 2 * (i % 5)}}}));
    const struct { int current; Rgb rows[5]; } cases[] = {
        {3, {kThreeBelow, kTwoBelow, kOneBelow, kRed, kBlack}}, {19, {kBlack, kThreeBelow, kTwoBelow, kOneBelow, kRed}}};
    for (const auto& c : cases) {
        while (editor->currentLevel < c.current)
            key(GLUT_KEY_UP);
        editor->Display();
        for (int row = 0; row < 5; ++row)
            EXPECT_TRUE(colourNear(0, 4.0f - 2 * row, c.rows[row])) << row << " on " << c.current;
    }
}

// The pixels of the overlay's corner (160 x 110) that have the colour,
// cropped to where they are, so that a text matches itself in any colour and
// on any row; empty when no pixel has it.
using Mask = std::vector<std::vector<bool>>;

Mask overlayMask(Rgb colour)
{
    std::vector<unsigned char> rgb(160 * 110 * 3);
    glReadPixels(0, 480 - 110, 160, 110, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    Mask rows(110, std::vector<bool>(160));
    int left = 160, right = -1;
    for (int at = 0; at < 160 * 110; ++at)
        if (Rgb{rgb[3 * at], rgb[3 * at + 1], rgb[3 * at + 2]} == colour) {
            rows[at / 160][at % 160] = true;
            left = std::min(left, at % 160);
            right = std::max(right, at % 160);
        }
    Mask cropped;
    for (const std::vector<bool>& row : rows)
        if (std::find(row.begin(), row.end(), true) != row.end() || !cropped.empty())
            cropped.emplace_back(row.begin() + left, row.begin() + right + 1);
    while (!cropped.empty() && std::find(cropped.back().begin(), cropped.back().end(), true) == cropped.back().end())
        cropped.pop_back();
    return cropped;
}

// The legend names the current level in red and up to three below it in
// their level colours, under fixed lines in magenta; 'w' hides it all.
TEST_F(Drawing, OverlayLegendFollowsTheCurrentLevel)
{
    const Rgb kText{230, 0, 230}, labels[] = {kRed, kOneBelow, kTwoBelow, kThreeBelow};
    std::vector<std::vector<Mask>> legends;
    for (const int top : {0, 2, 7}) {
        while (editor->currentLevel < top)
            key(GLUT_KEY_UP);
        editor->Display();
        EXPECT_FALSE(overlayMask(kText).empty());
        legends.emplace_back();
        for (int below = 0; below <= 3; ++below) {
            legends.back().push_back(overlayMask(labels[below]));
            EXPECT_EQ(legends.back().back().empty(), below > top) << below << " below " << top;
        }
    }
    // "Level   0": current on level 0, two below on level 2.
    EXPECT_EQ(legends[1][2], legends[0][0]);
    EXPECT_NE(legends[1][0], legends[0][0]);
    EXPECT_NE(legends[2][0], legends[1][0]);
    editor->Keyboard('w', 0, 0);
    editor->Display();
    EXPECT_TRUE(overlayMask(kText).empty());
    EXPECT_TRUE(overlayMask(kRed).empty());
}

}  // namespace
