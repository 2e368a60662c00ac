// libFuzzer target for the fit alone: a short line of points (with corners,
// open or closed) at a tolerance the import allows. Whatever the line, the
// fit ends quickly with finite points, and where it says it held the
// tolerance, the curve as the editor draws it lies within it both ways.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/CurveFit.h"

namespace {

void fitCheck(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fit fuzzer: %s\n", what);
        std::abort();
    }
}

}  // namespace

// Bytes: flags (bit 0: closed), a tolerance step, then per point two int16
// coordinates (ten-thousandths) and a flag byte (bit 0: a corner).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool closed = data[0] & 1;
    const double tolerance = 0.0001 * std::pow(10.0, data[1] / 64.0);  // 0.0001 to about 1
    std::vector<FitPoint> line;
    std::vector<size_t> corners;
    for (size_t at = 2; at + 5 <= size; at += 5) {
        int16_t x = 0, y = 0;
        std::memcpy(&x, data + at, 2);
        std::memcpy(&y, data + at + 2, 2);
        if (data[at + 4] & 1)
            corners.push_back(line.size());
        line.push_back(FitPoint{x / 10000.0, y / 10000.0});
    }
    if (closed && !line.empty())
        line.push_back(line.front());
    double strays = -1;
    const std::vector<Vec3> points = fitCurve(line, corners, closed, tolerance, 0, &strays);
    fitCheck(line.empty() ? points.empty() : !points.empty(), "points from nothing, or none from a line");
    fitCheck(points.size() <= line.size() + 3, "more points than the line has");
    for (const Vec3& p : points)
        fitCheck(std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]), "a point not finite");
    fitCheck(strays >= 0, "strays not set");
    if (!line.empty() && strays == 0) {
        const FitError error = fitError(line, points, 0);
        fitCheck(error.inputToCurve <= tolerance * (1 + 1e-9) && error.curveToInput <= tolerance * (1 + 1e-9),
                 "said to hold the tolerance, but strays");
    }
    return 0;
}
