// Command line and level model rules, without drawing.
#include "editor/OmbrelEditor.h"
#include "support.h"

namespace {

const Points kSquare = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

TEST(LevelModel, FirstSizedResizeSeedsCurveZeroOnce)
{
    Splines fresh;
    fresh.setWindowSize(0, 480);  // no size to convert with yet
    EXPECT_TRUE(fresh.levelCurves[0].controlPoints.empty());
    fresh.setWindowSize(640, 480);
    fresh.setWindowSize(640, 480);
    EXPECT_EQ(xy(fresh.levelCurves[0]), kSquare);
    // With another curve current, curve 0 itself is seeded.
    Splines& level = *makeLevel(2, {{}, {{2, 2}}});
    level.currentCurve = 1;
    level.setWindowSize(500, 500);
    EXPECT_EQ(xy(level.levelCurves[0]), kSquare);
    EXPECT_EQ(level.levelCurves[0].controlPoints[3].pos[2], 2);
    EXPECT_EQ(level.levelCurves[1].controlPoints.size(), 1u);
    // 0.4 * 333 = 133.2 and 0.6 * 333 = 199.8 become pixels 133 and 199.
    Splines narrow;
    narrow.setWindowSize(333, 500);
    EXPECT_FLOAT_EQ(narrow.levelCurves[0].controlPoints[0].pos[0], static_cast<float>(133.0 / 333 * 10 - 5));
    EXPECT_FLOAT_EQ(narrow.levelCurves[0].controlPoints[1].pos[0], static_cast<float>(199.0 / 333 * 10 - 5));
}

TEST(LevelModel, AddedPointsConvertWindowPixels)
{
    Splines& level = *makeLevel(2, {{{9, 9}}});
    level.addControlPoint(10, 10);  // before any size: nothing to convert with
    level.setWindowSize(500, 500);
    for (const auto& pixel : {std::make_pair(250, 250), {0, 0}, {500, 500}, {100, 400}, {-1, 600}})
        level.addControlPoint(pixel.first, pixel.second);
    level.setWindowSize(640, 480);
    level.addControlPoint(320, 120);
    level.setWindowSize(1, 1);
    level.addControlPoint(1, 1);
    EXPECT_EQ(xy(level.levelCurves[0]), (Points{{9, 9}, {0, 0}, {-5, 5}, {5, -5}, {-3, -3}, {-5, -5}, {0, 2.5f}, {5, -5}}));
    EXPECT_EQ(level.levelCurves[0].controlPoints.back().pos[2], 2);
}

// Deletion by level-wide index over curves {}, {0..3} and a closed {10..12}.
TEST(LevelModel, DeletionRemovesOnlyThePointTheIndexNames)
{
    const Points first = {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, second = {{10, 0}, {11, 0}, {12, 0}};
    const struct { int index; Points first, second; } cases[] = {
        {5, first, {{10, 0}, {12, 0}}}, {0, {{1, 0}, {2, 0}, {3, 0}}, second}, {6, first, {{10, 0}, {11, 0}}},
        {-1, first, second}, {7, first, second}, {1000, first, second}};
    for (const auto& c : cases) {
        Splines& level = *makeLevel(0, {{}, first, second});
        level.levelCurves[2].closure = 1;
        level.objectPicked = c.index;
        level.deleteControlPoint();
        EXPECT_EQ(xy(level.levelCurves[1]), c.first) << c.index;
        EXPECT_EQ(xy(level.levelCurves[2]), c.second) << c.index;
        EXPECT_EQ(level.levelCurves[2].closure, 1);
    }
    // An emptied curve stays.
    Splines& level = *makeLevel(0, {{{1, 0}}, {{3, 0}}});
    level.objectPicked = 0;
    level.deleteControlPoint();
    EXPECT_EQ(level.levelCurves.size(), 2u);
    EXPECT_EQ(xy(level.levelCurves[1]), (Points{{3, 0}}));
}

TEST(CommandLine, StoresTheNamedFiles)
{
    const struct { std::vector<std::string> args; std::string input, output; } cases[] = {
        {{}, "", ""},
        {{"stray", "-x", "-", "-i", "in.lvl"}, "in.lvl", ""},
        {{"-i", "first", "-i", "second", "-o", "out.lvl"}, "second", "out.lvl"},
        {{"-i", "-o", "out.lvl"}, "-o", ""},
        {{"-I", "in.lvl", "-O", "out.lvl"}, "", ""},
        {{"-input", "in.lvl", "-output", "out.lvl"}, "in.lvl", "out.lvl"},
        {{"-o", "out.lvl", "-i"}, "", "out.lvl"}};
    FileIO* const global = input;
    for (const auto& c : cases) {
        std::vector<std::string> words = {"ombrel-editor"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        FileIO files;
        input = &files;
        arguments(static_cast<int>(words.size()), argv.data());
        EXPECT_EQ(input->readfile, c.input) << testing::PrintToString(c.args);
        EXPECT_EQ(input->writefile, c.output) << testing::PrintToString(c.args);
    }
    input = global;
}

}  // namespace
