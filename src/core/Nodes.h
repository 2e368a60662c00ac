// One curve of a level, apart from how it is drawn. No GL here, so the
// sampler and the level file use it without a display.
#pragma once

#include <vector>

#include "Vec3.h"

// One curve: control points in curve order, drawn open or as a closed loop.
struct Nodes {
    std::vector<Vec3> controlPoints;
    int closure = 0;
};
