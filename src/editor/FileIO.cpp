#include "FileIO.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"

namespace {

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

void FileIO::writeFile(std::vector<Splines*>& spline)
{
    promptForName("Output filename: ", writefile);
    const SaveOutcome outcome = saveFile(writefile, [&spline](FILE* file) { return writeLevels(file, spline); });
    // A file another save holds past the wait is one this save can't open.
    if (outcome == SaveOutcome::CantOpen || outcome == SaveOutcome::Busy)
        report("Can't open %s\n", writefile);
    else if (outcome == SaveOutcome::CantWrite)
        report("Can't write %s\n", writefile);
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
    // The levels read replace the old ones, which nothing else holds.
    freeLevels(spline);
    readLevels(in, spline);
    std::fclose(in);
}
