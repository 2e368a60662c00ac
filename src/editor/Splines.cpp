// How a level draws itself: markers with their pick names, and curve lines.
#include "core/Splines.h"

#include <GL/freeglut.h>

#include "core/CurveSampler.h"
#include "core/LevelColours.h"

namespace {

const float kPointOneMarkerSize = 0.2f;
const float kRed[3] = {1.0f, 0.0f, 0.0f};

}  // namespace

static_assert(kRenderMode == GL_RENDER, "a level starts in OpenGL's render mode");

// ---------------------------------------------------------------- drawing

void Splines::drawSpline(int currentLevel)
{
    drawControlPoints(currentLevel);
    drawCatmullRom();
}

void Splines::interpolatedPoint(float t, int i, float* newPoint, int curve)
{
    curvePoint(levelCurves[curve].controlPoints, t, i, level, newPoint);
}

void Splines::drawCatmullRom()
{
    std::vector<Vec3> vertices;
    for (const Nodes& curve : levelCurves) {
        sampleCurve(curve, level, kPiecesPerSegment, vertices);
        if (vertices.empty())
            continue;
        glBegin(GL_LINE_STRIP);
        for (const Vec3& vertex : vertices)
            glVertex3fv(vertex.pos);
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
                glColor3fv(kCurrentMarkerColour);
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
