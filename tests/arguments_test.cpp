#include <string>
#include <vector>

#include "OmbrelEditor.h"
#include "support.h"

namespace {

struct Walk {
    std::string name;
    std::vector<std::string> args;
    std::string input;
    std::string output;
};

void PrintTo(const Walk& walk, std::ostream* out) { *out << walk.name; }

class CommandLine : public testing::TestWithParam<Walk> {};

TEST_P(CommandLine, StoresTheNamedFiles)
{
    std::vector<std::string> words = {"ombrel-editor"};
    words.insert(words.end(), GetParam().args.begin(), GetParam().args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    delete input;
    input = new FileIO;
    arguments(static_cast<int>(words.size()), argv.data());
    EXPECT_EQ(input->readfile, GetParam().input);
    EXPECT_EQ(input->writefile, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Grammar, CommandLine, testing::Values(
    Walk{"NoArguments", {}, "", ""},
    Walk{"OutputOnly", {"-o", "out.lvl"}, "", "out.lvl"},
    Walk{"StrayWordAndDashLetterSkipped", {"stray", "-x", "-i", "in.lvl"}, "in.lvl", ""},
    Walk{"LoneDashSkipped", {"-", "-i", "in.lvl"}, "in.lvl", ""},
    Walk{"RepeatedInputReplaces", {"-i", "first", "-i", "second"}, "second", ""},
    Walk{"ValueTakenVerbatim", {"-i", "-o", "out.lvl"}, "-o", ""},
    Walk{"CapitalLettersIgnored", {"-I", "in.lvl", "-O", "out.lvl"}, "", ""},
    Walk{"ExtraLettersIgnored", {"-input", "in.lvl", "-output", "out.lvl"}, "in.lvl", "out.lvl"},
    Walk{"ToolkitOptionIsAName", {"-i", "-display"}, "-display", ""},
    Walk{"OptionLastIgnored", {"-o", "out.lvl", "-i"}, "", "out.lvl"},
    Walk{"LoneOptionIgnored", {"-i"}, "", ""}),
    [](const testing::TestParamInfo<Walk>& info) { return info.param.name; });

}  // namespace
