#include <sys/stat.h>

#include "support.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Keys : public EditorTest {
protected:
    void up() { editor->SpecialKeyboard(GLUT_KEY_UP, 0, 0); }
    void down() { editor->SpecialKeyboard(GLUT_KEY_DOWN, 0, 0); }
    void expectAtLevel(int number)
    {
        EXPECT_EQ(editor->currentLevel, number);
        EXPECT_EQ(editor->cameraPos[2], 5 + number);
    }
};

TEST_F(Keys, DownStopsAtLevelZero)
{
    down();
    expectAtLevel(0);
    EXPECT_EQ(editor->spline.size(), 1u);
    up();
    up();
    down();
    expectAtLevel(1);
}

TEST_F(Keys, UpAtTheTopCopiesTheLevelOneUnitHigher)
{
    level(0).addNewCurve();
    up();
    expectAtLevel(1);
    ASSERT_EQ(editor->spline.size(), 2u);
    EXPECT_EQ(level(1).level, 1);
    EXPECT_EQ(level(1).currentCurve, 1);
    const Vec3& copied = level(1).levelCurves[0].controlPoints[2];
    EXPECT_EQ(copied.pos[0], level(0).levelCurves[0].controlPoints[2].pos[0]);
    EXPECT_EQ(copied.pos[1], level(0).levelCurves[0].controlPoints[2].pos[1]);
    EXPECT_EQ(copied.pos[2], 1);
}

TEST_F(Keys, ClimbingBackReturnsToTheSameUpperLevel)
{
    up();
    level(1).addControlPoint(320, 240);
    down();
    up();
    EXPECT_EQ(editor->spline.size(), 2u);
    EXPECT_EQ(level(1).levelCurves[0].controlPoints.size(), 5u);
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
        editor->SpecialKeyboard(key, 0, 0);
        glutMainLoopEvent();
    }
    EXPECT_EQ(framesDrawn, 3);
    EXPECT_EQ(level(0).levelCurves.size(), 1u);
    expectAtLevel(0);
}

TEST_F(Keys, EscapeExitsAtOnceWithoutSaving)
{
    files->setOutputName(tempPath("never-written.lvl").c_str());
    EXPECT_EXIT(editor->Keyboard(27, 0, 0), testing::ExitedWithCode(0), "");
    struct stat info;
    EXPECT_NE(stat(tempPath("never-written.lvl").c_str(), &info), 0);
}

TEST_F(Keys, SaveThenReloadRoundTrips)
{
    const std::string path = tempPath("round-trip.lvl");
    files->setOutputName(path.c_str());
    files->setInputName(path.c_str());
    editor->Keyboard('c', 0, 0);
    up();
    level(1).addControlPoint(100, 100);
    CaptureStdout();
    editor->SpecialKeyboard(GLUT_KEY_F1, 0, 0);
    const std::string saved = readWholeFile(path);
    editor->SpecialKeyboard(GLUT_KEY_F12, 0, 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_EQ(editor->spline.size(), 2u);
    expectAtLevel(1);
    EXPECT_EQ(level(1).levelCurves[0].controlPoints.size(), 4u);
    EXPECT_EQ(level(1).levelCurves[1].controlPoints.size(), 5u);
    EXPECT_EQ(level(1).WindowWidth, 640);
    editor->SpecialKeyboard(GLUT_KEY_F1, 0, 0);
    EXPECT_EQ(readWholeFile(path), saved);
}

TEST_F(Keys, ReloadWithFewerLevelsStepsDownWithTheCamera)
{
    writeWholeFile(tempPath("one-level.lvl"), "( 0 )\n0 1.0000 2.0000 0.0000\n\n");
    files->setInputName(tempPath("one-level.lvl").c_str());
    up();
    up();
    up();
    editor->SpecialKeyboard(GLUT_KEY_F12, 0, 0);
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 1u);
}

TEST_F(Keys, ReloadOfAFileWithoutPointsGivesAFreshSquare)
{
    writeWholeFile(tempPath("structure-only.lvl"), "( 0 1 )\n\n( )\n\n");
    files->setInputName(tempPath("structure-only.lvl").c_str());
    up();
    editor->SpecialKeyboard(GLUT_KEY_F12, 0, 0);
    ASSERT_EQ(editor->spline.size(), 1u);
    expectAtLevel(0);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 4u);
}

TEST_F(Keys, FailedReloadKeepsTheLevelsAndStillResizes)
{
    const std::string missing = tempPath("missing.lvl");
    files->setInputName(missing.c_str());
    up();
    level(1).WindowWidth = 1;
    CaptureStdout();
    editor->SpecialKeyboard(GLUT_KEY_F12, 0, 0);
    EXPECT_EQ(GetCapturedStdout(), "Can't open " + missing + "\n");
    EXPECT_EQ(editor->spline.size(), 2u);
    expectAtLevel(1);
    EXPECT_EQ(level(1).WindowWidth, 640);
}

TEST_F(Keys, BothPromptsReadTheirNameFromTheConsole)
{
    const std::string path = tempPath("prompted.lvl");
    feedStdin(path + "\n" + path + "\n");
    CaptureStdout();
    editor->SpecialKeyboard(GLUT_KEY_F1, 0, 0);
    editor->SpecialKeyboard(GLUT_KEY_F12, 0, 0);
    editor->SpecialKeyboard(GLUT_KEY_F1, 0, 0);
    EXPECT_EQ(GetCapturedStdout(), "Output filename: Input filename: ");
    EXPECT_EQ(files->writefile, path);
    EXPECT_EQ(files->readfile, path);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.size(), 4u);
}

}  // namespace
