#include <string>
#include <vector>

#include "OmbrelEditor.h"
#include "support.h"

namespace {

struct Walk {
    std::vector<std::string> args;
    std::string input;
    std::string output;
};

class CommandLine : public testing::TestWithParam<Walk> {};

TEST_P(CommandLine, StoresTheNamedFiles)
{
    std::vector<std::string> words = {"ombrel-editor"};
    words.insert(words.end(), GetParam().args.begin(), GetParam().args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    input = new FileIO;
    arguments(static_cast<int>(words.size()), argv.data());
    EXPECT_EQ(input->readfile, GetParam().input);
    EXPECT_EQ(input->writefile, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Grammar, CommandLine, testing::Values(
    Walk{{}, "", ""},
    Walk{{"-o", "out.lvl"}, "", "out.lvl"},
    Walk{{"stray", "-x", "-i", "in.lvl"}, "in.lvl", ""},
    Walk{{"-", "-i", "in.lvl"}, "in.lvl", ""},
    Walk{{"-i", "first", "-i", "second"}, "second", ""},
    Walk{{"-i", "-o", "out.lvl"}, "-o", ""},
    Walk{{"-I", "in.lvl", "-O", "out.lvl"}, "", ""},
    Walk{{"-input", "in.lvl", "-output", "out.lvl"}, "in.lvl", "out.lvl"},
    Walk{{"-i", "-display"}, "-display", ""},
    Walk{{"-o", "out.lvl", "-i"}, "", "out.lvl"},
    Walk{{"-i"}, "", ""}));

}  // namespace
