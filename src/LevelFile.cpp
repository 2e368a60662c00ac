#include "LevelFile.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "FileIO.h"
#include "Splines.h"

namespace {

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

void readLevels(FILE* in, std::vector<Splines*>& spline)
{
    LevelReader(in, spline).read();
}
