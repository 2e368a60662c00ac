// What a frame shows: curve shapes, colours, depth planes and the overlay.
#include <cstdio>

#include "support.h"
#include "core/LevelModel.h"

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

// Which pixels of the overlay's corner (160 x 110) have the colour.
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
// their level colours, under fixed lines in magenta; 'w' hides it all. On
// level 2 every text pixel of the corner is where the real program put it in
// the picture in docs/ (made by scripts/screenshots).
TEST_F(Drawing, OverlayLegendFollowsTheCurrentLevel)
{
    const Rgb kText{230, 0, 230}, labels[] = {kRed, kOneBelow, kTwoBelow, kThreeBelow};
    const std::vector<bool> none(160 * 110, false);
    for (const int top : {0, 2, 7}) {
        while (editor->currentLevel < top)
            key(GLUT_KEY_UP);
        editor->Display();
        EXPECT_NE(overlayMask(kText), none);
        for (int below = 0; below <= 3; ++below)
            EXPECT_EQ(overlayMask(labels[below]) != none, below <= top) << below << " below " << top;
        if (top != 2)
            continue;
        // The text's 160 x 100 corner, above a marker of the picture's level 1.
        std::vector<unsigned char> drawn(160 * 100 * 3), shown;
        glReadPixels(0, 480 - 100, 160, 100, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());
        FILE* const picture = popen("convert " OMBREL_SOURCE_DIR "/docs/overlay-level2.png -crop 160x100+0+0 -flip "
                                    "-depth 8 rgb:-", "r");
        for (int c; (c = std::fgetc(picture)) != EOF;)
            shown.push_back(static_cast<unsigned char>(c));
        EXPECT_EQ(pclose(picture), 0);
        ASSERT_EQ(shown.size(), drawn.size());
        for (size_t at = 0; at < drawn.size(); at += 3)
            for (const Rgb& text : {kText, kRed, kOneBelow, kTwoBelow})
                ASSERT_EQ((Rgb{drawn[at], drawn[at + 1], drawn[at + 2]} == text), (Rgb{shown[at], shown[at + 1], shown[at + 2]} == text))
                    << "pixel " << at / 3 % 160 << ", " << 99 - at / 3 / 160;
    }
    editor->Keyboard('w', 0, 0);
    editor->Display();
    EXPECT_EQ(overlayMask(kText), none);
    EXPECT_EQ(overlayMask(kRed), none);
}

}  // namespace
