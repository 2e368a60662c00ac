// The reader's counters limited to 3, so that a few characters reach the
// limit that an int puts on a real reading.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

namespace {

// Reading stops where a counter would pass its limit; what came before stays
// and is saved as it was read.
TEST(ReaderCounters, StopShortOfTheLimit)
{
    const struct { const char *name, *file, *finding, *rewritten; } cases[] = {
        {"curves", "( 0 )\n0 1 1 0\n( ))))\n( 0 )\n0 2 2 1\n",
         "3:6: error: more curves on a line than the reader counts: the rest is not read", "( 0 )\n0 1.0000 1.0000 0.0000\n\n"},
        {"positions", "( 0 )\n0 1 1 0\n( 0 1 2 3 )\n0 2 2 1\n",
         "3:9: error: more numbers in a group than the reader counts: the rest is not read", "( 0 )\n0 1.0000 1.0000 0.0000\n\n"},
        {"levels", "( 0 )\n0 1 1 0\n( 0 )\n0 2 2 1\n( 0 )\n0 3 3 2\n( 0 )\n0 4 4 3\n",
         "7:6: error: more structure lines than the reader counts: the rest is not read",
         "( 0 )\n0 1.0000 1.0000 0.0000\n\n( 0 )\n0 2.0000 2.0000 1.0000\n\n( 0 )\n0 3.0000 3.0000 2.0000\n\n"}};
    for (const auto& c : cases) {
        std::vector<Splines*> levels;
        std::vector<std::string> found;
        const DiagnosticSink sink = [&found](const Diagnostic& f) {
            found.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + severityName(f.severity) + ": " + f.text);
        };
        FILE* const in = fmemopen(const_cast<char*>(c.file), std::strlen(c.file), "r");
        readLevels(in, levels, &sink, LLONG_MAX, 3);
        std::fclose(in);
        EXPECT_EQ(found.empty() ? "" : found.front(), c.finding) << c.name;
        char* text = nullptr;
        size_t size = 0;
        FILE* const out = open_memstream(&text, &size);
        writeLevels(out, levels);
        std::fclose(out);
        EXPECT_EQ(std::string(text, size), c.rewritten) << c.name;
        std::free(text);
        freeLevels(levels);
    }
}

}  // namespace
