#include "Graphics.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FileIO.h"
#include "core/LevelColours.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

// Last: only the refresh-rate query needs Xlib's names (Display, Bool).
#include <GL/glx.h>

namespace {

const double kPickRegion = 8.0;
const int kCameraHeight = 5;
const unsigned char kEscape = 27;

// Overlay layout, in a 0..3000 square over the whole viewport.
const float kOverlaySize = 3000.0f;
const float kTextColour[3] = {0.9f, 0.0f, 0.9f};
const float kCurrentLabelColour[3] = {1.0f, 0.0f, 0.0f};
const float kLeftColumn = 40.0f;
const float kTopRow = 2840.0f;
const float kFirstLabelRow = 2770.0f;
const float kRowStep = 70.0f;
const char kCredit[] = "Ombrel Editor by the Ombrel developers, Ombrel Studio, 2026 ";

const double kDefaultRefreshRate = 60.0;

// The display's refresh interval in milliseconds where GLX reports the rate,
// otherwise (software rendering, Xvfb, remote displays) that of 60 Hz.
double displayRefreshInterval()
{
    using GetMscRate = Bool (*)(::Display*, GLXDrawable, int32_t*, int32_t*);
    ::Display* const display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    int32_t numerator = 0;
    int32_t denominator = 0;
    if (display && drawable) {
        const char* const extensions = glXQueryExtensionsString(display, DefaultScreen(display));
        const auto getMscRate = reinterpret_cast<GetMscRate>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXGetMscRateOML")));
        if (extensions && std::strstr(extensions, "GLX_OML_sync_control") && getMscRate)
            getMscRate(display, drawable, &numerator, &denominator);
    }
    if (numerator > 0 && denominator > 0)
        return 1000.0 * denominator / numerator;
    return 1000.0 / kDefaultRefreshRate;
}

void runIdle(void* editor) { static_cast<Graphics*>(editor)->Idle(); }
void dragStepDue(int, void* editor) { glutIdleFuncUcall(runIdle, editor); }

// The dragged point's level-wide index once the point at `deleted` is gone
// (-1: nothing was deleted). Later points move down one; deleting the
// dragged point itself ends the drag.
int indexAfterDeletion(int dragged, int deleted)
{
    if (deleted < 0 || dragged < deleted)
        return dragged;
    return dragged == deleted ? -1 : dragged - 1;
}

}  // namespace

Graphics::Graphics(FileIO* input)
    : mousePos{0, 0},
      movingMode(0),
      deleteMode(0),
      showMessages(1),
      cameraPos{0, 0, kCameraHeight},
      selectBuf{},
      hits(0),
      viewport{0, 0, 0, 0},
      WindowWidth(0),
      WindowHeight(0),
      saveData(input),
      currentLevel(0),
      nextDragStep(0.0),
      refreshInterval(0.0),
      dragStepScheduled(0)
{
    if (saveData->getInputName() != "")
        saveData->readFile(spline);
    KeepLevelsUsable();
}

// Every operation addresses spline[currentLevel]; a read may bring fewer
// levels than that, or none, so step down with the camera or start afresh.
void Graphics::KeepLevelsUsable()
{
    if (spline.empty())
        spline.push_back(new Splines);
    currentLevel = std::min(currentLevel, static_cast<int>(spline.size()) - 1);
    cameraPos[2] = kCameraHeight + currentLevel;
}

void Graphics::DrawingSetup()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    // Level 0 and the current level lie exactly on the near and far planes;
    // clamping depth instead of clipping keeps them visible.
    glEnable(GL_DEPTH_CLAMP);
}

void Graphics::Display()
{
    Splines* const current = spline[currentLevel];
    if (current->renderMode == GL_SELECT) {
        // A selection pass draws nothing visible, so it leaves the colour
        // buffer and the screen to the frames around it.
        hits = SelectionHits(selectBuf, kSelectBufferSize);
        if (hits >= 0) {
            ProcessHits(hits, selectBuf);
            return;
        }
        // A crowded spot overflows the fixed buffer: pass again with room for
        // a record per marker and for the name 0 before and after them.
        const int markers = current->firstIndexOf(static_cast<int>(current->levelCurves.size()));
        std::vector<unsigned int> room(4 * (markers + 2));
        hits = SelectionHits(room.data(), static_cast<int>(room.size()));
        ProcessHits(hits, room.data());
        return;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawLevels(false);
    if (showMessages)
        Messages();
    glutSwapBuffers();
}

// Camera, projection and the levels, lowest first so that the current one
// lies on top; a selection pass looks only at the pick region.
void Graphics::DrawLevels(bool selecting)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(cameraPos[0], cameraPos[1], cameraPos[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    // Projection: the -5..5 square, depth from level 0 up to the current one.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (selecting)
        gluPickMatrix(mousePos[0], viewport[3] - mousePos[1], kPickRegion, kPickRegion, viewport);
    const float left = -5.0f;
    const float bottom = -5.0f;
    const int farPlane = cameraPos[2] - (currentLevel == 0 ? 1 : currentLevel);
    glOrtho(left, -left, bottom, -bottom, cameraPos[2], farPlane);
    glMatrixMode(GL_MODELVIEW);

    for (int i = std::max(0, currentLevel - kLevelsBelowShown); i <= currentLevel; ++i) {
        glColor3fv(kLevelColours[currentLevel - i]);
        spline[i]->drawSpline(currentLevel);
    }
}

// The hit-record count of one selection pass into the buffer, or -1 when
// the records did not fit.
int Graphics::SelectionHits(unsigned int* buffer, int size)
{
    glGetIntegerv(GL_VIEWPORT, viewport);
    glSelectBuffer(size, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    DrawLevels(true);
    return glRenderMode(GL_RENDER);
}

void Graphics::Reshape(int width, int height)
{
    WindowWidth = width;
    WindowHeight = height;
    glViewport(0, 0, width, height);
    for (size_t x = 0; x < spline.size(); ++x)
        spline[x]->setWindowSize(width, height);
    glutPostRedisplay();
}

// The main loop sleeps only while no idle callback is registered, so this one
// is registered just for the drag step due at each refresh, then drops itself.
void Graphics::Idle()
{
    glutIdleFunc(nullptr);
    dragStepScheduled = 0;
    if (!movingMode)
        return;
    DragTrack();
    glutPostRedisplay();
    ScheduleDragStep();
}

// Steps keep to the refresh interval counted from the previous step's due
// time; a step already late (a slow frame) runs at once and restarts the
// count, and none waits longer than one interval, whatever the clock did.
void Graphics::ScheduleDragStep()
{
    if (dragStepScheduled)
        return;
    dragStepScheduled = 1;
    if (refreshInterval == 0.0)
        refreshInterval = displayRefreshInterval();
    const double now = glutGet(GLUT_ELAPSED_TIME);
    nextDragStep = std::clamp(nextDragStep + refreshInterval, now, now + refreshInterval);
    glutTimerFuncUcall(static_cast<unsigned>(std::ceil(nextDragStep - now)), dragStepDue, 0, this);
}

// An uncovered or re-shown window has lost its picture.
void Graphics::WindowStatus(int state)
{
    if (state == GLUT_FULLY_RETAINED || state == GLUT_PARTIALLY_RETAINED)
        glutPostRedisplay();
}

// ---------------------------------------------------------------- mouse

void Graphics::MouseMoved(int x, int y)
{
    mousePos[0] = x;
    mousePos[1] = y;
}

void Graphics::SelectionPass()
{
    Splines* const current = spline[currentLevel];
    current->renderMode = GL_SELECT;
    Display();
    current->renderMode = GL_RENDER;
}

// Points added or deleted while the left button is held shift level-wide
// indices; the drag keeps the point its press picked all the same.
void Graphics::Mouse(int button, int state, int x, int y)
{
    Splines* const current = spline[currentLevel];
    if (button == GLUT_RIGHT_BUTTON && state == GLUT_DOWN) {
        int curve, point;
        const bool dragging = movingMode && current->locatePoint(current->objectPicked, curve, point);
        current->addControlPoint(x, y);
        if (dragging)
            current->objectPicked = current->firstIndexOf(curve) + point;
    } else if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
        movingMode = 1;
        SelectionPass();
    } else if (button == GLUT_LEFT_BUTTON && state == GLUT_UP) {
        // The release is the drag's last step: drag steps keep to the
        // display's pace, and one may not have run since the last motion.
        if (movingMode) {
            mousePos[0] = x;
            mousePos[1] = y;
            DragTrack();
        }
        movingMode = 0;
        current->objectPicked = -1;
    } else if (button == GLUT_MIDDLE_BUTTON && state == GLUT_DOWN) {
        const int dragged = current->objectPicked;
        deleteMode = 1;
        SelectionPass();
        if (movingMode)
            current->objectPicked = indexAfterDeletion(dragged, current->objectPicked);
    }
    // Any button may change the picture.
    glutPostRedisplay();
    if (movingMode)
        ScheduleDragStep();
}

void Graphics::ProcessHits(int hits, unsigned int* buffer)
{
    Splines* const current = spline[currentLevel];
    // Every record holds one name, so record n's name is word 4n - 1; the
    // first positive one is the marker with the lowest level-wide index.
    current->objectPicked = -1;
    for (int n = 1; n <= hits; ++n) {
        const int name = static_cast<int>(buffer[4 * n - 1]);
        if (name > 0) {
            current->objectPicked = name - 1;
            break;
        }
    }
    // A deletion belongs to its own middle press only: a miss must not arm
    // the loss of whatever point is clicked next.
    const bool deleting = deleteMode != 0;
    deleteMode = 0;
    int curve, point;
    if (!current->locatePoint(current->objectPicked, curve, point))
        return;
    if (deleting) {
        current->deleteControlPoint();
    } else if (movingMode) {
        std::printf("Curve number: %d\t\tPoint number: %d\n", curve, point);
        std::fflush(stdout);
    }
}

void Graphics::DragTrack()
{
    Splines* const current = spline[currentLevel];
    int curve, point;
    float x, y;
    if (!current->locatePoint(current->objectPicked, curve, point) ||
        !windowToLevel(mousePos[0], mousePos[1], WindowWidth, WindowHeight, x, y))
        return;
    Vec3& picked = current->levelCurves[curve].controlPoints[point];
    picked.pos[0] = x;
    picked.pos[1] = y;
}

// ---------------------------------------------------------------- overlay

void Graphics::Char2Wall(float x, float y, float z, const char* buf)
{
    glRasterPos3f(x, y, z);
    for (const char* p = buf; *p; ++p)
        glutBitmapCharacter(GLUT_BITMAP_9_BY_15, *p);
}

void Graphics::Messages()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, kOverlaySize, 0, kOverlaySize);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glColor3fv(kTextColour);
    Char2Wall(10, 10, 0, kCredit);
    Char2Wall(kLeftColumn, kTopRow, 0, "(F1) to save");
    Char2Wall(600, kTopRow, 0, "(F12) to open");
    // A legend of the levels on screen, the current one at the top.
    for (int below = 0; below <= std::min(currentLevel, kLevelsBelowShown); ++below) {
        glColor3fv(below == 0 ? kCurrentLabelColour : kLevelColours[below]);
        const std::string label = "Level   " + std::to_string(currentLevel - below);
        Char2Wall(kLeftColumn, kFirstLabelRow - kRowStep * below, 0, label.c_str());
    }
    glColor3fv(kTextColour);
    Char2Wall(kLeftColumn, kFirstLabelRow - kRowStep * 4, 0, "New (C)urve");
    Char2Wall(kLeftColumn, kFirstLabelRow - kRowStep * 5, 0, "Cl(O)se curve");

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

// ---------------------------------------------------------------- keys

void Graphics::Keyboard(unsigned char key, int, int)
{
    Splines* const current = spline[currentLevel];
    if (key == kEscape)
        std::exit(0);
    if (key == 'w')
        showMessages = 1 - showMessages;
    else if (key == 'c' || key == 'C')
        current->addNewCurve();
    else if (key == 'O')
        current->closeCurve();
    else if (key == 'o')
        current->openCurve();
    glutPostRedisplay();
}

void Graphics::SpecialKeyboard(int key, int, int)
{
    switch (key) {
    case GLUT_KEY_F1:
        saveData->writeFile(spline);
        break;
    case GLUT_KEY_F12:
        saveData->readFile(spline);
        KeepLevelsUsable();
        Reshape(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
        break;
    case GLUT_KEY_LEFT:
        spline[currentLevel]->prevCurve();
        break;
    case GLUT_KEY_RIGHT:
        spline[currentLevel]->nextCurve();
        break;
    case GLUT_KEY_UP:
        if (spline.size() == static_cast<size_t>(currentLevel) + 1)
            spline.push_back(new Splines(*spline[currentLevel]));
        ++currentLevel;
        ++cameraPos[2];
        break;
    case GLUT_KEY_DOWN:
        if (currentLevel > 0) {
            --currentLevel;
            --cameraPos[2];
        }
        break;
    default:
        break;
    }
    glutPostRedisplay();
}
