#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "support.h"

namespace {

const char kWorkedExample[] =
    "( 0 1 2 3 )( 4 5 6 )\n0 -2.0000 -2.0000 0.0000\n1 2.0000 -2.0000 0.0000\n2 2.0000 2.0000 0.0000\n"
    "3 -2.0000 2.0000 0.0000\n4 -1.0000 0.0000 0.0000\n5 0.0000 1.0000 0.0000\n6 1.0000 0.0000 0.0000\n\n"
    "( 0 1 )\n0 0.5000 0.2500 1.0000\n1 -1.1250 3.0000 1.0000\n\n";

std::string save(std::vector<Splines*> levels, const std::string& name = "saved.lvl")
{
    FileIO files;
    files.setOutputName(tempPath(name).c_str());
    files.writeFile(levels);
    return readWholeFile(tempPath(name));
}

std::vector<Splines*> load(const std::string& text)
{
    writeWholeFile(tempPath("loaded.lvl"), text);
    FileIO files;
    files.setInputName(tempPath("loaded.lvl").c_str());
    std::vector<Splines*> levels;
    files.readFile(levels);
    return levels;
}

// One word per prompt: a second word answers the next prompt, and at the end
// of input the name stays empty, so the next save asks again.
TEST(LevelFileNames, PromptsReadOneWordEach)
{
    const std::string first = tempPath("first.lvl"), second = tempPath("second.lvl");
    writeWholeFile(second, kWorkedExample);
    writeWholeFile(tempPath("stdin"), "  " + first + " " + second + "\n");
    ASSERT_TRUE(std::freopen(tempPath("stdin").c_str(), "r", stdin));
    FileIO files, unnamed;
    std::vector<Splines*> levels = load(kWorkedExample);
    CaptureStdout();
    files.writeFile(levels);
    files.writeFile(levels);
    files.readFile(levels);
    unnamed.writeFile(levels);
    unnamed.readFile(levels);
    unnamed.writeFile(levels);
    EXPECT_EQ(GetCapturedStdout(), "Output filename: Input filename: Output filename: Can't open \n"
                                   "Input filename: Can't open \nOutput filename: Can't open \n");
    EXPECT_EQ(files.writefile, first);
    EXPECT_EQ(readWholeFile(first), kWorkedExample);
    EXPECT_EQ(levels.size(), 2u);
}

bool onlyFileIn(const std::string& folder, const std::string& name)
{
    int others = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        others += entry.path().filename() != name;
    return others == 0;
}

TEST(SafeSave, ReplacesThroughALinkAndKeepsPermissions)
{
    const std::string folder = tempPath("linked");
    mkdir(folder.c_str(), 0755);
    writeWholeFile(folder + "/real.lvl", "old");
    chmod((folder + "/real.lvl").c_str(), 0640);
    ASSERT_EQ(symlink("linked/real.lvl", tempPath("link.lvl").c_str()), 0);
    save(load(kWorkedExample), "link.lvl");
    struct stat info;
    ASSERT_EQ(lstat(tempPath("link.lvl").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat((folder + "/real.lvl").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(readWholeFile(folder + "/real.lvl"), kWorkedExample);
    EXPECT_TRUE(onlyFileIn(folder, "real.lvl"));
}

// A missing folder or a directory as target; and a child whose files may not
// grow past 100 bytes, which fails in the middle of a save: the old file must
// survive whole and the failure must be said.
TEST(SafeSave, FailedSavesSaySoAndKeepTheOldFile)
{
    std::vector<Splines*> levels = load(kWorkedExample);
    for (const std::string& target : {tempPath("no-such-folder/out.lvl"), tempPath("")}) {
        CaptureStdout();
        save(levels, target.substr(tempPath("").size()));
        EXPECT_EQ(GetCapturedStdout(), "Can't open " + target + "\n");
    }
    const std::string folder = tempPath("full"), target = folder + "/kept.lvl";
    mkdir(folder.c_str(), 0755);
    writeWholeFile(target, "previous contents\n");
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(tempPath("child-stdout").c_str(), "w", stdout);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        save(levels, "full/kept.lvl");
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readWholeFile(tempPath("child-stdout")), "Can't write " + target + "\n");
    EXPECT_EQ(readWholeFile(target), "previous contents\n");
    EXPECT_TRUE(onlyFileIn(folder, "kept.lvl"));
}

// Random layouts: with points in every curve a save survives a reload byte
// for byte; otherwise trailing empty curves and levels are not restored.
TEST(LevelFileRoundTrip, RandomLayouts)
{
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> count(0, 4);
    std::uniform_real_distribution<float> coordinate(-6, 6);
    for (int trial = 0; trial < 40; ++trial) {
        const bool allFilled = trial % 2 == 0;
        std::vector<Splines*> levels, expected;
        const int levelCount = 1 + count(random);
        for (int i = 0; i < levelCount; ++i) {
            levels.push_back(makeLevel(i, {}));
            levels.back()->levelCurves.resize(1 + count(random));
            for (Nodes& curve : levels.back()->levelCurves)
                for (int k = (allFilled ? 1 : 0) + count(random); k > 0; --k)
                    curve.controlPoints.emplace_back(coordinate(random), coordinate(random), static_cast<float>(i));
            Splines* const trimmed = makeLevel(i, {});
            trimmed->levelCurves = levels.back()->levelCurves;
            while (trimmed->levelCurves.size() > 1 && trimmed->levelCurves.back().controlPoints.empty())
                trimmed->levelCurves.pop_back();
            expected.push_back(trimmed);
        }
        auto hasPoints = [](const Splines* level) { return level->levelCurves.back().controlPoints.size() > 0; };
        while (!expected.empty() && !hasPoints(expected.back()))
            expected.pop_back();
        const std::string first = save(levels);
        EXPECT_EQ(save(load(first)), allFilled ? first : save(expected)) << first;
    }
}

}  // namespace
