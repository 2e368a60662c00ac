// The layouts the benchmarks run on, and flat copies of what the editor
// draws and saves from them, which the floor measurements replay without
// any of the editor's structure.
#pragma once

#include <vector>

#include "core/LevelModel.h"
#include "core/Splines.h"

constexpr int kLevelCount = 4;
constexpr int kCurrentLevel = kLevelCount - 1;
constexpr int kPointsPerCurve = 50;

struct Layout {
    // Level i has z = i and level number i.
    LevelList levels;

    // Per level, in drawing order: the control points as x, y, z triples,
    // and the range of them that the editor highlights as the current curve.
    std::vector<std::vector<float>> markers;
    std::vector<int> highlightBegin;
    std::vector<int> highlightEnd;

    // Per level: every vertex of every curve line, strip after strip, and
    // how many vertices each strip has.
    std::vector<std::vector<float>> lineVertices;
    std::vector<std::vector<int>> stripSizes;

    // Per level: the number of control points of each curve.
    std::vector<std::vector<int>> curveSizes;
};

// Four levels of pointsPerLevel control points each, in open curves of
// kPointsPerCurve points that wander inside -4..4, so that the window's
// margin stays empty. The same count always gives the same layout.
Layout* makeLayout(int pointsPerLevel);

// The layout of that size written as a level file; false when it can't be.
bool writeLayoutFile(int pointsPerLevel, const char* path);
