// One level's model and its edits; no drawing, so the level file tool can
// use it without a display.
#include "LevelModel.h"

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "Splines.h"

namespace {

const double kLevelEdge = 5.0;

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
    : objectPicked(-1), WindowWidth(0), WindowHeight(0), level(0), renderMode(kRenderMode), currentCurve(0)
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
    for (std::size_t i = 0; i < levelCurves.size(); ++i) {
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

void freeLevels(std::vector<Splines*>& levels)
{
    for (Splines* level : levels)
        delete level;
    levels.clear();
}

Vec3 endPointBeyond(const Vec3& end, const Vec3& neighbour)
{
    const auto beyond = [&](int axis) {
        return asSaved(std::clamp(2.0 * end.pos[axis] - neighbour.pos[axis], -double(FLT_MAX), double(FLT_MAX)));
    };
    return Vec3(beyond(0), beyond(1), end.pos[2]);
}

std::vector<Vec3> openCurvePoints(const std::vector<Vec3>& through)
{
    if (through.size() < 2)
        return through;
    std::vector<Vec3> points{endPointBeyond(through[0], through[1])};
    points.insert(points.end(), through.begin(), through.end());
    points.push_back(endPointBeyond(through.back(), through[through.size() - 2]));
    return points;
}

std::vector<Vec3> loopCurvePoints(const std::vector<Vec3>& through)
{
    const size_t n = through.size();
    if (n < 4)
        return through;
    std::vector<Vec3> points{through[n - 1]};
    points.insert(points.end(), through.begin(), through.end());
    points.insert(points.end(), through.begin(), through.begin() + 2);
    return points;
}

float asSaved(double coordinate)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.4f", static_cast<double>(static_cast<float>(coordinate)));
    return std::strtof(text, nullptr);
}
