#include "Splines.h"

#include <GL/freeglut.h>

#include <algorithm>

namespace {

const double kLevelEdge = 5.0;
const float kMarkerSize = 0.1f;
const float kPointOneMarkerSize = 0.2f;
const float kYellow[3] = {1.0f, 1.0f, 0.0f};
const float kRed[3] = {1.0f, 0.0f, 0.0f};
// Corners of the default square as fractions of the window, in the order
// top-left, top-right, bottom-right, bottom-left.
const double kSquare[4][2] = {{0.4, 0.4}, {0.6, 0.4}, {0.6, 0.6}, {0.4, 0.6}};

}  // namespace

bool windowToLevel(int x, int y, int width, int height, float& levelX, float& levelY)
{
    // A zero size comes before the first real reshape; converting with it
    // would put infinities into the level.
    if (width <= 0 || height <= 0)
        return false;
    const double toX = static_cast<double>(x) / width * 10.0 - 5.0;
    const double toY = 5.0 - static_cast<double>(y) / height * 10.0;
    levelX = static_cast<float>(std::clamp(toX, -kLevelEdge, kLevelEdge));
    levelY = static_cast<float>(std::clamp(toY, -kLevelEdge, kLevelEdge));
    return true;
}

Splines::Splines()
    : objectPicked(-1), WindowWidth(0), WindowHeight(0), level(0), renderMode(GL_RENDER), currentCurve(0)
{
    levelCurves.emplace_back();
}

Splines::Splines(const Splines& init)
    : objectPicked(-1),
      WindowWidth(init.WindowWidth),
      WindowHeight(init.WindowHeight),
      level(init.level + 1),
      renderMode(init.renderMode),
      currentCurve(init.currentCurve)
{
    for (const Nodes& source : init.levelCurves) {
        levelCurves.emplace_back();
        if (source.controlPoints.empty())
            continue;
        Nodes& copy = levelCurves.back();
        copy.controlPoints = source.controlPoints;
        copy.closure = source.closure;
        for (Vec3& point : copy.controlPoints)
            point.pos[2] = static_cast<float>(level);
    }
}

// ---------------------------------------------------------------- editing

void Splines::appendPoint(Nodes& curve, int x, int y)
{
    float levelX, levelY;
    if (windowToLevel(x, y, WindowWidth, WindowHeight, levelX, levelY))
        curve.controlPoints.emplace_back(levelX, levelY, static_cast<float>(level));
}

void Splines::addDefaultSquare(Nodes& curve)
{
    for (const auto& corner : kSquare)
        appendPoint(curve, static_cast<int>(WindowWidth * corner[0]), static_cast<int>(WindowHeight * corner[1]));
}

void Splines::setWindowSize(int width, int height)
{
    WindowWidth = width;
    WindowHeight = height;
    // Curve 0 itself is seeded, even when another curve is current, so that
    // repeated resizes never pile squares onto the current curve.
    if (levelCurves[0].controlPoints.empty())
        addDefaultSquare(levelCurves[0]);
}

void Splines::addControlPoint(int x, int y)
{
    appendPoint(levelCurves[currentCurve], x, y);
}

void Splines::addNewCurve()
{
    levelCurves.emplace_back();
    currentCurve = static_cast<int>(levelCurves.size()) - 1;
    addDefaultSquare(levelCurves.back());
}

void Splines::closeCurve()
{
    levelCurves[currentCurve].closure = 1;
}

void Splines::openCurve()
{
    levelCurves[currentCurve].closure = 0;
}

void Splines::nextCurve()
{
    currentCurve = (currentCurve + 1) % static_cast<int>(levelCurves.size());
}

void Splines::prevCurve()
{
    currentCurve = (currentCurve == 0 ? static_cast<int>(levelCurves.size()) : currentCurve) - 1;
}

bool Splines::locatePoint(int index, int& curve, int& point) const
{
    if (index < 0)
        return false;
    for (size_t i = 0; i < levelCurves.size(); ++i) {
        const int count = static_cast<int>(levelCurves[i].controlPoints.size());
        if (index < count) {
            curve = static_cast<int>(i);
            point = index;
            return true;
        }
        index -= count;
    }
    return false;
}

int Splines::firstIndexOf(int curve) const
{
    int index = 0;
    for (int i = 0; i < curve; ++i)
        index += static_cast<int>(levelCurves[i].controlPoints.size());
    return index;
}

void Splines::deleteControlPoint()
{
    int curve, point;
    if (!locatePoint(objectPicked, curve, point))
        return;
    std::vector<Vec3>& points = levelCurves[curve].controlPoints;
    points.erase(points.begin() + point);
}

// ---------------------------------------------------------------- drawing

void Splines::drawSpline(int currentLevel)
{
    drawControlPoints(currentLevel);
    drawCatmullRom();
}

void Splines::interpolatedPoint(float t, int i, float* newPoint, int curve)
{
    const std::vector<Vec3>& points = levelCurves[curve].controlPoints;
    const int n = static_cast<int>(points.size());
    const int fourth = i % n;
    const int third = (fourth + n - 1) % n;
    const int second = (third + n - 1) % n;
    const int first = (second + n - 1) % n;
    const float ts = t * t;
    const float tc = ts * t;
    for (int axis = 0; axis < 2; ++axis) {
        const double p1 = points[first].pos[axis];
        const double p2 = points[second].pos[axis];
        const double p3 = points[third].pos[axis];
        const double p4 = points[fourth].pos[axis];
        newPoint[axis] = static_cast<float>(
            0.5 * ((-p1 + 3.0 * p2 - 3.0 * p3 + p4) * tc + (2.0 * p1 - 5.0 * p2 + 4.0 * p3 - p4) * ts +
                   (p3 - p1) * t + 2.0 * p2));
    }
    newPoint[2] = static_cast<float>(level);
}

// Nine samples of the segment, then its end point: ten straight pieces.
void Splines::drawSegment(const Nodes& curve, int curveIndex, int segment)
{
    const int n = static_cast<int>(curve.controlPoints.size());
    float sample[3];
    for (float t = 0.1f; t < 1.0f; t = static_cast<float>(t + 0.1)) {
        interpolatedPoint(t, segment, sample, curveIndex);
        glVertex3fv(sample);
    }
    glVertex3fv(curve.controlPoints[(segment + n - 1) % n].pos);
}

void Splines::drawCatmullRom()
{
    for (size_t j = 0; j < levelCurves.size(); ++j) {
        const Nodes& curve = levelCurves[j];
        const int n = static_cast<int>(curve.controlPoints.size());
        if (n == 0)
            continue;
        // Open curves run from point 1 to point n-2; every other curve is a
        // loop that starts and ends at point n-2.
        const bool open = n >= 4 && curve.closure == 0;
        glBegin(GL_LINE_STRIP);
        glVertex3fv(curve.controlPoints[open ? 1 : (2 * n - 2) % n].pos);
        for (int i = open ? 3 : 0; i < n; ++i)
            drawSegment(curve, static_cast<int>(j), i);
        glEnd();
    }
}

void Splines::drawControlPoints(int currentLevel)
{
    const bool isCurrent = currentLevel == level;
    const bool naming = isCurrent && renderMode == GL_SELECT;
    unsigned int nameNumber = 1;
    for (size_t j = 0; j < levelCurves.size(); ++j) {
        const std::vector<Vec3>& points = levelCurves[j].controlPoints;
        for (size_t i = 0; i < points.size(); ++i) {
            glPushMatrix();
            glTranslatef(points[i].pos[0], points[i].pos[1], points[i].pos[2]);
            if (naming)
                glLoadName(nameNumber++);
            if (isCurrent && static_cast<int>(j) == currentCurve) {
                glColor3fv(kYellow);
                if (i == 1)
                    glutWireCube(kPointOneMarkerSize);
                glutSolidCube(kMarkerSize);
                glColor3fv(kRed);
            } else {
                glutSolidCube(kMarkerSize);
            }
            glPopMatrix();
        }
    }
    // The curve lines drawn next are no control point: a press on a line
    // alone must pick nothing.
    if (naming)
        glLoadName(0);
}
