#include "support.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

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

// Character keys ask for a frame, recognised or not; special keys never do.
TEST_F(Keys, OnlyCharacterKeysRequestARedisplay)
{
    glutDisplayFunc(countFrame);
    glutMainLoopEvent();
    framesDrawn = 0;
    for (const unsigned char key : {'W', 'x', 'w'}) {
        editor->Keyboard(key, 0, 0);
        glutMainLoopEvent();
    }
    EXPECT_EQ(framesDrawn, 3);
    EXPECT_EQ(editor->showMessages, 0);
    for (const int key : {GLUT_KEY_F2, GLUT_KEY_HOME, GLUT_KEY_RIGHT}) {
        press(key);
        glutMainLoopEvent();
    }
    EXPECT_EQ(framesDrawn, 3);
    EXPECT_EQ(level(0).levelCurves.size(), 1u);
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

TEST_F(Keys, ReloadFreesTheOldLevelsAndKeepsTheCurrentOneWithinTheFile)
{
    for (int i = 0; i < 3; ++i)
        press(GLUT_KEY_UP);
    const std::vector<Splines*> old = editor->spline;
    reloadFrom("( 0 )\n0 1.0000 2.0000 0.0000\n\n");
#ifdef __SANITIZE_ADDRESS__
    for (const Splines* replaced : old)
        EXPECT_TRUE(__asan_address_is_poisoned(replaced));
#endif
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
