// The reader's findings and limits on the GL-free core; no window needed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/CurveSampler.h"
#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

namespace {

// Reads the stream, closes it, and gives each finding as "LINE:COLUMN: what".
std::vector<std::string> readWithFindings(FILE* in, LevelList& levels)
{
    std::vector<std::string> found;
    const DiagnosticSink sink = [&found](const Diagnostic& f) {
        found.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + severityName(f.severity) + ": " + f.text);
    };
    readLevels(in, levels.list, &sink);
    std::fclose(in);
    return found;
}

// Whatever the coordinates, a layout whose curves all hold points reads back
// without a finding once the editor has written it, and writes the same bytes.
TEST(LevelFileFindings, LayoutsTheEditorWritesAreClean)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> count(1, 4);
    std::uniform_real_distribution<float> coordinate(-60, 60);
    for (int trial = 0; trial < 30; ++trial) {
        LevelList layout;
        for (int i = count(random); i > 0; --i) {
            Splines* const level = new Splines;
            level->level = static_cast<int>(layout.list.size());
            level->levelCurves.resize(static_cast<size_t>(count(random)));
            for (Nodes& curve : level->levelCurves)
                for (int k = count(random); k > 0; --k)
                    curve.controlPoints.emplace_back(coordinate(random), coordinate(random), level->level);
            layout.list.push_back(level);
        }
        char* text = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&text, &size);
        ASSERT_TRUE(writeLevels(out, layout.list));
        std::fclose(out);
        LevelList read;
        const std::vector<std::string> found = readWithFindings(fmemopen(text, size, "r"), read);
        EXPECT_TRUE(found.empty()) << found.front() << "\n" << text;
        char* again = nullptr;
        out = open_memstream(&again, &size);
        ASSERT_TRUE(writeLevels(out, read.list));
        std::fclose(out);
        EXPECT_STREQ(again, text);
        std::free(text);
        std::free(again);
    }
}

// The examples draw as the README describes them: each loop's line ends
// where it starts, each open curve's does not.
TEST(Examples, DrawAsDescribed)
{
    const bool loop = true, open = false;
    const struct {
        const char* file;
        std::vector<std::vector<bool>> loops;  // per level, per curve
    } examples[] = {
        {"square.lev", {{loop, open}}},
        {"tower.lev", {{loop, open}, {loop, open, loop}, {loop, open, loop}, {loop, open, loop, open}}},
    };
    for (const auto& example : examples) {
        FILE* const in = std::fopen((std::string(OMBREL_SOURCE_DIR "/examples/") + example.file).c_str(), "r");
        ASSERT_TRUE(in) << example.file;
        LevelList levels;
        EXPECT_TRUE(readWithFindings(in, levels).empty()) << example.file;
        ASSERT_EQ(levels.list.size(), example.loops.size()) << example.file;
        for (size_t l = 0; l < levels.list.size(); ++l) {
            const std::vector<Nodes>& curves = levels.list[l]->levelCurves;
            ASSERT_EQ(curves.size(), example.loops[l].size()) << example.file << " level " << l;
            for (size_t c = 0; c < curves.size(); ++c) {
                std::vector<Vec3> line;
                sampleCurve(curves[c], static_cast<int>(l), kPiecesPerSegment, line);
                const float gap = std::hypot(line.front().pos[0] - line.back().pos[0],
                                             line.front().pos[1] - line.back().pos[1]);
                EXPECT_EQ(gap < 1e-5f, example.loops[l][c]) << example.file << " level " << l << " curve " << c;
            }
        }
    }
}

}  // namespace
