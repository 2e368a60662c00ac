#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>

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
    keepReachable(levels);
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
    keepReachable(levels);
}

std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

// A folder inside this process's own, which every user may enter.
std::string sharedFolder(const std::string& name, mode_t mode)
{
    chmod(tempPath("").c_str(), 0711);
    const std::string folder = tempPath(name);
    mkdir(folder.c_str(), 0700);
    chmod(folder.c_str(), mode);
    return folder;
}

// Saves the worked example to the target in a child process that first runs
// prepare, and returns what the child printed.
std::string saveInChild(const std::string& target, void (*prepare)())
{
    const std::string output = tempPath("child-stdout");
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(output.c_str(), "w", stdout);
        std::vector<Splines*> levels = load(kWorkedExample);
        prepare();
        FileIO files;
        files.setOutputName(target.c_str());
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

// Root passes every permission check: the child saves as nobody instead,
// with standard input closed, so that a file it opens takes descriptor 0.
void leaveRoot()
{
    const uid_t nobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
        _exit(1);
    close(STDIN_FILENO);
}

TEST(SafeSave, ReplacesThroughLinksAndKeepsPermissions)
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
    EXPECT_EQ(filesIn(folder), std::set<std::string>{"real.lvl"});
    // Run as root, another user's file is replaced by rename as well: the new
    // file takes its owner, and a failure midway would still cost nothing.
    if (geteuid() == 0) {
        const std::string theirs = tempPath("theirs.lvl");
        writeWholeFile(theirs, "old");
        struct stat before;
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
        ASSERT_EQ(stat(theirs.c_str(), &before), 0);
        save(load(kWorkedExample), "theirs.lvl");
        ASSERT_EQ(stat(theirs.c_str(), &info), 0);
        EXPECT_NE(info.st_ino, before.st_ino);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    // A file with a second name is written in place: both names see the save.
    writeWholeFile(tempPath("first-name.lvl"), "old");
    ASSERT_EQ(link(tempPath("first-name.lvl").c_str(), tempPath("second-name.lvl").c_str()), 0);
    save(load(kWorkedExample), "first-name.lvl");
    EXPECT_EQ(readWholeFile(tempPath("second-name.lvl")), kWorkedExample);
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
    std::vector<Splines*> levels = load(kWorkedExample);
    CaptureStdout();
    files.writeFile(levels);
    EXPECT_EQ(GetCapturedStdout(), "");
    close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK));  // lets a reader still waiting go
    waitpid(reader, nullptr, 0);
    EXPECT_EQ(readWholeFile(received), kWorkedExample);
}

// A folder that takes no new file, and (run as root) another user's file in a
// shared or a sticky folder, whose owner a new file can't take, and which a
// sticky folder won't let be renamed over: the save writes in place, ends
// where the new bytes end, and the file keeps its owner and mode.
TEST(SafeSave, WritesInPlaceWhereNoNewFileMayTakeTheName)
{
    for (const auto& [name, mode] : {std::pair{"read-only", 0555}, std::pair{"shared", 0777}, std::pair{"sticky", 01777}}) {
        const std::string folder = sharedFolder(name, 0777), target = folder + "/shared.lvl";
        // Longer than what replaces it: nothing of it may be left past the new end.
        writeWholeFile(target, std::string(kWorkedExample) + kWorkedExample);
        chmod(target.c_str(), 0666);
        if (geteuid() == 0 && chown(target.c_str(), 0, 65534) != 0)  // the saver's group, not its owner
            ADD_FAILURE() << "chown";
        chmod(folder.c_str(), mode);
        EXPECT_EQ(saveInChild(target, leaveRoot), "") << name;
        EXPECT_EQ(readWholeFile(target), kWorkedExample) << name;
        struct stat info;
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, geteuid()) << name;
        EXPECT_EQ(info.st_mode & 07777, 0666u) << name;
        EXPECT_EQ(filesIn(folder), std::set<std::string>{"shared.lvl"}) << name;
        chmod(folder.c_str(), 0755);
    }
}

// A missing folder, no name and a loop of links are "Can't open" and change
// nothing; a save that fails midway says so and keeps the old bytes, whether
// it replaces by rename or writes in place (a file with a second link).
TEST(SafeSave, FailedSavesSaySoAndKeepTheOldFile)
{
    ASSERT_EQ(symlink("loop-b", tempPath("loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", tempPath("loop-b").c_str()), 0);
    std::vector<Splines*> levels = load(kWorkedExample);
    for (const std::string& target : {tempPath("no-such-folder/out.lvl"), tempPath(""), tempPath("loop-a")}) {
        CaptureStdout();
        save(levels, target.substr(tempPath("").size()));
        EXPECT_EQ(GetCapturedStdout(), "Can't open " + target + "\n");
    }
    struct stat info;
    ASSERT_EQ(lstat(tempPath("loop-a").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
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
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"in-place.lvl", "other-name.lvl", "renamed.lvl"}));
}

// The signals that end a process unless it catches them, and that it can.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2};

// A save in a child process whose writer writes `first`, says so on
// `started`, and writes `rest` once the test closes `release`; the child's
// exit status is the save's outcome.
struct HeldSave {
    pid_t child;
    int started;
    int release;
};

HeldSave startHeldSave(const std::string& target, const std::string& first, const std::string& rest,
                       std::chrono::milliseconds lockWait = kSaveLockWait)
{
    int started[2], release[2];
    if (pipe(started) != 0 || pipe(release) != 0)
        ADD_FAILURE() << "pipe";
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        // Holding another save's release open would hold that save forever.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != started[1] && fd != release[0])
                close(fd);
        const rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const SaveOutcome outcome = saveFile(
            target,
            [&](FILE* file) {
                char byte;
                return std::fputs(first.c_str(), file) >= 0 && std::fflush(file) == 0 &&
                       write(started[1], "w", 1) == 1 && read(release[0], &byte, 1) == 0 &&
                       std::fputs(rest.c_str(), file) >= 0;
            },
            lockWait);
        _exit(static_cast<int>(outcome));
    }
    close(started[1]);
    close(release[0]);
    return {child, started[0], release[1]};
}

// Lets a held save go on and returns its wait status.
int finish(const HeldSave& save)
{
    close(save.release);
    close(save.started);
    int status = 0;
    waitpid(save.child, &status, 0);
    return status;
}

bool writerStarted(const HeldSave& save, int waitMs)
{
    pollfd ready = {save.started, POLLIN, 0};
    char byte;
    return poll(&ready, 1, waitMs) == 1 && read(save.started, &byte, 1) == 1;
}

// A signal that ends the process in the middle of a save: by rename, it
// takes the temporary file with it and the old file stays; in place, it
// waits until the new file is whole. A file size limit is such a signal.
TEST(SafeSave, ASignalMidSaveLeavesTheOldFileOrTheWholeNewOne)
{
    const std::string old = "previous contents, longer than what replaces them\n";
    for (const bool inPlace : {false, true}) {
        const std::string folder = tempPath(inPlace ? "signalled-in-place" : "signalled-by-rename");
        const std::string target = folder + "/layout.lvl", other = folder + "/other-name.lvl";
        mkdir(folder.c_str(), 0755);
        writeWholeFile(target, old);
        if (inPlace && link(target.c_str(), other.c_str()) != 0)
            ADD_FAILURE() << "link";
        const std::set<std::string> names = inPlace ? std::set<std::string>{"layout.lvl", "other-name.lvl"}
                                                    : std::set<std::string>{"layout.lvl"};
        for (const int signal : kEndingSignals) {
            const HeldSave save = startHeldSave(target, "( 0 )\n", "0 1 2 3\n\n");
            ASSERT_TRUE(writerStarted(save, 60000)) << signal;
            kill(save.child, signal);
            const int status = finish(save);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << inPlace << " " << signal;
            EXPECT_EQ(filesIn(folder), names) << inPlace << " " << signal;
            EXPECT_EQ(readWholeFile(target), inPlace ? "( 0 )\n0 1 2 3\n\n" : old) << signal;
            writeWholeFile(target, old);
        }
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            const rlimit small = {100, 100}, noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            setrlimit(RLIMIT_FSIZE, &small);
            saveFile(target, [](FILE* file) { return std::fputs(std::string(200, '(').c_str(), file) >= 0; });
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << inPlace;
        EXPECT_EQ(filesIn(folder), names) << inPlace;
        EXPECT_EQ(readWholeFile(target), old) << inPlace;
    }
}

// Once a save ends, each signal it watched is handled as before it began:
// by default, or by the program's own handler, which the save left alone.
TEST(SafeSave, LeavesTheSignalsAsItFoundThem)
{
    struct sigaction own = {};
    own.sa_handler = [](int) {};
    sigemptyset(&own.sa_mask);
    sigaction(SIGUSR1, &own, nullptr);
    const auto handlers = [] {
        std::vector<void (*)(int)> found;
        for (const int signal : kEndingSignals) {
            struct sigaction now = {};
            sigaction(signal, nullptr, &now);
            found.push_back(now.sa_handler);
        }
        return found;
    };
    const std::vector<void (*)(int)> before = handlers();
    EXPECT_EQ(save({makeLevel(0, {{{1, 2}}})}, "signals.lvl"), "( 0 )\n0 1.0000 2.0000 0.0000\n\n");
    EXPECT_EQ(handlers(), before);
    std::signal(SIGUSR1, SIG_DFL);
}

// A second save of a file written in place waits for the first to end, then
// writes it whole; a save that would wait past its bound fails, says so in
// the editor's words and the tool's, and changes nothing.
TEST(SafeSave, SavesOfOneFileTakeTurns)
{
    const std::string folder = tempPath("turns"), target = folder + "/layout.lvl";
    mkdir(folder.c_str(), 0755);
    writeWholeFile(target, "previous contents\n");
    ASSERT_EQ(link(target.c_str(), (folder + "/other-name.lvl").c_str()), 0);
    const HeldSave first = startHeldSave(target, "( 0 )\n", "0 1 1 1\n\n");
    ASSERT_TRUE(writerStarted(first, 60000));

    writeWholeFile(tempPath("input.lvl"), kWorkedExample);
    const std::string tool = std::string(OMBREL_LEVEL_TOOL) + " format -o " + target + " " + tempPath("input.lvl");
    FILE* const toolSays = popen((tool + " 2>&1; echo exit $?").c_str(), "r");
    ASSERT_NE(toolSays, nullptr);
    std::vector<Splines*> levels = load(kWorkedExample);
    CaptureStdout();
    save(levels, "turns/layout.lvl");
    EXPECT_EQ(GetCapturedStdout(), "Can't open " + target + "\n");
    std::string said;
    for (int c; (c = std::fgetc(toolSays)) != EOF;)
        said += static_cast<char>(c);
    pclose(toolSays);
    EXPECT_EQ(said, "ombrel-level: can't write " + target + ": another save of it went on for over 10 s\nexit 2\n");

    const HeldSave second = startHeldSave(target, "( 0 1 )\n", "0 2 2 2\n1 3 3 3\n\n", std::chrono::minutes(1));
    EXPECT_FALSE(writerStarted(second, 300));
    EXPECT_EQ(finish(first), 0);
    EXPECT_TRUE(writerStarted(second, 60000));
    EXPECT_EQ(finish(second), 0);
    EXPECT_EQ(readWholeFile(target), "( 0 1 )\n0 2 2 2\n1 3 3 3\n\n");
}

}  // namespace
