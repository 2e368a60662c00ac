// Keys acting on the editor's levels and curves, and F12 through the editor.
#include <sys/stat.h>

#include "support.h"
#include "core/LevelModel.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace {

class Keys : public EditorTest {
protected:
    void expectAtLevel(int number)
    {
        EXPECT_EQ(editor->currentLevel, number);
        EXPECT_EQ(editor->cameraPos[2], 5 + number);
    }
    void reloadFrom(const std::string& text)
    {
        writeWholeFile(tempPath("reloaded.lvl"), text);
        files->setInputName(tempPath("reloaded.lvl").c_str());
        key(GLUT_KEY_F12);
    }
};

// Past the top level, Up copies it one unit higher (curves, closure, current
// curve and window size; nothing picked), and only once.
TEST_F(Keys, ClimbingCopiesTheTopLevelOnlyOnce)
{
    key(GLUT_KEY_DOWN);
    expectAtLevel(0);
    level(0).addNewCurve();
    level(0).closeCurve();
    level(0).levelCurves.emplace_back();
    level(0).objectPicked = 3;
    editor->Reshape(800, 400);
    key(GLUT_KEY_UP);
    expectAtLevel(1);
    ASSERT_EQ(editor->spline.size(), 2u);
    EXPECT_EQ(level(1).level, 1);
    EXPECT_EQ(level(1).currentCurve, 1);
    EXPECT_EQ(level(1).objectPicked, -1);
    EXPECT_EQ(level(1).levelCurves[1].closure, 1);
    EXPECT_EQ(level(1).levelCurves[2].controlPoints.size(), 0u);
    EXPECT_EQ(level(1).levelCurves[0].controlPoints[2].pos[2], 1);
    level(1).addControlPoint(400, 200);
    EXPECT_EQ(xy(level(1).levelCurves[1]).back(), std::make_pair(0.0f, 0.0f));
    key(GLUT_KEY_UP);
    key(GLUT_KEY_DOWN);
    expectAtLevel(1);
    key(GLUT_KEY_DOWN);
    key(GLUT_KEY_UP);
    EXPECT_EQ(editor->spline.size(), 3u);
    EXPECT_EQ(level(1).levelCurves[1].controlPoints.size(), 5u);
    editor->Reshape(640, 480);
}

// Each step: a key, then the current curve, the curve count and whether the
// current curve is closed.
TEST_F(Keys, CurveKeysStepAddCloseAndOpen)
{
    const struct { int key; bool special; int current, count, closed; } steps[] = {
        {GLUT_KEY_RIGHT, true, 0, 1, 0}, {GLUT_KEY_LEFT, true, 0, 1, 0}, {'c', false, 1, 2, 0},
        {'O', false, 1, 2, 1}, {'C', false, 2, 3, 0}, {GLUT_KEY_RIGHT, true, 0, 3, 0},
        {GLUT_KEY_RIGHT, true, 1, 3, 1}, {'o', false, 1, 3, 0}, {'O', false, 1, 3, 1},
        {GLUT_KEY_LEFT, true, 0, 3, 0}, {GLUT_KEY_LEFT, true, 2, 3, 0}, {'W', false, 2, 3, 0},
        {'x', false, 2, 3, 0}, {GLUT_KEY_HOME, true, 2, 3, 0}};
    for (const auto& s : steps) {
        s.special ? key(s.key) : editor->Keyboard(static_cast<unsigned char>(s.key), 0, 0);
        EXPECT_EQ(level(0).currentCurve, s.current) << s.key;
        EXPECT_EQ(level(0).levelCurves.size(), static_cast<size_t>(s.count)) << s.key;
        EXPECT_EQ(level(0).levelCurves[s.current].closure, s.closed) << s.key;
    }
    EXPECT_EQ(level(0).levelCurves[1].controlPoints.size(), 4u);
    EXPECT_EQ(level(0).levelCurves[1].closure, 1);
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

TEST_F(Keys, ReloadFreesTheOldLevelsAndKeepsTheCurrentOneWithinTheFile)
{
    for (int i = 0; i < 3; ++i)
        key(GLUT_KEY_UP);
    const std::vector<Splines*> old = editor->spline;
    reloadFrom("( 0 )\n0 1.0000 2.0000 0.0000\n\n");
#ifdef __SANITIZE_ADDRESS__
    for (const Splines* replaced : old)
        EXPECT_TRUE(__asan_address_is_poisoned(replaced));
#endif
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    files->setOutputName(tempPath("saved.lvl").c_str());
    key(GLUT_KEY_F1);
    EXPECT_EQ(readWholeFile(tempPath("saved.lvl")), "( 0 )\n0 1.0000 2.0000 0.0000\n\n");
    // A file without point lines leaves one fresh level with its square.
    key(GLUT_KEY_UP);
    reloadFrom("( 0 1 )\n\n( )\n\n");
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 4u);
}

// A missing file or a directory: "Can't open"; at start-up the editor begins
// with one fresh level, on F12 the levels stay (resized).
TEST_F(Keys, FailedReadsKeepTheLevels)
{
    mkdir(tempPath("folder.lvl").c_str(), 0755);
    for (const std::string& name : {tempPath("missing.lvl"), tempPath("folder.lvl")}) {
        files->setInputName(name.c_str());
        CaptureStdout();
        Graphics fresh(files);
        EXPECT_EQ(GetCapturedStdout(), "Can't open " + name + "\n");
        EXPECT_EQ(fresh.spline.size(), 1u);
        freeLevels(fresh.spline);
        key(GLUT_KEY_UP);
        level(1).WindowWidth = 1;
        CaptureStdout();
        key(GLUT_KEY_F12);
        EXPECT_EQ(GetCapturedStdout(), "Can't open " + name + "\n");
        EXPECT_EQ(editor->spline.size(), 2u);
        expectAtLevel(1);
        EXPECT_EQ(level(1).WindowWidth, 640);
        key(GLUT_KEY_DOWN);
    }
}

}  // namespace
