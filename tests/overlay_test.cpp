#include "support.h"

namespace {

const int kCompareWidth = 600;  // the overlay's columns; level markers sit further right
const char kCredit[] = "Ombrel Editor by the Ombrel developers, Ombrel Studio, 2026 ";

struct TextLine {
    float x, y;
    float colour[3];
    std::string text;
};

std::vector<unsigned char> overlayColumns()
{
    std::vector<unsigned char> pixels(kCompareWidth * 480 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kCompareWidth, 480, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The overlay as it must look: exactly these lines on black.
std::vector<unsigned char> expectedOverlay(const std::vector<TextLine>& lines)
{
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 3000, 0, 3000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (const TextLine& line : lines) {
        glColor3fv(line.colour);
        glRasterPos2f(line.x, line.y);
        for (const char c : line.text)
            glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c);
    }
    return overlayColumns();
}

int differingBytes(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

std::vector<TextLine> fixedLines()
{
    return {{10, 10, {0.9f, 0, 0.9f}, kCredit},
            {40, 2840, {0.9f, 0, 0.9f}, "(F1) to save"},
            {600, 2840, {0.9f, 0, 0.9f}, "(F12) to open"},
            {40, 2490, {0.9f, 0, 0.9f}, "New (C)urve"},
            {40, 2420, {0.9f, 0, 0.9f}, "Cl(O)se curve"}};
}

class Overlay : public EditorTest {
protected:
    // Levels 0..top, each a single marker at the right edge, away from the text.
    void climbTo(int top)
    {
        freeLevels(editor->spline);
        for (int i = 0; i <= top; ++i)
            editor->spline.push_back(makeLevel(i, {{{4.8f, 0}}}));
        editor->currentLevel = top;
        editor->cameraPos[2] = 5 + top;
    }
    void expectOverlay(std::vector<TextLine> lines)
    {
        editor->Display();
        const std::vector<unsigned char> drawn = overlayColumns();
        const std::vector<unsigned char> expected = expectedOverlay(lines);
        EXPECT_EQ(differingBytes(drawn, expected), 0);
        EXPECT_EQ(differingBytes(expected, std::vector<unsigned char>(expected.size(), 0)) > 0, !lines.empty());
    }
};

// The legend names the current level in red and up to three below it in
// their level colours; on level 0 the overlay is six lines.
TEST_F(Overlay, LegendFollowsTheCurrentLevel)
{
    const float colours[4][3] = {{1, 0, 0}, {0.2f, 0.6f, 0.9f}, {0.8f, 0, 0.8f}, {0, 0, 1}};
    for (const int top : {0, 2, 7}) {
        climbTo(top);
        std::vector<TextLine> lines = fixedLines();
        for (int below = 0; below <= std::min(top, 3); ++below)
            lines.push_back({40, 2770.0f - 70 * below, {colours[below][0], colours[below][1], colours[below][2]},
                             "Level   " + std::to_string(top - below)});
        expectOverlay(lines);
    }
}

TEST_F(Overlay, SwitchedOffDrawsNothing)
{
    climbTo(3);
    editor->Keyboard('w', 0, 0);
    expectOverlay({});
}

TEST_F(Overlay, RestoresBothMatrices)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 2, -3, 4, 5, 6);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    std::vector<float> before(32), after(32);
    glGetFloatv(GL_PROJECTION_MATRIX, before.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, before.data() + 16);
    editor->Messages();
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data() + 16);
    EXPECT_EQ(before, after);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
}

TEST_F(Overlay, TakesNoPartInPicking)
{
    // A press on "(F1) to save" with nothing of the levels near it.
    climbTo(0);
    editor->MouseMoved(20, 26);
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 20, 26);
    EXPECT_EQ(editor->hits, 0);
}

}  // namespace
