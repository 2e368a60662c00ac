// The editor's pointer handling against the real window: picking, dragging,
// deleting, and a stream of random events.
#include <cmath>
#include <random>

#include "support.h"

namespace {

// Level 0 holds curve 0 of 4 points along y = 4 and curve 1 of 3 along y = -4.
class Mouse : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        replaceLevel(0, makeLevel(0, {{{-4, 4}, {-3, 4}, {-2, 4}, {-1, 4}}, {{-4, -4}, {-3, -4}, {-2, -4}}}));
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
    void moveTo(int x, int y)
    {
        editor->MouseMoved(x, y);
        editor->Idle();
    }
    Points curve(int j) { return xy(level(0).levelCurves[j]); }
};

TEST_F(Mouse, LeftPressPicksTheMarkerUnderThePointer)
{
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -3, -4), "Curve number: 1\t\tPoint number: 1\n");
    // The pass looks where the pointer last moved, not at the press itself.
    editor->MouseMoved(pixelX(-2), pixelY(4));
    CaptureStdout();
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 5, 5);
    EXPECT_EQ(GetCapturedStdout(), "Curve number: 0\t\tPoint number: 2\n");
    // Of two markers on one spot, the lower level-wide index wins.
    level(0).levelCurves[1].controlPoints[2] = Vec3(-3, 4, 0);
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -3, 4), "Curve number: 0\t\tPoint number: 1\n");
    // Empty curves take no numbers.
    level(0).levelCurves.insert(level(0).levelCurves.begin(), Nodes());
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -4, -4), "Curve number: 2\t\tPoint number: 0\n");
}

TEST_F(Mouse, PressesOnNothingOfTheCurrentLevelSelectNothing)
{
    editor->spline.push_back(makeLevel(1, {{{1, 3}, {3, 3}, {3, 1}, {1, 1}}}));
    level(0).levelCurves[0].controlPoints.push_back(Vec3(3, -3, 0));
    key(GLUT_KEY_UP);
    // Empty space, a marker of the level below, and the current level's line
    // where it bulges out, away from every marker.
    for (const auto& spot : {std::make_pair(0.0f, 0.0f), {3.0f, -3.0f}, {3.25f, 2.0f}}) {
        EXPECT_EQ(press(GLUT_LEFT_BUTTON, spot.first, spot.second) + press(GLUT_MIDDLE_BUTTON, spot.first, spot.second), "");
        moveTo(pixelX(0), pixelY(0));
        editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, pixelX(0), pixelY(0));
    }
    EXPECT_EQ(xy(level(1).levelCurves[0]), (Points{{1, 3}, {3, 3}, {3, 1}, {1, 1}}));
    EXPECT_EQ(curve(0).back(), std::make_pair(3.0f, -3.0f));
    // A marker over one of the level below is picked all the same.
    level(1).levelCurves[0].controlPoints.push_back(Vec3(3, -3, 1));
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, 3, -3), "Curve number: 0\t\tPoint number: 4\n");
}

TEST_F(Mouse, DragFollowsThePointerUntilRelease)
{
    press(GLUT_LEFT_BUTTON, -3, -4);
    const Vec3& dragged = level(0).levelCurves[1].controlPoints[1];
    moveTo(100, 50);
    EXPECT_FLOAT_EQ(dragged.pos[0], 100.0f / 640 * 10 - 5);
    EXPECT_FLOAT_EQ(dragged.pos[1], 5 - 50.0f / 480 * 10);
    EXPECT_EQ(dragged.pos[2], 0);
    moveTo(-50, 700);  // past a corner: held on the square's edge
    EXPECT_EQ(dragged.pos[0], -5);
    EXPECT_EQ(dragged.pos[1], -5);
    moveTo(320, 240);
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 320, 240);
    moveTo(10, 10);
    EXPECT_EQ(curve(1)[1], std::make_pair(0.0f, 0.0f));
}

// A release with no drag step since the last motion still leaves the point
// where the button came up.
TEST_F(Mouse, TheReleaseIsTheDragsLastStep)
{
    press(GLUT_LEFT_BUTTON, -3, -4);
    moveTo(100, 50);
    editor->MouseMoved(320, 240);
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 320, 240);
    EXPECT_EQ(curve(1)[1], std::make_pair(0.0f, 0.0f));
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);  // no drag: a release moves nothing
    EXPECT_EQ(curve(1)[1], std::make_pair(0.0f, 0.0f));
}

// A middle press deletes silently; a miss arms nothing for the next press;
// the point being dragged may go.
TEST_F(Mouse, MiddlePressDeletesTheMarkerUnderThePointer)
{
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, -3, -4), "");
    EXPECT_EQ(curve(1), (Points{{-4, -4}, {-2, -4}}));
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, 0, 0), "");
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, -2, -4), "Curve number: 1\t\tPoint number: 1\n");
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, -2, -4), "");
    moveTo(10, 10);
    EXPECT_EQ(curve(1), (Points{{-4, -4}}));
    EXPECT_EQ(curve(0).size(), 4u);
}

// Points added or deleted during a drag shift level-wide indices: the drag
// keeps its point, and ends when that point is deleted.
TEST_F(Mouse, ADragKeepsItsPointWhateverIsAddedOrDeleted)
{
    press(GLUT_LEFT_BUTTON, -3, -4);
    press(GLUT_RIGHT_BUTTON, 0, 0);    // into curve 0: every index of curve 1 shifts
    press(GLUT_MIDDLE_BUTTON, -4, 4);  // and back
    moveTo(10, 10);
    EXPECT_EQ(curve(1)[1], std::make_pair(10.0f / 640 * 10 - 5, 5 - 10.0f / 480 * 10));
    EXPECT_EQ(curve(0).back(), std::make_pair(0.0f, 0.0f));
    press(GLUT_MIDDLE_BUTTON, curve(1)[1].first, curve(1)[1].second);
    moveTo(320, 240);
    EXPECT_EQ(curve(1), (Points{{-4, -4}, {-2, -4}}));
}

// More markers under the pointer than 256 words of hit records hold: the
// pass is run again with room for all, and the lowest index still wins.
TEST_F(Mouse, ACrowdedSpotStillPicksItsLowestIndex)
{
    level(0).levelCurves[1].controlPoints.assign(70, Vec3(2, 2, 0));
    EXPECT_EQ(press(GLUT_LEFT_BUTTON, 2, 2), "Curve number: 1\t\tPoint number: 0\n");
    EXPECT_GT(editor->hits, 64);
    EXPECT_EQ(press(GLUT_MIDDLE_BUTTON, 2, 2), "");
    EXPECT_EQ(curve(1), Points(69, {2, 2}));
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

// A seeded stream of pointer and key events, some off the window: no fault,
// and every point stays inside the square on its own level's height.
TEST_F(EditorTest, RandomEventsKeepTheLevelsSound)
{
    std::mt19937 random(1);
    const char keys[] = "wcCOox";
    const int specials[] = {GLUT_KEY_LEFT, GLUT_KEY_RIGHT, GLUT_KEY_UP, GLUT_KEY_DOWN};
    auto pick = [&](int n) { return static_cast<int>(random() % n); };
    CaptureStdout();  // the pick reports
    for (int n = 0; n < 2000; ++n) {
        const int x = pick(700) - 30, y = pick(540) - 30;
        switch (pick(5)) {
        case 0: editor->MouseMoved(x, y); editor->Idle(); break;
        case 1: editor->Mouse(pick(3), pick(2), x, y); break;
        case 2: editor->Keyboard(keys[pick(6)], x, y); break;
        case 3: key(specials[pick(4)]); break;
        default: editor->Display();
        }
    }
    GetCapturedStdout();
    for (size_t i = 0; i < editor->spline.size(); ++i)
        for (const Nodes& curve : level(i).levelCurves)
            for (const Vec3& point : curve.controlPoints) {
                EXPECT_EQ(point.pos[2], static_cast<float>(i));
                EXPECT_LE(std::fabs(point.pos[0]), 5);  // inside the square, and so finite
                EXPECT_LE(std::fabs(point.pos[1]), 5);
            }
}
