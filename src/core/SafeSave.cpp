#include "SafeSave.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <thread>

namespace {

const int kMaxLinkHops = 40;
const std::chrono::milliseconds kLockPoll{10};

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at, so that saving replaces the
// file and keeps the link.
std::string followLinks(std::string path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        std::string target(4096, '\0');
        const ssize_t length = readlink(path.c_str(), &target[0], target.size());
        if (length <= 0)
            break;
        target.resize(static_cast<size_t>(length));
        path = target[0] == '/' ? target : directoryOf(path) + "/" + target;
    }
    return path;
}

// Cleaning up after a failure keeps errno saying why it failed.
class KeepErrno {
public:
    KeepErrno() : saved(errno) {}
    ~KeepErrno() { errno = saved; }

private:
    const int saved;
};

// The signals that end the process unless it catches them, and that it can.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2};

// The temporary file of the save under way, for a signal that ends the
// process before the rename; set in full before it is marked pending.
char pendingTemporary[4096];
volatile sig_atomic_t temporaryPending = 0;

void removeTemporaryAndEnd(int signal)
{
    if (temporaryPending)
        unlink(pendingTemporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// While it lives, a signal that would end the process removes the temporary
// file first; signals the program handles or ignores itself are left alone.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(const std::string& path)
    {
        if (path.size() >= sizeof pendingTemporary)
            return;
        std::memcpy(pendingTemporary, path.c_str(), path.size() + 1);
        temporaryPending = 1;
        struct sigaction cleanup = {};
        cleanup.sa_handler = removeTemporaryAndEnd;
        sigemptyset(&cleanup.sa_mask);
        for (size_t k = 0; k < std::size(kEndingSignals); ++k)
            installed[k] = sigaction(kEndingSignals[k], nullptr, &previous[k]) == 0 &&
                           previous[k].sa_handler == SIG_DFL && sigaction(kEndingSignals[k], &cleanup, nullptr) == 0;
    }
    ~TemporaryFileGuard()
    {
        const KeepErrno keep;
        temporaryPending = 0;
        for (size_t k = 0; k < std::size(kEndingSignals); ++k)
            if (installed[k])
                sigaction(kEndingSignals[k], &previous[k], nullptr);
    }
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

private:
    struct sigaction previous[std::size(kEndingSignals)] = {};
    bool installed[std::size(kEndingSignals)] = {};
};

// While it lives, the ending signals wait: one that arrives acts when the
// hold ends, after the file is whole again, old or new. Holding them rather
// than putting the old bytes back from a handler keeps the file whole
// whatever the signal, SIGXFSZ of the write itself included, and costs a
// Ctrl-C no more than the write's own time.
class SignalHold {
public:
    SignalHold()
    {
        sigset_t ending;
        sigemptyset(&ending);
        for (const int signal : kEndingSignals)
            sigaddset(&ending, signal);
        pthread_sigmask(SIG_BLOCK, &ending, &previous);
    }
    ~SignalHold()
    {
        const KeepErrno keep;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

private:
    sigset_t previous;
};

// Waits its turn behind any other save of the file, for at most `wait`;
// false, errno EWOULDBLOCK, when the other save went on longer. A
// filesystem that keeps no locks is saved to without one.
bool waitForTurn(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
    return true;
}

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// NotByRename: the file can't be replaced by a new one; written another way.
enum class Saved { Yes, CantOpen, CantWrite, Busy, NotByRename };


// The contents through a stream of its own on the descriptor, which stays
// open, its offset at the end of what was written.
bool writeTo(int fd, const FileWriter& write)
{
    const int copy = dup(fd);
    FILE* const file = copy < 0 ? nullptr : fdopen(copy, "w");
    if (!file) {
        const KeepErrno keep;
        if (copy >= 0)
            close(copy);
        return false;
    }
    const bool written = write(file);
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written)
        errno = error;
    return closed && written;
}

bool writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::string& text)
{
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        text.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

// Pipes, terminals and devices are written as they are; so is a new file
// that can't be made by rename.
Saved writeDirectly(const std::string& name, const FileWriter& write)
{
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Saved::CantOpen;
    const bool written = writeTo(fd, write);
    const KeepErrno keep;
    const bool closed = close(fd) == 0;
    return written && closed ? Saved::Yes : Saved::CantWrite;
}

// Overwrites the file itself, which keeps its links, owner, group and mode,
// once no other save is writing it; its old bytes are kept first and put
// back when the write fails, and a signal acts only once either is done.
Saved writeInPlace(const std::string& name, const FileWriter& write, std::chrono::milliseconds lockWait)
{
    const int fd = open(name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Saved::CantOpen;
    std::string old;
    const bool ourTurn = waitForTurn(fd, lockWait);
    if (!ourTurn || !readAll(fd, old)) {
        const KeepErrno keep;
        close(fd);
        return ourTurn ? Saved::CantOpen : Saved::Busy;
    }
    const SignalHold hold;
    // Synced, so that a late error still finds the old bytes at hand.
    bool written = lseek(fd, 0, SEEK_SET) == 0 && writeTo(fd, write);
    const off_t end = written ? lseek(fd, 0, SEEK_CUR) : -1;
    written = end >= 0 && ftruncate(fd, end) == 0 && fsync(fd) == 0;
    if (!written) {
        const KeepErrno keep;
        const bool restored = lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, old) &&
                              ftruncate(fd, static_cast<off_t>(old.size())) == 0;
        static_cast<void>(restored);  // nothing more to try: the save fails either way
        close(fd);
        return Saved::CantWrite;
    }
    return close(fd) == 0 ? Saved::Yes : Saved::CantWrite;
}

// Gives a new file the owner, group and mode of the old one; false when it
// can't have them all. A filesystem may refuse fchmod (vfat): what counts is
// the mode the file ends up with.
bool takeOwnerAndMode(int fd, const struct stat& old)
{
    struct stat now;
    if (fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    const mode_t mode = old.st_mode & 07777;
    fchmod(fd, mode);
    return fstat(fd, &now) == 0 && (now.st_mode & 07777) == mode;
}

// Writes a temporary file beside the target and renames it over the target
// only when every byte is out, so a failure never costs the previous file.
// NotByRename, leaving nothing behind, when the new file can't be made or
// can't have everything the old one had (`old`, when there is one).
Saved writeByRename(const std::string& target, const struct stat* old, const FileWriter& write)
{
    std::string temporary = directoryOf(target) + "/.ombrel-save-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return Saved::NotByRename;
    const TemporaryFileGuard guard(temporary);
    if (!old)
        fchmod(fd, newFileMode());  // a refusal leaves the filesystem's own mode
    Saved result = Saved::NotByRename;
    if (!old || takeOwnerAndMode(fd, *old))
        result = writeTo(fd, write) ? Saved::Yes : Saved::CantWrite;
    if (close(fd) != 0 && result == Saved::Yes)
        result = Saved::CantWrite;
    if (result == Saved::Yes && std::rename(temporary.c_str(), target.c_str()) != 0)
        result = Saved::NotByRename;
    if (result != Saved::Yes) {
        const KeepErrno keep;
        unlink(temporary.c_str());
    }
    return result;
}

// The process's own standard output or error, when the name is that file
// (/dev/stdout, /dev/fd/2, or the file the shell redirected it to); else -1.
int standardStreamNamed(const std::string& name)
{
    struct stat target, stream;
    if (stat(name.c_str(), &target) != 0)
        return -1;
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO})
        if (fstat(fd, &stream) == 0 && stream.st_dev == target.st_dev && stream.st_ino == target.st_ino)
            return fd;
    return -1;
}

// Where a plain write of the name would work, so does a save (see saveFile).
Saved save(const std::string& name, const FileWriter& write, std::chrono::milliseconds lockWait)
{
    // Written where the shell put the stream, as "-" would be: replacing the
    // file behind it would lose what the shell and others wrote there.
    const int stream = name.empty() ? -1 : standardStreamNamed(name);
    if (stream >= 0) {
        std::fflush(stream == STDOUT_FILENO ? stdout : stderr);
        return writeTo(stream, write) ? Saved::Yes : Saved::CantWrite;
    }
    struct stat info;
    const bool exists = !name.empty() && stat(name.c_str(), &info) == 0;
    if (name.empty() || (!exists && errno != ENOENT))
        return Saved::CantOpen;  // a loop of links, a file as a folder, no search permission
    if (!exists) {
        const std::string target = followLinks(name);  // a dangling link makes its target
        const Saved result = writeByRename(target, nullptr, write);
        return result == Saved::NotByRename ? writeDirectly(target, write) : result;
    }
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;  // stat succeeded: nothing else says why
        return Saved::CantOpen;
    }
    if (access(name.c_str(), W_OK) != 0)
        return Saved::CantOpen;
    if (!S_ISREG(info.st_mode))
        return writeDirectly(name, write);
    const std::string target = followLinks(name);
    struct stat resolved;
    if (info.st_nlink == 1 && stat(target.c_str(), &resolved) == 0 && resolved.st_dev == info.st_dev &&
        resolved.st_ino == info.st_ino) {
        const Saved result = writeByRename(target, &info, write);
        if (result != Saved::NotByRename)
            return result;
    }
    return writeInPlace(name, write, lockWait);
}

}  // namespace

SaveOutcome saveFile(const std::string& name, const FileWriter& write, std::chrono::milliseconds lockWait)
{
    switch (save(name, write, lockWait)) {
    case Saved::Yes:
        return SaveOutcome::Saved;
    case Saved::CantOpen:
        return SaveOutcome::CantOpen;
    case Saved::Busy:
        return SaveOutcome::Busy;
    default:
        return SaveOutcome::CantWrite;
    }
}

