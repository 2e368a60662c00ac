#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>

#include "support.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const char kWorkedExample[] =
    "( 0 1 2 3 )( 4 5 6 )\n"
    "0 -2.0000 -2.0000 0.0000\n"
    "1 2.0000 -2.0000 0.0000\n"
    "2 2.0000 2.0000 0.0000\n"
    "3 -2.0000 2.0000 0.0000\n"
    "4 -1.0000 0.0000 0.0000\n"
    "5 0.0000 1.0000 0.0000\n"
    "6 1.0000 0.0000 0.0000\n"
    "\n"
    "( 0 1 )\n"
    "0 0.5000 0.2500 1.0000\n"
    "1 -1.1250 3.0000 1.0000\n"
    "\n";

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
    keepReachable(levels);
    return levels;
}

std::vector<Splines*> workedExampleLevels()
{
    std::vector<Splines*> levels = {
        makeLevel(0, {{{-2, -2}, {2, -2}, {2, 2}, {-2, 2}}, {{-1, 0}, {0, 1}, {1, 0}}}),
        makeLevel(1, {{{0.5f, 0.25f}, {-1.125f, 3}}})};
    levels[0]->levelCurves[0].closure = 1;
    return levels;
}

TEST(LevelFileWriter, WritesTheWorkedExampleExactly)
{
    EXPECT_EQ(save(workedExampleLevels()), kWorkedExample);
}

TEST(LevelFileWriter, EmptyCurvesAndLevelsKeepTheNumbering)
{
    std::vector<Splines*> levels = {makeLevel(0, {{}, {{1, 2}}, {}, {{-0.00001f, 0.33333f}, {5, -5}}}),
                                    makeLevel(1, {{}, {}})};
    EXPECT_EQ(save(levels),
              "( )( 0 )( )( 1 2 )\n"
              "0 1.0000 2.0000 0.0000\n"
              "1 -0.0000 0.3333 0.0000\n"
              "2 5.0000 -5.0000 0.0000\n"
              "\n"
              "( )( )\n"
              "\n");
}

// One word per prompt: a second word answers the next prompt, and at the end
// of input the name stays empty, so the next save asks again.
TEST(LevelFileWriter, PromptsReadOneWordEach)
{
    const std::string first = tempPath("first.lvl"), second = tempPath("second.lvl");
    writeWholeFile(second, kWorkedExample);
    feedStdin("  " + first + " " + second + "\n");
    FileIO files;
    std::vector<Splines*> levels = workedExampleLevels();
    CaptureStdout();
    files.writeFile(levels);
    files.writeFile(levels);
    files.readFile(levels);
    keepReachable(levels);
    EXPECT_EQ(GetCapturedStdout(), "Output filename: Input filename: ");
    EXPECT_EQ(files.writefile, first);
    EXPECT_EQ(readWholeFile(first), kWorkedExample);
    FileIO unnamed;
    CaptureStdout();
    unnamed.writeFile(levels);
    unnamed.readFile(levels);
    unnamed.writeFile(levels);
    EXPECT_EQ(GetCapturedStdout(), "Output filename: Can't open \nInput filename: Can't open \nOutput filename: Can't open \n");
    EXPECT_EQ(levels.size(), 2u);
}

// The names in a folder, sorted.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* const dir = opendir(folder.c_str());
    for (dirent* entry; (entry = readdir(dir));)
        if (entry->d_name[0] != '.' || entry->d_name[1 + (entry->d_name[1] == '.')] != '\0')
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A folder that every user may enter, with the given mode.
std::string sharedFolder(const char* name, mode_t mode)
{
    std::string pattern = std::string("/tmp/ombrel-") + name + "-XXXXXX";
    EXPECT_NE(mkdtemp(&pattern[0]), nullptr);
    chmod(pattern.c_str(), mode);
    return pattern;
}

// Saves the worked example to `target` in a child process that first runs
// `prepare`, and returns what the child printed.
std::string saveInChild(const std::string& target, void (*prepare)())
{
    const std::string output = tempPath("child-stdout");
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(output.c_str(), "w", stdout);
        prepare();
        FileIO files;
        files.setOutputName(target.c_str());
        std::vector<Splines*> levels = workedExampleLevels();
        files.writeFile(levels);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    return readWholeFile(output);
}

// Files may not grow past 100 bytes: a save fails in the middle.
void limitFileSize()
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
}

// Root passes every permission check: the child saves as nobody instead.
void leaveRoot()
{
    const uid_t nobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
        _exit(1);
}

TEST(SafeSave, ReplacesThroughALinkAndKeepsPermissions)
{
    const std::string folder = tempPath("linked");
    mkdir(folder.c_str(), 0755);
    writeWholeFile(folder + "/real.lvl", "old");
    chmod((folder + "/real.lvl").c_str(), 0640);
    ASSERT_EQ(symlink("linked/real.lvl", tempPath("link.lvl").c_str()), 0);
    save(workedExampleLevels(), "link.lvl");
    struct stat info;
    ASSERT_EQ(lstat(tempPath("link.lvl").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat((folder + "/real.lvl").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(readWholeFile(folder + "/real.lvl"), kWorkedExample);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"real.lvl"});
}

TEST(SafeSave, KeepsEveryHardLink)
{
    const std::string first = tempPath("first-name.lvl"), second = tempPath("second-name.lvl");
    writeWholeFile(first, "old");
    ASSERT_EQ(link(first.c_str(), second.c_str()), 0);
    save(workedExampleLevels(), "first-name.lvl");
    EXPECT_EQ(readWholeFile(second), kWorkedExample);
}

// A pipe is written as it is, whoever reads it.
TEST(SafeSave, WritesAPipeDirectly)
{
    const std::string pipe = tempPath("pipe"), received = tempPath("received");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::fflush(stdout);
    const pid_t reader = fork();
    if (reader == 0) {
        writeWholeFile(received, readWholeFile(pipe));
        _exit(0);
    }
    FileIO files;
    files.setOutputName(pipe.c_str());
    std::vector<Splines*> levels = workedExampleLevels();
    CaptureStdout();
    files.writeFile(levels);
    EXPECT_EQ(GetCapturedStdout(), "");
    close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK));  // lets a reader still waiting go
    waitpid(reader, nullptr, 0);
    EXPECT_EQ(readWholeFile(received), kWorkedExample);
}

TEST(SafeSave, WritesInPlaceInAFolderThatTakesNoNewFile)
{
    const std::string folder = sharedFolder("read-only", 0777);
    const std::string target = folder + "/writable.lvl";
    writeWholeFile(target, "old");
    chmod(target.c_str(), 0666);
    chmod(folder.c_str(), 0555);
    EXPECT_EQ(saveInChild(target, leaveRoot), "");
    EXPECT_EQ(readWholeFile(target), kWorkedExample);
}

// Another user's file in a sticky folder can't be renamed over, nor can a
// new file take its owner: it is written in place and stays theirs.
TEST(SafeSave, AnotherUsersFileInAStickyFolderStaysTheirs)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file of another user";
    const std::string folder = sharedFolder("sticky", 01777);
    const std::string target = folder + "/shared.lvl";
    writeWholeFile(target, "old");
    chmod(target.c_str(), 0666);
    EXPECT_EQ(saveInChild(target, leaveRoot), "");
    EXPECT_EQ(readWholeFile(target), kWorkedExample);
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(info.st_mode & 07777, 0666u);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"shared.lvl"});
}

TEST(SafeSave, TargetsThatCannotBeWrittenAreNotOpened)
{
    ASSERT_EQ(symlink("loop-b", tempPath("loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", tempPath("loop-b").c_str()), 0);
    std::vector<Splines*> levels = workedExampleLevels();
    for (const std::string& target : {tempPath("no-such-folder/out.lvl"), tempPath(""), tempPath("loop-a")}) {
        FileIO files;
        files.setOutputName(target.c_str());
        CaptureStdout();
        files.writeFile(levels);
        EXPECT_EQ(GetCapturedStdout(), "Can't open " + target + "\n");
    }
    struct stat info;
    ASSERT_EQ(lstat(tempPath("loop-a").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

// The old bytes survive a save that fails midway, replaced by rename or
// written in place (a file with a second link).
TEST(SafeSave, FailedWriteKeepsTheOldFileAndSaysSo)
{
    const std::string folder = tempPath("full");
    mkdir(folder.c_str(), 0755);
    const std::string renamed = folder + "/renamed.lvl", inPlace = folder + "/in-place.lvl";
    writeWholeFile(renamed, "previous contents\n");
    writeWholeFile(inPlace, "previous contents\n");
    ASSERT_EQ(link(inPlace.c_str(), (folder + "/other-name.lvl").c_str()), 0);
    for (const std::string& target : {renamed, inPlace}) {
        EXPECT_EQ(saveInChild(target, limitFileSize), "Can't write " + target + "\n");
        EXPECT_EQ(readWholeFile(target), "previous contents\n");
    }
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"in-place.lvl", "other-name.lvl", "renamed.lvl"}));
}

TEST(LevelFileReader, ReadsTheWorkedExampleBack)
{
    const std::vector<Splines*> levels = load(kWorkedExample);
    ASSERT_EQ(levels.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(levels[i]->level, i);
        for (const Nodes& curve : levels[i]->levelCurves)
            EXPECT_EQ(curve.closure, 0);
    }
    EXPECT_EQ(save(levels), kWorkedExample);
}

struct Reading {
    std::string name;
    std::string file;
    std::string rewritten;  // what saving the levels read gives
};

void PrintTo(const Reading& reading, std::ostream* out) { *out << reading.name; }

class LevelFileReading : public testing::TestWithParam<Reading> {};

TEST_P(LevelFileReading, PlacesWhatTheFileDeclares)
{
    EXPECT_EQ(save(load(GetParam().file)), GetParam().rewritten);
}

const std::string kP0 = "0 1.0000 1.0000 0.0000\n";
const std::string kP1 = "1 2.0000 2.0000 0.0000\n";

INSTANTIATE_TEST_SUITE_P(Leniency, LevelFileReading, testing::Values(
    Reading{"EmptyFirstCurveStays", "( )( 0 1 )\n0 1 1 0\n1 2 2 0\n", "( )( 0 1 )\n" + kP0 + kP1 + "\n"},
    Reading{"TrailingEmptyCurveDropped", "( 0 1 )( )\n0 1 1 0\n1 2 2 0\n", "( 0 1 )\n" + kP0 + kP1 + "\n"},
    Reading{"MiddleEmptyCurveStays", "( 0 )( )( 1 )\n0 1 1 0\n1 2 2 0\n", "( 0 )( )( 1 )\n" + kP0 + kP1 + "\n"},
    Reading{"ZComesFromTheSection", "( 0 )\n0 1.0000 1.0000 7.0000\n", "( 0 )\n" + kP0 + "\n"},
    Reading{"PointLinesInAnyOrder", "( 0 1 )\n1 2 2 0\n0 1 1 0\n", "( 0 1 )\n" + kP0 + kP1 + "\n"},
    Reading{"BlankLinesAnywhere", "\n  \n( 0 )\n\n" + kP0 + "  \n\n\n( 0 )\n0 1 1 1\n( 0 )\n0 1 1 2",
            "( 0 )\n" + kP0 + "\n( 0 )\n0 1.0000 1.0000 1.0000\n\n( 0 )\n0 1.0000 1.0000 2.0000\n\n"},
    Reading{"StructureWithoutBlanks", "(0 1)(2)\n0 1 1 0\n1 2 2 0\n2 3 3 0\n",
            "( 0 1 )( 2 )\n" + kP0 + kP1 + "2 3.0000 3.0000 0.0000\n\n"},
    Reading{"EmptyMiddleSectionBecomesAFreshLevel", "( 0 )\n0 1 1 0\n\n( )\n\n( 0 )\n0 1 1 2\n",
            "( 0 )\n" + kP0 + "\n( )\n\n( 0 )\n0 1.0000 1.0000 2.0000\n\n"},
    Reading{"TrailingSectionsWithoutPointsDropped", "( 0 )\n0 1 1 0\n\n( 0 1 )\n\n( )\n\n", "( 0 )\n" + kP0 + "\n"},
    Reading{"StructureLinesOnly", "( 0 1 )\n( 2 )\n", ""},
    Reading{"EmptyFile", "", ""},
    Reading{"RepeatedNumberTakesItsLaterPlace", "( 0 1 0 )\n0 1 1 0\n1 2 2 0\n",
            "( 0 1 2 )\n0 0.0000 0.0000 0.0000\n1 2.0000 2.0000 0.0000\n2 1.0000 1.0000 0.0000\n\n"},
    Reading{"NumberDeclaredByAnEarlierSection", "( 0 1 )\n0 1 1 0\n1 2 2 0\n\n( 5 )\n1 3 3 0\n",
            "( 0 1 )\n" + kP0 + kP1 + "\n( 0 1 )\n0 0.0000 0.0000 1.0000\n1 3.0000 3.0000 1.0000\n\n"},
    Reading{"UnclosedGroupShiftsTheNextSection", "( 0 1\n0 1 1 0\n1 2 2 0\n\n( 2 )\n2 3 3 0\n",
            "( 0 1 )\n" + kP0 + kP1 +
                "\n( 0 1 2 )\n0 0.0000 0.0000 1.0000\n1 0.0000 0.0000 1.0000\n2 3.0000 3.0000 1.0000\n\n"},
    Reading{"CarriageReturnsAreBlanks", "( 0 1 )\r\n0 1 1 0\r\n\r\n1 2 2 0 \r\n\r\n", "( 0 1 )\n" + kP0 + kP1 + "\n"},
    Reading{"UndeclaredNumberIgnored", "( 0 )\n0 1 1 0\n9 5 5 0\n-1 5 5 0\n", "( 0 )\n" + kP0 + "\n"},
    Reading{"PointBeforeAnyStructureIgnored", "0 5 5 0\n( 0 )\n0 1 1 0\n", "( 0 )\n" + kP0 + "\n"},
    Reading{"UnreadableLinesIgnored", "( 0 1 )\n0 1 1 0\nabc def\n1 x\n\t\n#\n", "( 0 )\n" + kP0 + "\n"},
    Reading{"ShortLineDoesNotSwallowTheNextStructure", "( 0 1 )\n0 1 1\n( 0 )\n0 1 1 0\n",
            "( )\n\n( 0 )\n0 1.0000 1.0000 1.0000\n\n"},
    Reading{"NumbersBeyondIntIgnored", "( 0 4294967296 99999999999 )\n0 1 1 0\n4294967296 2 2 0\n99999999999 2 2 0\n",
            "( 0 )\n" + kP0 + "\n"},
    Reading{"NonFiniteCoordinatesIgnoredFillersAtOrigin", "( 0 1 2 3 )\n0 nan 1 0\n1 1e99 1 0\n2 3 inf 0\n3 1 1e1 0\n",
            "( 0 1 2 3 )\n0 0.0000 0.0000 0.0000\n1 0.0000 0.0000 0.0000\n2 0.0000 0.0000 0.0000\n"
            "3 1.0000 10.0000 0.0000\n\n"}),
    [](const testing::TestParamInfo<Reading>& info) { return info.param.name; });

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
