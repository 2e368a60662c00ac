#include "layout.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "core/CurveSampler.h"
#include "core/LevelFile.h"
#include "core/Splines.h"

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
// values, since they come from the same sampler.
void flattenLines(const Splines& level, std::vector<float>& vertices, std::vector<int>& sizes)
{
    std::vector<Vec3> strip;
    for (const Nodes& curve : level.levelCurves) {
        sampleCurve(curve, level.level, kPiecesPerSegment, strip);
        if (strip.empty())
            continue;
        for (const Vec3& vertex : strip)
            vertices.insert(vertices.end(), vertex.pos, vertex.pos + 3);
        sizes.push_back(static_cast<int>(strip.size()));
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
        layout->levels.list.push_back(level);

        std::vector<float> markers;
        std::vector<int> sizes;
        int begin = 0, end = 0;
        for (size_t j = 0; j < level->levelCurves.size(); ++j) {
            const std::vector<Vec3>& points = level->levelCurves[j].controlPoints;
            if (static_cast<int>(j) == level->currentCurve) {
                begin = static_cast<int>(markers.size() / 3);
                end = begin + static_cast<int>(points.size());
            }
            for (const Vec3& point : points)
                markers.insert(markers.end(), point.pos, point.pos + 3);
            sizes.push_back(static_cast<int>(points.size()));
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

bool writeLayoutFile(int pointsPerLevel, const char* path)
{
    const std::unique_ptr<Layout> layout(makeLayout(pointsPerLevel));
    FILE* const out = std::fopen(path, "w");
    const bool written = out && writeLevels(out, layout->levels.list);
    return out && std::fclose(out) == 0 && written;
}
