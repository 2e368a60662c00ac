#include "LevelFile.h"

#include <cctype>
#include <climits>
#include <map>
#include <string>

#include "LevelAudit.h"
#include "LevelModel.h"
#include "LevelScanner.h"
#include "Splines.h"

namespace {

// The reading the editor does, as it does it; `Audit` hears where a finding
// may arise (a SilentAudit for the editor, which hears nothing).
template <class Audit>
class LevelReader {
public:
    LevelReader(FILE* in, std::vector<Splines*>& spline, Audit& audit, int countLimit)
        : scan(in), spline(spline), audit(audit), countLimit(countLimit)
    {
    }
    Reading read();

private:
    LevelScanner scan;
    std::vector<Splines*>& spline;
    Audit& audit;
    const int countLimit;
    bool building = true;  // false once the audit says the reading makes too much
    std::map<int, vertexInfo> curveInfo;
    int level = 0;
    int curve = 0;
    int position = 0;
    bool stopped = false;

    bool count(int& counter, const char* what, Place at);
    void readStructureLine();
    void readDeclaration(int ch);
    void readPointLine();
    void place(int number, const float* vertices, Place start);
    void build(const vertexInfo& where, const float* vertices);
};

template <class Audit>
Reading LevelReader<Audit>::read()
{
    // Editors that write UTF-8 may start a file with a byte order mark; read
    // as text it would break line 1 and lose level 0's points, so exactly
    // those three bytes are skipped. Any other start with its first byte is
    // a broken point line, as ever.
    if (const int mark = scan.byteOrderMark()) {
        if (mark < 3)
            scan.skipToLineEnd();
        audit.byteOrderMark(mark);
    }
    for (int ch; !stopped && (ch = scan.next()) != EOF;) {
        if (ch == '(') {
            readStructureLine();
        } else if (ch != '\n' && ch != ' ' && ch != '\r') {
            scan.back(ch);
            readPointLine();
        }
    }
    return audit.finish(scan.firstReturn);
}

// Counters stop short of overflowing: a file that would take one past the
// limit (the largest int) is read up to that point.
template <class Audit>
bool LevelReader<Audit>::count(int& counter, const char* what, Place at)
{
    if (counter == countLimit) {
        stopped = true;
        audit.countLimit(what, at);
        return false;
    }
    ++counter;
    return true;
}

template <class Audit>
void LevelReader<Audit>::readStructureLine()
{
    audit.sectionStarts(scan.here(), level);
    int numbersInGroup = 0;
    int ch;
    while ((ch = scan.next()) != EOF && ch != '\n') {
        if (ch == ')') {
            if (numbersInGroup == 0)
                audit.emptyGroup(curve, scan.here());
            if (!count(curve, "curves on a line", scan.here()))
                return;
            position = 0;
            numbersInGroup = 0;
        } else if (std::isdigit(ch)) {
            const Place at = scan.here();
            scan.back(ch);
            int pointnum;
            if (scan.readInt(pointnum) != LevelScanner::Good) {
                audit.numberBeyondInt(at);
                continue;
            }
            const int posInCurve = position;
            if (!count(position, "numbers in a group", at))
                return;
            const vertexInfo where{curve, posInCurve};
            const auto entry = curveInfo.emplace(pointnum, where);
            const vertexInfo before = entry.first->second;
            entry.first->second = where;
            ++numbersInGroup;
            audit.declared(pointnum, where, entry.second ? nullptr : &before, at);
        } else if (ch != '(' && !std::isspace(ch)) {
            audit.strayOnStructureLine(ch, scan.here());
        }
    }
    const Place end = scan.endOfLine(ch);
    if (numbersInGroup > 0)
        audit.unclosedGroup(end);
    if (!count(level, "structure lines", end))
        return;
    curve = 0;
}

template <class Audit>
void LevelReader<Audit>::readPointLine()
{
    const Place start{scan.here().line, scan.here().column + 1};
    audit.pointLine();
    scan.crossedLine = false;
    int number = 0;
    float vertices[3];
    int bad = -1;  // the field that spoils the line
    LevelScanner::Status status = scan.readInt(number);
    if (status != LevelScanner::Good)
        bad = 0;
    for (int axis = 0; axis < 3 && status != LevelScanner::Unreadable; ++axis) {
        const LevelScanner::Status next = scan.readFloat(vertices[axis]);
        if (next != LevelScanner::Good) {
            if (bad < 0 || next == LevelScanner::Unreadable)
                bad = axis + 1;
            status = next;
        }
    }
    if (status == LevelScanner::Unreadable) {
        // Drop the rest of the broken line, unless the offending text already
        // stands on a line of its own.
        if (!scan.crossedLine)
            scan.skipToLineEnd();
        audit.unreadable(bad, start);
        return;
    }
    const long lastLine = scan.here().line;
    const int after = scan.next();
    if (after != EOF && !std::isspace(after))
        audit.strayAfterPointLine(after, scan.here());
    if (status == LevelScanner::OutOfRange)
        audit.outOfRange(bad, start);
    else if (scan.crossedLine)
        audit.acrossLines(start, lastLine);
    if (status == LevelScanner::Good)
        place(number, vertices, start);
}

// Puts a point where its number was declared, creating levels, curves and
// (0, 0, level) filler points on the way. Undeclared numbers have no place
// and are dropped, and before the first structure line there is no level.
template <class Audit>
void LevelReader<Audit>::place(int number, const float* vertices, Place start)
{
    if (level < 1) {
        audit.beforeStructure(start);
        return;
    }
    const auto entry = curveInfo.find(number);
    if (entry == curveInfo.end()) {
        audit.undeclared(number, start);
        return;
    }
    building = audit.grow(entry->second) && building;
    if (building)
        build(entry->second, vertices);
    audit.placed(number, entry->second, vertices[2], start, level - 1);
}

// The level's curve as the editor makes it: grown to the place, filler
// points before it.
template <class Audit>
void LevelReader<Audit>::build(const vertexInfo& where, const float* vertices)
{
    const size_t target = static_cast<size_t>(level - 1);
    const float z = static_cast<float>(target);
    while (spline.size() <= target) {
        Splines* const fresh = new Splines;
        fresh->level = static_cast<int>(spline.size());
        spline.push_back(fresh);
    }
    std::vector<Nodes>& curves = spline[target]->levelCurves;
    const size_t curveNum = static_cast<size_t>(where.curveNum);
    if (curves.size() <= curveNum)
        curves.resize(curveNum + 1);
    std::vector<Vec3>& points = curves[curveNum].controlPoints;
    const size_t posInCurve = static_cast<size_t>(where.posInCurve);
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

Reading readLevels(FILE* in, std::vector<Splines*>& spline, const DiagnosticSink* findings, long long mostMade,
                   int countLimit)
{
    if (!findings) {
        SilentAudit silent;
        return LevelReader<SilentAudit>(in, spline, silent, countLimit).read();
    }
    LevelAudit audit(*findings, mostMade);
    return LevelReader<LevelAudit>(in, spline, audit, countLimit).read();
}

void settleAsTheEditorDoes(std::vector<Splines*>& spline)
{
    if (spline.empty())
        spline.push_back(new Splines);
    for (Splines* level : spline)
        level->setWindowSize(kInitialWindowWidth, kInitialWindowHeight);
}
