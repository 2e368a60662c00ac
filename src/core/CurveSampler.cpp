#include "CurveSampler.h"

#include "Nodes.h"

void segmentPoints(int i, int n, int points[4])
{
    points[3] = i % n;
    for (int k = 2; k >= 0; --k)
        points[k] = (points[k + 1] + n - 1) % n;
}

void curvePoint(const std::vector<Vec3>& points, float t, int i, int level, float* point)
{
    int segment[4];
    segmentPoints(i, static_cast<int>(points.size()), segment);
    const float ts = t * t;
    const float tc = ts * t;
    for (int axis = 0; axis < 2; ++axis) {
        const double p1 = points[segment[0]].pos[axis];
        const double p2 = points[segment[1]].pos[axis];
        const double p3 = points[segment[2]].pos[axis];
        const double p4 = points[segment[3]].pos[axis];
        point[axis] = static_cast<float>(
            0.5 * ((-p1 + 3.0 * p2 - 3.0 * p3 + p4) * tc + (2.0 * p1 - 5.0 * p2 + 4.0 * p3 - p4) * ts +
                   (p3 - p1) * t + 2.0 * p2));
    }
    point[2] = static_cast<float>(level);
}

bool drawnOpen(const Nodes& curve)
{
    return curve.controlPoints.size() >= 4 && curve.closure == 0;
}

// Segment i ends at control point (i - 1) mod n: pieces - 1 samples, then
// that point itself. The parameter steps by adding 1/pieces in float, the
// way the editor has always stepped it, so the vertices stay bit for bit.
void sampleSegment(const std::vector<Vec3>& points, int i, int level, int pieces, std::vector<Vec3>& vertices)
{
    const int n = static_cast<int>(points.size());
    const double step = 1.0 / pieces;
    float t = static_cast<float>(step);
    for (int piece = 1; piece < pieces; ++piece, t = static_cast<float>(t + step)) {
        Vec3 sample;
        curvePoint(points, t, i, level, sample.pos);
        vertices.push_back(sample);
    }
    vertices.push_back(points[(i + n - 1) % n]);
}

void sampleCurve(const Nodes& curve, int level, int pieces, std::vector<Vec3>& vertices)
{
    vertices.clear();
    const std::vector<Vec3>& points = curve.controlPoints;
    const int n = static_cast<int>(points.size());
    if (n == 0)
        return;
    const bool open = drawnOpen(curve);
    vertices.push_back(points[open ? 1 : (2 * n - 2) % n]);
    for (int i = open ? 3 : 0; i < n; ++i)
        sampleSegment(points, i, level, pieces, vertices);
}
