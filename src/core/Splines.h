// One level of the layout: its curves and control points, the edits on them,
// and how the level draws itself (markers, Catmull-Rom lines, pick names).
#pragma once

#include <vector>

#include "Nodes.h"

// OpenGL's GL_RENDER, spelled out so that the model needs no GL header.
constexpr unsigned int kRenderMode = 0x1C00;

class Splines {
public:
    std::vector<Nodes> levelCurves;
    int objectPicked;
    int WindowWidth;
    int WindowHeight;
    int level;
    unsigned int renderMode;
    int currentCurve;

    Splines();
    Splines(const Splines& init);

    // Editing.
    void setWindowSize(int width, int height);
    void addControlPoint(int x, int y);
    void addNewCurve();
    void closeCurve();
    void openCurve();
    void nextCurve();
    void prevCurve();
    void deleteControlPoint();
    // Turns a level-wide index into (curve, point); false when it names no point.
    bool locatePoint(int index, int& curve, int& point) const;
    // Level-wide index of a curve's first point; of the curve count, the
    // level's number of points.
    int firstIndexOf(int curve) const;

    // Drawing.
    void drawSpline(int currentLevel);
    void drawCatmullRom();
    void drawControlPoints(int currentLevel);
    void interpolatedPoint(float t, int i, float* newPoint, int curve);

private:
    void appendPoint(Nodes& curve, int x, int y);
    void addDefaultSquare(Nodes& curve);
};
