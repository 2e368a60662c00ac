// The vertices of a curve's line: what the editor draws and what every export
// writes, from one function so that the screen and the files never drift apart.
#pragma once

#include <vector>

#include "Vec3.h"

struct Nodes;

// Straight pieces per curve segment on screen and in exports by default.
constexpr int kPiecesPerSegment = 10;

// The four control points of segment i of n points, in curve order: the
// segment runs from the second to the third.
void segmentPoints(int i, int n, int points[4]);

// x and y of the uniform Catmull-Rom segment that ends at point (i - 1) mod n
// of the n points, at parameter t in 0..1; z is the level.
void curvePoint(const std::vector<Vec3>& points, float t, int i, int level, float* point);

// A curve of four or more points runs open from its point 1 to its point
// n - 2 unless closed; every shorter curve is a loop.
bool drawnOpen(const Nodes& curve);

// Appends segment i's vertices after its start: pieces - 1 inside it, then
// its end control point.
void sampleSegment(const std::vector<Vec3>& points, int i, int level, int pieces, std::vector<Vec3>& vertices);

// Every vertex of the curve's line strip, pieces straight pieces per segment;
// nothing for an empty curve.
void sampleCurve(const Nodes& curve, int level, int pieces, std::vector<Vec3>& vertices);
