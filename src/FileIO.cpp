#include "FileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "Splines.h"

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

bool writeLevels(FILE* file, const std::vector<Splines*>& spline)
{
    for (const Splines* level : spline) {
        int numNodes = 0;
        for (const Nodes& curve : level->levelCurves) {
            std::fputs("( ", file);
            for (size_t k = 0; k < curve.controlPoints.size(); ++k)
                std::fprintf(file, "%i ", numNodes++);
            std::fputc(')', file);
        }
        std::fputc('\n', file);
        numNodes = 0;
        for (const Nodes& curve : level->levelCurves)
            for (const Vec3& point : curve.controlPoints)
                std::fprintf(file, "%i %0.4f %0.4f %0.4f\n", numNodes++, point.pos[0], point.pos[1], point.pos[2]);
        std::fputc('\n', file);
        if (std::ferror(file))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- reading

class LevelReader {
public:
    LevelReader(FILE* in, std::vector<Splines*>& spline) : in(in), spline(spline) {}
    void read();

private:
    enum Status { Good, Unreadable, OutOfRange };

    FILE* in;
    std::vector<Splines*>& spline;
    std::map<int, vertexInfo> curveInfo;
    int level = 0;
    int curve = 0;
    int position = 0;
    bool crossedLine = false;

    // The stream is locked once for the whole reading (see read()).
    int next() { return getc_unlocked(in); }
    void readStructureLine();
    void readPointLine();
    void skipSpace();
    Status readInt(int& value);
    Status readFloat(float& value);
    void place(int number, const float* vertices);
};

// One character at a time: the stream's lock is taken once for the whole
// reading instead of on every character, which matters once threads exist
// (the GL driver starts some).
void LevelReader::read()
{
    flockfile(in);
    for (int ch; (ch = next()) != EOF;) {
        if (ch == '(') {
            readStructureLine();
        } else if (ch != '\n' && ch != ' ' && ch != '\r') {
            std::ungetc(ch, in);
            readPointLine();
        }
    }
    funlockfile(in);
}

void LevelReader::readStructureLine()
{
    for (int ch; (ch = next()) != EOF && ch != '\n';) {
        if (ch == ')') {
            ++curve;
            position = 0;
        } else if (std::isdigit(ch)) {
            std::ungetc(ch, in);
            int pointnum;
            if (readInt(pointnum) == Good)
                curveInfo[pointnum] = vertexInfo{curve, position++};
        }
    }
    ++level;
    curve = 0;
}

void LevelReader::readPointLine()
{
    crossedLine = false;
    int number = 0;
    float vertices[3];
    Status status = readInt(number);
    for (int axis = 0; axis < 3 && status != Unreadable; ++axis) {
        const Status next = readFloat(vertices[axis]);
        if (next != Good)
            status = next;
    }
    if (status == Unreadable) {
        // Drop the rest of the broken line, unless the offending text already
        // stands on a line of its own.
        if (!crossedLine)
            for (int ch; (ch = next()) != EOF && ch != '\n';) {
            }
        return;
    }
    next();
    if (status == Good)
        place(number, vertices);
}

void LevelReader::skipSpace()
{
    int ch;
    while ((ch = next()) != EOF && std::isspace(ch))
        crossedLine = crossedLine || ch == '\n';
    std::ungetc(ch, in);
}

LevelReader::Status LevelReader::readInt(int& value)
{
    skipSpace();
    int ch = next();
    const bool negative = ch == '-';
    if (ch == '-' || ch == '+')
        ch = next();
    if (!std::isdigit(ch)) {
        std::ungetc(ch, in);
        return Unreadable;
    }
    long long magnitude = 0;
    for (; std::isdigit(ch); ch = next())
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (ch - '0');
    std::ungetc(ch, in);
    if (magnitude > INT_MAX)
        return OutOfRange;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return Good;
}

LevelReader::Status LevelReader::readFloat(float& value)
{
    skipSpace();
    std::string text;
    int ch = next();
    if (ch == '-' || ch == '+') {
        text += static_cast<char>(ch);
        ch = next();
    }
    bool digits = false;
    for (; std::isdigit(ch) || (ch == '.' && text.find('.') == std::string::npos); ch = next()) {
        digits = digits || ch != '.';
        text += static_cast<char>(ch);
    }
    if (digits && (ch == 'e' || ch == 'E')) {
        text += static_cast<char>(ch);
        ch = next();
        if (ch == '-' || ch == '+') {
            text += static_cast<char>(ch);
            ch = next();
        }
        digits = std::isdigit(ch);
        for (; std::isdigit(ch); ch = next())
            text += static_cast<char>(ch);
    }
    std::ungetc(ch, in);
    if (!digits)
        return Unreadable;
    const double number = std::strtod(text.c_str(), nullptr);
    if (!(std::fabs(number) <= FLT_MAX))
        return OutOfRange;
    value = static_cast<float>(number);
    return Good;
}

// Puts a point where its number was declared, creating levels, curves and
// (0, 0, level) filler points on the way. Undeclared numbers have no place
// and are dropped; before the first structure line nothing is declared.
void LevelReader::place(int number, const float* vertices)
{
    const auto entry = curveInfo.find(number);
    if (entry == curveInfo.end())
        return;
    const size_t target = static_cast<size_t>(level - 1);
    const float z = static_cast<float>(target);
    while (spline.size() <= target) {
        Splines* const fresh = new Splines;
        fresh->level = static_cast<int>(spline.size());
        spline.push_back(fresh);
    }
    std::vector<Nodes>& curves = spline[target]->levelCurves;
    const size_t curveNum = static_cast<size_t>(entry->second.curveNum);
    if (curves.size() <= curveNum)
        curves.resize(curveNum + 1);
    std::vector<Vec3>& points = curves[curveNum].controlPoints;
    const size_t posInCurve = static_cast<size_t>(entry->second.posInCurve);
    if (points.size() <= posInCurve)
        points.resize(posInCurve + 1, Vec3(0.0f, 0.0f, z));
    points[posInCurve] = Vec3(vertices[0], vertices[1], z);
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
    // The levels read replace the old ones, which nothing else holds.
    for (Splines* old : spline)
        delete old;
    spline.clear();
    LevelReader(in, spline).read();
    std::fclose(in);
}
