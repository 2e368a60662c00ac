#include "OmbrelEditor.h"
#include "support.h"

namespace {

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
    for (const auto& c : cases) {
        std::vector<std::string> words = {"ombrel-editor"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        input = new FileIO;
        arguments(static_cast<int>(words.size()), argv.data());
        EXPECT_EQ(input->readfile, c.input) << testing::PrintToString(c.args);
        EXPECT_EQ(input->writefile, c.output) << testing::PrintToString(c.args);
    }
}

}  // namespace
