#include "layout.h"

#include <algorithm>
#include <random>

#include "Splines.h"

namespace {

const float kExtent = 4.0f;
const float kStep = 0.25f;

Splines* makeLevel(int number, int pointsPerLevel, std::mt19937& random)
{
    std::uniform_real_distribution<float> start(-kExtent, kExtent);
    std::uniform_real_distribution<float> step(-kStep, kStep);
    Splines* level = new Splines;
    level->level = number;
    level->levelCurves.resize(static_cast<size_t>(pointsPerLevel / kPointsPerCurve));
    for (Nodes& curve : level->levelCurves) {
        float x = start(random);
        float y = start(random);
        for (int k = 0; k < kPointsPerCurve; ++k) {
            curve.controlPoints.emplace_back(x, y, static_cast<float>(number));
            x = std::clamp(x + step(random), -kExtent, kExtent);
            y = std::clamp(y + step(random), -kExtent, kExtent);
        }
    }
    return level;
}

// The vertices drawCatmullRom sends, in the same order and with the same
// values, since they come from the level's own interpolation.
void flattenLines(Splines& level, std::vector<float>& vertices, std::vector<int>& sizes)
{
    auto add = [&](const float* v) { vertices.insert(vertices.end(), v, v + 3); };
    for (size_t j = 0; j < level.levelCurves.size(); ++j) {
        const Nodes& curve = level.levelCurves[j];
        const int n = static_cast<int>(curve.controlPoints.size());
        if (n == 0)
            continue;
        const size_t before = vertices.size();
        const bool open = n >= 4 && curve.closure == 0;
        add(curve.controlPoints[open ? 1 : (2 * n - 2) % n].pos);
        for (int i = open ? 3 : 0; i < n; ++i) {
            float sample[3];
            for (float t = 0.1f; t < 1.0f; t = static_cast<float>(t + 0.1)) {
                level.interpolatedPoint(t, i, sample, static_cast<int>(j));
                add(sample);
            }
            add(curve.controlPoints[(i + n - 1) % n].pos);
        }
        sizes.push_back(static_cast<int>((vertices.size() - before) / 3));
    }
}

}  // namespace

Layout* makeLayout(int pointsPerLevel)
{
    Layout* layout = new Layout;
    std::mt19937 random(20260101u + static_cast<unsigned>(pointsPerLevel));
    for (int i = 0; i < kLevelCount; ++i) {
        Splines* level = makeLevel(i, pointsPerLevel, random);
        // Curve 0 is already seeded, so this adds no default square.
        level->setWindowSize(640, 480);
        layout->levels.push_back(level);

        std::vector<float> markers;
        std::vector<int> sizes;
        int begin = 0, end = 0, index = 0;
        for (size_t j = 0; j < level->levelCurves.size(); ++j) {
            const Nodes& curve = level->levelCurves[j];
            if (static_cast<int>(j) == level->currentCurve) {
                begin = index;
                end = index + static_cast<int>(curve.controlPoints.size());
            }
            for (const Vec3& point : curve.controlPoints)
                markers.insert(markers.end(), point.pos, point.pos + 3);
            index += static_cast<int>(curve.controlPoints.size());
            sizes.push_back(static_cast<int>(curve.controlPoints.size()));
        }
        layout->markers.push_back(std::move(markers));
        layout->highlightBegin.push_back(i == kCurrentLevel ? begin : 0);
        layout->highlightEnd.push_back(i == kCurrentLevel ? end : 0);
        layout->curveSizes.push_back(std::move(sizes));

        layout->lineVertices.emplace_back();
        layout->stripSizes.emplace_back();
        flattenLines(*level, layout->lineVertices.back(), layout->stripSizes.back());
    }
    return layout;
}

void deleteLevels(std::vector<Splines*>& levels)
{
    for (Splines* level : levels)
        delete level;
    levels.clear();
}
