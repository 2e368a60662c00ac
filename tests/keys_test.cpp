#include "support.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Keys : public EditorTest {
protected:
    void press(int key) { editor->SpecialKeyboard(key, 0, 0); }
    void expectAtLevel(int number)
    {
        EXPECT_EQ(editor->currentLevel, number);
        EXPECT_EQ(editor->cameraPos[2], 5 + number);
    }
    void reloadFrom(const std::string& text)
    {
        writeWholeFile(tempPath("reloaded.lvl"), text);
        files->setInputName(tempPath("reloaded.lvl").c_str());
        press(GLUT_KEY_F12);
    }
};

TEST_F(Keys, ClimbingCopiesTheTopLevelOnlyOnce)
{
    press(GLUT_KEY_DOWN);
    expectAtLevel(0);
    level(0).addNewCurve();
    press(GLUT_KEY_UP);
    expectAtLevel(1);
    ASSERT_EQ(editor->spline.size(), 2u);
    EXPECT_EQ(level(1).level, 1);
    EXPECT_EQ(level(1).currentCurve, 1);
    EXPECT_EQ(level(1).levelCurves[0].controlPoints[2].pos[2], 1);
    level(1).addControlPoint(320, 240);
    press(GLUT_KEY_UP);
    press(GLUT_KEY_DOWN);
    expectAtLevel(1);
    press(GLUT_KEY_DOWN);
    press(GLUT_KEY_UP);
    EXPECT_EQ(editor->spline.size(), 3u);
    EXPECT_EQ(level(1).levelCurves[1].controlPoints.size(), 5u);
}

int framesDrawn = 0;
void countFrame() { ++framesDrawn; }

// Each event that may change the picture asks for exactly one frame; pointer
// motion, a hidden window and an idle pass with no drag ask for none.
TEST_F(Keys, EveryChangeRequestsOneFrameAndRestingRequestsNone)
{
    glutDisplayFunc(countFrame);
    glutMainLoopEvent();
    const struct { const char* event; void (*cause)(Graphics&); int frames; } cases[] = {
        {"unknown character key", [](Graphics& g) { g.Keyboard('W', 0, 0); }, 1},
        {"overlay key", [](Graphics& g) { g.Keyboard('w', 0, 0); }, 1},
        {"unknown special key", [](Graphics& g) { g.SpecialKeyboard(GLUT_KEY_F2, 0, 0); }, 1},
        {"arrow key", [](Graphics& g) { g.SpecialKeyboard(GLUT_KEY_RIGHT, 0, 0); }, 1},
        {"reshape", [](Graphics& g) { g.Reshape(640, 480); }, 1},
        {"right press", [](Graphics& g) { g.Mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 320, 240); }, 1},
        {"middle press", [](Graphics& g) { g.Mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0); }, 1},
        {"window shown", [](Graphics& g) { g.WindowStatus(GLUT_FULLY_RETAINED); }, 1},
        {"window uncovered", [](Graphics& g) { g.WindowStatus(GLUT_PARTIALLY_RETAINED); }, 1},
        {"window hidden", [](Graphics& g) { g.WindowStatus(GLUT_HIDDEN); }, 0},
        {"pointer motion", [](Graphics& g) { g.MouseMoved(10, 10); }, 0},
        {"idle pass", [](Graphics& g) { g.Idle(); }, 0},
        {"left press", [](Graphics& g) { g.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0); }, 1},
        {"drag step", [](Graphics& g) { g.Idle(); }, 1},
        {"left release", [](Graphics& g) { g.Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0); }, 1},
        {"idle pass after the drag", [](Graphics& g) { g.Idle(); }, 0},
    };
    for (const auto& c : cases) {
        framesDrawn = 0;
        c.cause(*editor);
        glutMainLoopEvent();
        glutMainLoopEvent();
        EXPECT_EQ(framesDrawn, c.frames) << c.event;
    }
    EXPECT_EQ(editor->showMessages, 0);
    EXPECT_EQ(level(0).levelCurves.size(), 1u);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 5u);
    expectAtLevel(0);
}

TEST_F(Keys, SaveThenReloadRoundTripsSilently)
{
    const std::string path = tempPath("round-trip.lvl");
    files->setOutputName(path.c_str());
    editor->Keyboard('c', 0, 0);
    press(GLUT_KEY_UP);
    level(1).addControlPoint(100, 100);
    CaptureStdout();
    press(GLUT_KEY_F1);
    const std::string saved = readWholeFile(path);
    reloadFrom(saved);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_EQ(editor->spline.size(), 2u);
    expectAtLevel(1);
    EXPECT_EQ(level(1).levelCurves[1].controlPoints.size(), 5u);
    EXPECT_EQ(level(1).WindowWidth, 640);
    press(GLUT_KEY_F1);
    EXPECT_EQ(readWholeFile(path), saved);
}

TEST_F(Keys, ReloadKeepsTheCurrentLevelWithinTheFile)
{
    for (int i = 0; i < 3; ++i)
        press(GLUT_KEY_UP);
    reloadFrom("( 0 )\n0 1.0000 2.0000 0.0000\n\n");
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 1u);
    // A file without point lines leaves one fresh level with its square.
    press(GLUT_KEY_UP);
    reloadFrom("( 0 1 )\n\n( )\n\n");
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 4u);
}

TEST_F(Keys, FailedReloadKeepsTheLevelsAndStillResizes)
{
    const std::string missing = tempPath("missing.lvl");
    files->setInputName(missing.c_str());
    press(GLUT_KEY_UP);
    level(1).WindowWidth = 1;
    CaptureStdout();
    press(GLUT_KEY_F12);
    EXPECT_EQ(GetCapturedStdout(), "Can't open " + missing + "\n");
    EXPECT_EQ(editor->spline.size(), 2u);
    expectAtLevel(1);
    EXPECT_EQ(level(1).WindowWidth, 640);
}

}  // namespace
