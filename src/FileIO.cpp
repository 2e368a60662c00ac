#include "FileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "LevelFile.h"

namespace {

const int kMaxLinkHops = 40;

void report(const char* format, const std::string& name)
{
    std::printf(format, name.c_str());
    std::fflush(stdout);
}

// Reads one blank-delimited word from the console into an empty name; the
// rest of the input line stays for the next prompt.
void promptForName(const char* prompt, std::string& name)
{
    if (!name.empty())
        return;
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    int c;
    while ((c = std::getchar()) != EOF && std::isspace(c)) {
    }
    for (; c != EOF && !std::isspace(c); c = std::getchar())
        name += static_cast<char>(c);
    if (c != EOF)
        std::ungetc(c, stdin);
}

// ---------------------------------------------------------------- writing

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

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileIO::FileIO() {}

void FileIO::setOutputName(const char* filename)
{
    writefile = filename;
}

void FileIO::setInputName(const char* filename)
{
    readfile = filename;
}

const std::string& FileIO::getInputName() const
{
    return readfile;
}

// Writes into a temporary file beside the target and renames it over the
// target only when every byte is out, so a failed save never costs the
// previous file.
void FileIO::writeFile(std::vector<Splines*>& spline)
{
    promptForName("Output filename: ", writefile);
    const std::string target = followLinks(writefile);
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (target.empty() || (exists && (!S_ISREG(info.st_mode) || access(target.c_str(), W_OK) != 0))) {
        report("Can't open %s\n", writefile);
        return;
    }
    std::string temporary = directoryOf(target) + "/.ombrel-save-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    FILE* const file = fd < 0 ? nullptr : fdopen(fd, "w");
    if (!file) {
        if (fd >= 0) {
            close(fd);
            unlink(temporary.c_str());
        }
        report("Can't open %s\n", writefile);
        return;
    }
    bool written = fchmod(fd, exists ? (info.st_mode & 07777) : newFileMode()) == 0;
    written = writeLevels(file, spline) && written;
    written = std::fflush(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        report("Can't write %s\n", writefile);
    }
}

void FileIO::readFile(std::vector<Splines*>& spline)
{
    promptForName("Input filename: ", readfile);
    FILE* in = std::fopen(readfile.c_str(), "r");
    struct stat info;
    if (in && fstat(fileno(in), &info) == 0 && S_ISDIR(info.st_mode)) {
        // A directory opens but reads as nothing; it must not wipe the levels.
        std::fclose(in);
        in = nullptr;
    }
    if (!in) {
        report("Can't open %s\n", readfile);
        return;
    }
    // The old levels are only dropped from the list, never freed.
    spline.clear();
    readLevels(in, spline);
    std::fclose(in);
}
