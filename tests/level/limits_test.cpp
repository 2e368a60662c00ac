// Built with the reader's counters limited to 3, so that a few characters
// reach the limit that an int puts on a real reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LevelFile.h"
#include "Splines.h"

namespace {

struct Limit {
    const char* name;
    const char* file;
    const char* finding;
    const char* rewritten;  // what the levels read are saved as
};

void PrintTo(const Limit& limit, std::ostream* out) { *out << limit.name; }

class ReaderCounters : public testing::TestWithParam<Limit> {};

// Reading stops where a counter would pass its limit; what came before stays.
TEST_P(ReaderCounters, StopShortOfTheLimit)
{
    const std::string file = GetParam().file;
    std::vector<Splines*> levels;
    std::vector<std::string> found;
    const FindingSink sink = [&found](long line, long column, const std::string& what) {
        found.push_back(std::to_string(line) + ":" + std::to_string(column) + ": " + what);
    };
    FILE* const in = fmemopen(const_cast<char*>(file.data()), file.size(), "r");
    readLevels(in, levels, &sink);
    std::fclose(in);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front(), GetParam().finding);
    char* text = nullptr;
    size_t size = 0;
    FILE* const out = open_memstream(&text, &size);
    writeLevels(out, levels);
    std::fclose(out);
    EXPECT_EQ(std::string(text, size), GetParam().rewritten);
    std::free(text);
    for (Splines* level : levels)
        delete level;
}

INSTANTIATE_TEST_SUITE_P(Reader, ReaderCounters, testing::Values(
    Limit{"Curves", "( 0 )\n0 1 1 0\n( ))))\n( 0 )\n0 2 2 1\n", "3:6: more curves on a line than the reader counts: the rest is not read",
          "( 0 )\n0 1.0000 1.0000 0.0000\n\n"},
    Limit{"Positions", "( 0 )\n0 1 1 0\n( 0 1 2 3 )\n0 2 2 1\n", "3:9: more numbers in a group than the reader counts: the rest is not read",
          "( 0 )\n0 1.0000 1.0000 0.0000\n\n"},
    Limit{"Levels", "( 0 )\n0 1 1 0\n( 0 )\n0 2 2 1\n( 0 )\n0 3 3 2\n( 0 )\n0 4 4 3\n",
          "7:6: more structure lines than the reader counts: the rest is not read",
          "( 0 )\n0 1.0000 1.0000 0.0000\n\n( 0 )\n0 2.0000 2.0000 1.0000\n\n( 0 )\n0 3.0000 3.0000 2.0000\n\n"}),
    [](const testing::TestParamInfo<Limit>& info) { return std::string(info.param.name); });

}  // namespace
