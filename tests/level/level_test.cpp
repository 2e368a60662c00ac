// The reader's findings and limits on the GL-free core; no window needed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LevelFile.h"
#include "Splines.h"

namespace {

struct Levels {
    std::vector<Splines*> list;
    ~Levels() { freeLevels(list); }
};

// Reads the stream, closes it, and gives each finding as "LINE:COLUMN: what".
std::vector<std::string> readWithFindings(FILE* in, Levels& levels)
{
    std::vector<std::string> found;
    const FindingSink sink = [&found](const Finding& f) {
        found.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + severityName(f.severity) + ": " + f.what);
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
        Levels layout;
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
        Levels read;
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

}  // namespace
