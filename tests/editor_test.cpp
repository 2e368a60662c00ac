#include "support.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Frame : public EditorTest {};

std::vector<double> matrix(GLenum which)
{
    std::vector<double> values(16);
    glGetDoublev(which, values.data());
    return values;
}

TEST_F(Frame, CameraAndDepthRangeFollowTheCurrentLevel)
{
    // near = 5 + level, far = 5 (4 on level 0): glOrtho's third row holds
    // -2 / (far - near) and -(far + near) / (far - near).
    const struct { int level; double zScale, zOffset; } cases[] = {{0, 2, 9}, {1, 2, 11}, {5, 0.4, 3}};
    for (const auto& c : cases) {
        while (editor->currentLevel < c.level)
            editor->SpecialKeyboard(GLUT_KEY_UP, 0, 0);
        editor->Display();
        const std::vector<double> projection = matrix(GL_PROJECTION_MATRIX);
        const std::vector<double> modelview = matrix(GL_MODELVIEW_MATRIX);
        EXPECT_NEAR(projection[0], 0.2, 1e-6);
        EXPECT_NEAR(projection[5], 0.2, 1e-6);
        EXPECT_NEAR(projection[10], c.zScale, 1e-6);
        EXPECT_NEAR(projection[14], c.zOffset, 1e-6);
        EXPECT_DOUBLE_EQ(projection[12], 0);
        EXPECT_DOUBLE_EQ(modelview[14], -(5 + c.level));
        EXPECT_DOUBLE_EQ(modelview[0], 1);
        EXPECT_DOUBLE_EQ(modelview[5], 1);
    }
}

TEST_F(Frame, ReshapeSetsViewportAndEveryLevelsSize)
{
    editor->SpecialKeyboard(GLUT_KEY_UP, 0, 0);
    editor->Reshape(800, 400);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 800, 400}));
    EXPECT_EQ(editor->WindowWidth, 800);
    for (const Splines* level : editor->spline) {
        EXPECT_EQ(level->WindowWidth, 800);
        EXPECT_EQ(level->WindowHeight, 400);
    }
    editor->Reshape(640, 480);
}

// A level whose curve 0 has 4 points and curve 1 has 3, spread apart.
class Mouse : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        delete editor->spline[0];
        editor->spline[0] = makeLevel(0, {{{-4, 4}, {-3, 4}, {-2, 4}, {-1, 4}}, {{-4, -4}, {-3, -4}, {-2, -4}}});
        editor->Reshape(640, 480);
        editor->showMessages = 0;
    }
    // Moves to the level point, presses there, and returns what was printed.
    std::string press(int button, float x, float y)
    {
        editor->MouseMoved(pixelX(x), pixelY(y));
        CaptureStdout();
        editor->Mouse(button, GLUT_DOWN, pixelX(x), pixelY(y));
        return GetCapturedStdout();
    }
    size_t pointCount() const
    {
        return level0().levelCurves[0].controlPoints.size() + level0().levelCurves[1].controlPoints.size();
    }
    const Splines& level0() const { return *editor->spline[0]; }
};

TEST_F(Mouse, LeftPressPicksTheMarkerUnderThePointer)
{
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -3, -4), "Curve number: 1\t\tPoint number: 1\n");
    EXPECT_EQ(level(0).objectPicked, 5);
    EXPECT_EQ(level(0).renderMode, static_cast<unsigned>(GL_RENDER));
    // The pass looks where the pointer last moved, not at the press itself.
    editor->MouseMoved(pixelX(-2), pixelY(4));
    CaptureStdout();
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 5, 5);
    EXPECT_EQ(GetCapturedStdout(), "Curve number: 0\t\tPoint number: 2\n");
    // Of two markers on one spot, the lower level-wide index wins.
    level(0).levelCurves[1].controlPoints[2] = Vec3(-3, 4, 0);
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -3, 4), "Curve number: 0\t\tPoint number: 1\n");
}

TEST_F(Mouse, PressesOnNothingOfTheCurrentLevelSelectNothing)
{
    editor->spline.push_back(makeLevel(1, {{{1, 3}, {3, 3}, {3, 1}, {1, 1}}}));
    level(0).levelCurves[0].controlPoints.push_back(Vec3(3, -3, 0));
    editor->currentLevel = 1;
    editor->cameraPos[2] = 6;
    // Empty space, a marker of the level below, and the current level's line
    // where it bulges out, away from every marker.
    for (const auto& spot : {std::make_pair(0.0f, 0.0f), {3.0f, -3.0f}, {3.25f, 2.0f}}) {
        EXPECT_EQ(press(GLUT_LEFT_BUTTON, spot.first, spot.second), "");
        EXPECT_EQ(level(1).objectPicked, -1);
        editor->Idle();
        editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
    }
    // The level's last point, which a press on its line must not drag.
    EXPECT_EQ(level(1).levelCurves[0].controlPoints[3].pos[0], 1);
}

TEST_F(Mouse, DragFollowsThePointerUntilRelease)
{
    press(GLUT_LEFT_BUTTON, -3, -4);
    const Vec3& dragged = level(0).levelCurves[1].controlPoints[1];
    editor->MouseMoved(100, 50);
    editor->Idle();
    EXPECT_FLOAT_EQ(dragged.pos[0], 100.0f / 640 * 10 - 5);
    EXPECT_FLOAT_EQ(dragged.pos[1], 5 - 50.0f / 480 * 10);
    EXPECT_EQ(dragged.pos[2], 0);
    editor->MouseMoved(-50, 700);  // past a corner: held on the square's edge
    editor->Idle();
    EXPECT_EQ(dragged.pos[0], -5);
    EXPECT_EQ(dragged.pos[1], -5);
    editor->MouseMoved(320, 240);
    editor->Idle();
    EXPECT_FLOAT_EQ(dragged.pos[0], 0);
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 320, 240);
    EXPECT_EQ(level(0).objectPicked, -1);
    editor->MouseMoved(10, 10);
    editor->Idle();
    EXPECT_FLOAT_EQ(dragged.pos[0], 0);
}

TEST_F(Mouse, MiddlePressDeletesSilentlyAndAMissLeavesNothingPending)
{
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, -2, -4), "");
    EXPECT_EQ(level(0).levelCurves[1].controlPoints.size(), 2u);
    EXPECT_EQ(level(0).levelCurves[1].controlPoints[1].pos[0], -3);
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, 0, 0), "");
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -4, 4), "Curve number: 0\t\tPoint number: 0\n");
    EXPECT_EQ(pointCount(), 6u);
}

TEST_F(Mouse, ADragKeepsItsPointWhateverIsAddedOrDeleted)
{
    press(GLUT_LEFT_BUTTON, -3, -4);
    press(GLUT_RIGHT_BUTTON, 0, 0);    // into curve 0: every index of curve 1 shifts
    press(GLUT_MIDDLE_BUTTON, -4, 4);  // and back
    editor->MouseMoved(10, 10);
    editor->Idle();
    const std::vector<Vec3>& curve1 = level(0).levelCurves[1].controlPoints;
    EXPECT_FLOAT_EQ(curve1[1].pos[0], 10.0f / 640 * 10 - 5);
    EXPECT_EQ(level(0).levelCurves[0].controlPoints.back().pos[0], 0);
    // Deleting the dragged point ends the drag: its neighbour stays.
    press(GLUT_MIDDLE_BUTTON, curve1[1].pos[0], curve1[1].pos[1]);
    editor->MouseMoved(320, 240);
    editor->Idle();
    EXPECT_EQ(curve1.size(), 2u);
    EXPECT_EQ(curve1[1].pos[0], -2);
}

TEST_F(Mouse, ACrowdedSpotStillPicksItsLowestIndex)
{
    // 70 markers on one spot make more hit records than 256 words hold.
    level(0).levelCurves[1].controlPoints.assign(70, Vec3(2, 2, 0));
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, 2, 2), "Curve number: 1\t\tPoint number: 0\n");
    EXPECT_GT(editor->hits, 64);
    press(GLUT_MIDDLE_BUTTON, 2, 2);
    EXPECT_EQ(pointCount(), 73u);
}

// A click must not flash an empty frame: the pass neither clears nor swaps.
TEST_F(Mouse, AClickLeavesTheScreenAndTheBackBufferAlone)
{
    editor->Display();
    glClearColor(0, 0, 1, 0);  // a back buffer that must not reach the screen
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    press(GLUT_LEFT_BUTTON, -4, 4);
    EXPECT_EQ(screenPixel(pixelX(-4), pixelY(4)), kYellow);
    EXPECT_EQ(pixelAt(pixelX(0), pixelY(0)), kThreeBelow);
}

}  // namespace
