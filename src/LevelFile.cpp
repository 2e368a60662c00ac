#include "LevelFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "Splines.h"

// The structure-line counters stop here; a test build lowers it to reach it.
#ifndef OMBREL_READER_COUNT_LIMIT
#define OMBREL_READER_COUNT_LIMIT INT_MAX
#endif

namespace {

// Where a numbered point of a level file goes; used only while reading.
struct vertexInfo {
    int curveNum;
    int posInCurve;
};

const int kCountLimit = OMBREL_READER_COUNT_LIMIT;

// Where a character stands: line and column, both counted from 1.
struct Place {
    long line;
    long column;
};

const char* const kFieldNames[] = {"point number", "x", "y", "z"};

// Every kind of finding, and its class, decided here once: an error loses a
// point line the file holds (or the whole layout), a note only normalises.
enum Kind {
    kCounterLimit,          // the rest of the file is not read
    kNumberBeyondInt,       // on a structure line: not declared
    kUnreadablePointLine,
    kCoordinateOutOfRange,  // or a point number: the line is ignored
    kPointLineAcrossLines,  // a later line's numbers taken for this one's
    kPointBeforeStructure,
    kUndeclaredPoint,
    kPlacedOver,            // the earlier point line is lost
    kMadeUp,                // far more points than point lines: filler
    kNoPointLines,          // the whole file reads as no levels
    kStrayOnStructureLine,
    kUnclosedGroup,
    kStrayAfterPointLine,
    kCarriageReturn,
    kByteOrderMark,         // skipped
    kDeclaredAgain,
    kDeclaredEarlier,
    kZNotLevel,
    kPointlessLevel,
    kEmptyCurveZero,
    kFilledPlace,
    kUnrestoredDeclaration,
    kEmptyCurvesAfter,
};
const Kind kLastError = kNoPointLines;

Severity severityOf(Kind kind)
{
    return kind <= kLastError ? Severity::Error : Severity::Note;
}

// A character as a finding names it.
std::string describe(int ch)
{
    if (std::isprint(ch))
        return std::string("'") + static_cast<char>(ch) + "'";
    return "character " + std::to_string(ch);
}

std::string levelName(int level)
{
    return "level " + std::to_string(level);
}

// A key for a (curve, position) place.
unsigned long long placeKey(long long curve, long long position)
{
    return static_cast<unsigned long long>(curve) << 32 | static_cast<unsigned long long>(position);
}

// What the findings need to know of the structure line being read and of
// its point lines; kept only while someone listens.
struct Section {
    // A number declared at a place; or at each next place in turn, `count`
    // of them, each declaration but the last superseded by the next: a run
    // kept as one, however long. Columns, since all lie on the section's line.
    struct Declaration {
        int number;
        unsigned count;
        unsigned long long place;  // of the first: placeKey(curve, position)
        long column;               // of the last, the one that holds
        long firstColumn;          // in a run, of its first and second
        long secondColumn;
        bool superseded;  // the last is declared again later on the line
        long placedBy;    // line of the point line put at the last, or 0
        unsigned long long last() const { return place + count - 1; }
    };
    int level = -1;  // none read yet
    Place start{0, 0};
    // In the order of their places: a line's places only ever go up.
    std::vector<Declaration> declarations;
    std::map<unsigned long long, long> placedElsewhere;  // places no declaration holds
    // The level as its point lines make it: its curves, and the points of
    // those they reach.
    long long curves = 0;
    std::map<long long, long long> points;
    int reachedCurve = -1;
    long long* reached = nullptr;  // points[reachedCurve]
    struct EmptyGroups {
        int first;
        int last;
        Place at;  // the ')' of the first
    };
    std::vector<EmptyGroups> emptyGroups;  // runs of neighbouring empty groups
    bool placed = false;

    // The declaration that holds the place: the last of its run.
    Declaration* declarationAt(unsigned long long place)
    {
        const auto found = std::lower_bound(declarations.begin(), declarations.end(), place,
                                            [](const Declaration& d, unsigned long long key) { return d.last() < key; });
        return found != declarations.end() && found->last() == place ? &*found : nullptr;
    }
};

class LevelReader {
public:
    LevelReader(FILE* in, std::vector<Splines*>& spline, const FindingSink* findings, long long mostMade)
        : in(in), spline(spline), findings(findings), mostMade(mostMade)
    {
    }
    Reading read();

private:
    enum Status { Good, Unreadable, OutOfRange };

    FILE* in;
    std::vector<Splines*>& spline;
    const FindingSink* const findings;
    const long long mostMade;
    Reading reading;         // counted while someone listens
    bool building = true;    // false once the reading makes more than mostMade
    std::map<int, vertexInfo> curveInfo;
    int level = 0;
    int curve = 0;
    int position = 0;
    bool crossedLine = false;
    bool stopped = false;
    long line = 1;
    long column = 0;  // of the last character read
    long previousLineLength = 0;
    bool sawReturn = false;
    Section section;
    std::vector<std::pair<Place, int>> pointless;  // sections without point lines so far

    // The stream is locked once for the whole reading (see read()).
    int next()
    {
        const int ch = getc_unlocked(in);
        if (ch == '\n') {
            previousLineLength = column;
            ++line;
            column = 0;
        } else if (ch != EOF) {
            ++column;
            if (ch == '\r' && findings && !sawReturn)
                noteReturn();
        }
        return ch;
    }
    void back(int ch)
    {
        if (ch == EOF)
            return;
        std::ungetc(ch, in);
        if (ch == '\n') {
            --line;
            column = previousLineLength;
        } else {
            --column;
        }
    }
    Place here() const { return Place{line, column}; }
    bool count(int& counter, const char* what, Place at);
    void readStructureLine();
    void readPointLine();
    void skipByteOrderMark();
    void skipToLineEnd();
    void skipSpace();
    Status readInt(int& value);
    Status readFloat(float& value);
    void place(int number, const float* vertices, Place start);
    void build(const vertexInfo& where, const float* vertices);
    void grow(const vertexInfo& where);

    // Findings.
    void report(Kind kind, Place at, const std::string& what) const
    {
        (*findings)(Finding{at.line, at.column, severityOf(kind), what});
    }
    void noteReturn();
    void startSection(Place start);
    void noteEmptyGroup();
    void declare(int number, const vertexInfo& where, const vertexInfo* before, Place at);
    void notePlaced(int number, const vertexInfo& where, float z, Place start);
    void finishSection();
    unsigned long long reached(unsigned long long place) const;
    bool made(unsigned long long place) const;
    void reportUnplaced(const std::string& filler) const;
    void reportRunsDeclaredAgain() const;
    void reportRun(const Section::Declaration& run, const std::string& filler) const;
    void reportUndeclared(const std::string& filler) const;
    void reportEmptyGroups() const;
    void finishReading();
};

// One character at a time: the stream's lock is taken once for the whole
// reading instead of on every character, which matters once threads exist
// (the GL driver starts some).
Reading LevelReader::read()
{
    flockfile(in);
    skipByteOrderMark();
    for (int ch; !stopped && (ch = next()) != EOF;) {
        if (ch == '(') {
            readStructureLine();
        } else if (ch != '\n' && ch != ' ' && ch != '\r') {
            back(ch);
            readPointLine();
        }
    }
    funlockfile(in);
    if (findings)
        finishReading();
    return reading;
}

// Counters stop short of overflowing: a file that would take one past the
// largest int is read up to that point.
bool LevelReader::count(int& counter, const char* what, Place at)
{
    if (counter == kCountLimit) {
        stopped = true;
        if (findings)
            report(kCounterLimit, at, std::string("more ") + what + " than the reader counts: the rest is not read");
        return false;
    }
    ++counter;
    return true;
}

void LevelReader::readStructureLine()
{
    if (findings)
        startSection(here());
    int numbersInGroup = 0;
    int ch;
    while ((ch = next()) != EOF && ch != '\n') {
        if (ch == ')') {
            if (findings && numbersInGroup == 0)
                noteEmptyGroup();
            if (!count(curve, "curves on a line", here()))
                return;
            position = 0;
            numbersInGroup = 0;
        } else if (std::isdigit(ch)) {
            const Place at = here();
            back(ch);
            int pointnum;
            if (readInt(pointnum) == Good) {
                const int posInCurve = position;
                if (!count(position, "numbers in a group", at))
                    return;
                const vertexInfo where{curve, posInCurve};
                const auto entry = curveInfo.emplace(pointnum, where);
                const vertexInfo before = entry.first->second;
                entry.first->second = where;
                ++numbersInGroup;
                if (findings)
                    declare(pointnum, where, entry.second ? nullptr : &before, at);
            } else if (findings) {
                report(kNumberBeyondInt, at, "point number beyond int: not declared");
            }
        } else if (findings && ch != '(' && !std::isspace(ch)) {
            report(kStrayOnStructureLine, here(), describe(ch) + " on a structure line: passed over");
        }
    }
    const Place end = ch == '\n' ? Place{line - 1, previousLineLength + 1} : Place{line, column + 1};
    if (findings && numbersInGroup > 0)
        report(kUnclosedGroup, end, "group not closed by ')': the next structure line goes on with its positions");
    if (!count(level, "structure lines", end))
        return;
    curve = 0;
}

void LevelReader::readPointLine()
{
    const Place start{line, column + 1};
    ++reading.pointLines;
    crossedLine = false;
    int number = 0;
    float vertices[3];
    int bad = -1;  // the field that spoils the line
    Status status = readInt(number);
    if (status != Good)
        bad = 0;
    for (int axis = 0; axis < 3 && status != Unreadable; ++axis) {
        const Status next = readFloat(vertices[axis]);
        if (next != Good) {
            if (bad < 0 || next == Unreadable)
                bad = axis + 1;
            status = next;
        }
    }
    if (status == Unreadable) {
        // Drop the rest of the broken line, unless the offending text already
        // stands on a line of its own.
        if (!crossedLine)
            skipToLineEnd();
        if (findings)
            report(kUnreadablePointLine, start, std::string("point line without a readable ") + kFieldNames[bad] +
                                                    ": ignored");
        return;
    }
    const long lastLine = line;
    const int after = next();
    if (findings) {
        if (after != EOF && !std::isspace(after))
            report(kStrayAfterPointLine, here(), describe(after) + " right after a point line: passed over");
        if (status == OutOfRange)
            report(kCoordinateOutOfRange, start, std::string(kFieldNames[bad]) + (bad == 0 ? " beyond int" : " beyond the float range") +
                              ": point line ignored");
        else if (crossedLine)
            report(kPointLineAcrossLines, start, "point line goes on to line " + std::to_string(lastLine));
    }
    if (status == Good)
        place(number, vertices, start);
}
void LevelReader::skipToLineEnd()
{
    for (int ch; (ch = next()) != EOF && ch != '\n';) {
    }
}

// Editors that write UTF-8 may start a file with a byte order mark; read as
// text it would break line 1 and lose level 0's points, so exactly those
// three bytes are skipped. Any other start with its first byte is a broken
// point line, as ever.
void LevelReader::skipByteOrderMark()
{
    const char mark[] = "\xEF\xBB\xBF";
    size_t matched = 0;
    int ch;
    while (matched < 3 && (ch = next()) == static_cast<unsigned char>(mark[matched]))
        ++matched;
    if (matched == 3) {
        if (findings)
            report(kByteOrderMark, Place{1, 1}, "byte order mark: skipped");
        return;
    }
    back(ch);
    if (matched == 0)
        return;
    skipToLineEnd();
    if (findings)
        report(kUnreadablePointLine, Place{1, 1}, "point line without a readable point number: ignored");
}

void LevelReader::skipSpace()
{
    int ch;
    while ((ch = next()) != EOF && std::isspace(ch))
        crossedLine = crossedLine || ch == '\n';
    back(ch);
}

LevelReader::Status LevelReader::readInt(int& value)
{
    skipSpace();
    int ch = next();
    const bool negative = ch == '-';
    if (ch == '-' || ch == '+')
        ch = next();
    if (!std::isdigit(ch)) {
        back(ch);
        return Unreadable;
    }
    long long magnitude = 0;
    for (; std::isdigit(ch); ch = next())
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (ch - '0');
    back(ch);
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
    back(ch);
    if (!digits)
        return Unreadable;
    // Rounded once, to float: a number that rounds to the largest float is it.
    const float number = std::strtof(text.c_str(), nullptr);
    if (std::isinf(number))
        return OutOfRange;
    value = number;
    return Good;
}

// Puts a point where its number was declared, creating levels, curves and
// (0, 0, level) filler points on the way. Undeclared numbers have no place
// and are dropped, and before the first structure line there is no level.
void LevelReader::place(int number, const float* vertices, Place start)
{
    if (level < 1) {
        if (findings)
            report(kPointBeforeStructure, start, "point line before any structure line: ignored");
        return;
    }
    const auto entry = curveInfo.find(number);
    if (entry == curveInfo.end()) {
        if (findings)
            report(kUndeclaredPoint, start, "point " + std::to_string(number) + " is declared by no structure line: ignored");
        return;
    }
    if (findings)
        grow(entry->second);
    if (building)
        build(entry->second, vertices);
    if (findings)
        notePlaced(number, entry->second, vertices[2], start);
}

// The level's curve as the editor makes it: grown to the place, filler
// points before it.
void LevelReader::build(const vertexInfo& where, const float* vertices)
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

// Counts what building the place makes; beyond mostMade, building stops
// (the reading is then surely more than the file plainly holds).
void LevelReader::grow(const vertexInfo& where)
{
    const long long curves = static_cast<long long>(where.curveNum) + 1;
    if (section.curves < curves) {
        reading.made += curves - section.curves;
        section.curves = curves;
    }
    // Point lines mostly follow one another along a curve: its count is kept at hand.
    if (section.reached == nullptr || section.reachedCurve != where.curveNum) {
        section.reachedCurve = where.curveNum;
        section.reached = &section.points[where.curveNum];
    }
    long long& points = *section.reached;
    if (points <= where.posInCurve) {
        reading.made += where.posInCurve + 1 - points;
        points = where.posInCurve + 1;
    }
    building = building && reading.made <= mostMade;
}

// ---------------------------------------------------------------- findings

void LevelReader::noteReturn()
{
    sawReturn = true;
    report(kCarriageReturn, here(), "carriage return: read as a blank, not as a line end (only the first is reported)");
}

void LevelReader::startSection(Place start)
{
    finishSection();
    section = Section();
    section.level = level;
    section.start = start;
}

void LevelReader::noteEmptyGroup()
{
    std::vector<Section::EmptyGroups>& runs = section.emptyGroups;
    if (!runs.empty() && runs.back().last + 1 == curve)
        runs.back().last = curve;
    else
        runs.push_back(Section::EmptyGroups{curve, curve, here()});
}

// `before` is the number's place before this declaration, if it had one.
void LevelReader::declare(int number, const vertexInfo& where, const vertexInfo* before, Place at)
{
    Section::Declaration* const earlier =
        before ? section.declarationAt(placeKey(before->curveNum, before->posInCurve)) : nullptr;
    const unsigned long long key = placeKey(where.curveNum, where.posInCurve);
    if (earlier && earlier->number == number) {
        if (earlier == &section.declarations.back() && earlier->last() + 1 == key) {
            // At the next place again: the run grows, and is said once it ends.
            if (earlier->count++ == 1)
                earlier->secondColumn = at.column;
            earlier->column = at.column;
            return;
        }
        earlier->superseded = true;
        report(kDeclaredAgain, at, "point " + std::to_string(number) + " is declared again on this line: this later place wins");
    }
    section.declarations.push_back(Section::Declaration{number, 1, key, at.column, at.column, 0, false, 0});
}

void LevelReader::notePlaced(int number, const vertexInfo& where, float z, Place start)
{
    const int target = level - 1;
    const unsigned long long key = placeKey(where.curveNum, where.posInCurve);
    Section::Declaration* const declared = section.declarationAt(key);
    if (!declared || declared->number != number)
        report(kDeclaredEarlier, start, "point " + std::to_string(number) +
                          " is not declared by its level's structure line: placed where an earlier one put it (curve " +
                          std::to_string(where.curveNum) + ", position " + std::to_string(where.posInCurve) + ")");
    if (z != static_cast<float>(target)) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(z));
        report(kZNotLevel, start, "z is " + std::string(text) + ", not the level number " + std::to_string(target) +
                          ": the level number is used");
    }
    long& placedBy = declared ? declared->placedBy : section.placedElsewhere[key];
    if (placedBy != 0)
        report(kPlacedOver, start, "point " + std::to_string(number) + " goes where line " + std::to_string(placedBy) + " put a point: this line wins");
    placedBy = start.line;
    section.placed = true;
}

// Once a structure line's point lines are all read, the level they made is
// final: say what it filled in and what it left out.
void LevelReader::finishSection()
{
    if (section.level < 0)
        return;
    const int target = section.level;
    reportRunsDeclaredAgain();
    if (!section.placed) {
        pointless.emplace_back(section.start, target);
        return;
    }
    for (const auto& empty : pointless)
        report(kPointlessLevel, empty.first, levelName(empty.second) +
                                " has no point lines: it comes back as one empty curve, which gets the default square");
    pointless.clear();
    const std::string filler = "filled with (0, 0, " + std::to_string(target) + ")";
    if (section.points.count(0) == 0)
        report(kEmptyCurveZero, section.start, "curve 0 of " + levelName(target) + " has no points: it gets the default square");
    reportUnplaced(filler);
    reportUndeclared(filler);
    reportEmptyGroups();
}

// The points the level's curve of that place has.
unsigned long long LevelReader::reached(unsigned long long place) const
{
    const auto curve = section.points.find(static_cast<long long>(place >> 32));
    return curve == section.points.end() ? 0 : static_cast<unsigned long long>(curve->second);
}

// Whether the level has that place: its curve reaches it.
bool LevelReader::made(unsigned long long place) const
{
    return (place & 0xffffffffu) < reached(place);
}

// Declared places that no point line reached.
void LevelReader::reportUnplaced(const std::string& filler) const
{
    for (const Section::Declaration& declared : section.declarations) {
        const std::string point = "point " + std::to_string(declared.number);
        if (declared.count > 1)
            reportRun(declared, filler);
        if (declared.placedBy != 0)
            continue;
        const Place at{section.start.line, declared.column};
        if (made(declared.last()))
            report(kFilledPlace, at, point + (declared.superseded ? " is declared again later: this place is "
                                                                  : " has no point line: ") + filler);
        else if (!declared.superseded)
            report(kUnrestoredDeclaration, at, point + " has no point line: not restored by a reload");
    }
}

// Each run of declarations of one number, said once however long.
void LevelReader::reportRunsDeclaredAgain() const
{
    for (const Section::Declaration& run : section.declarations)
        if (run.count > 1) {
            const std::string point = "point " + std::to_string(run.number);
            report(kDeclaredAgain, Place{section.start.line, run.secondColumn},
                   run.count == 2 ? point + " is declared again on this line: this later place wins"
                                  : point + " is declared again on this line at each of the next " +
                                        std::to_string(run.count - 1) + " places: the last wins");
        }
}

// A run's declarations before its last: each is declared again at the next
// place, and those the level has are filler unless a point line reached them.
void LevelReader::reportRun(const Section::Declaration& run, const std::string& filler) const
{
    const std::string point = "point " + std::to_string(run.number);
    const unsigned again = run.count - 1;
    const unsigned long long first = run.place;
    const unsigned long long start = first & 0xffffffffu;
    const unsigned long long end = std::min<unsigned long long>(start + again, reached(first));
    if (start >= end)
        return;
    const auto from = section.placedElsewhere.lower_bound(first);
    const auto to = section.placedElsewhere.lower_bound(first + (end - start));
    const unsigned long long filled = end - start - static_cast<unsigned long long>(std::distance(from, to));
    const Place at{section.start.line, run.firstColumn};
    if (filled == 1 && again == 1)
        report(kFilledPlace, at, point + " is declared again later: this place is " + filler);
    else if (filled > 0)
        report(kFilledPlace, at, point + " is declared again later: " + std::to_string(filled) +
                                     " of its places on this line are " + filler);
}

// Places of the level that neither a declaration nor a point line made, a
// run at a time: the declarations and the other places reached, both in
// place order, walked beside each curve's places.
void LevelReader::reportUndeclared(const std::string& filler) const
{
    auto declared = section.declarations.cbegin();
    auto elsewhere = section.placedElsewhere.cbegin();
    for (const auto& curve : section.points) {
        const unsigned long long base = placeKey(curve.first, 0);
        const unsigned long long end = base + static_cast<unsigned long long>(curve.second);
        for (unsigned long long from = base; from < end;) {
            while (declared != section.declarations.cend() && declared->last() < from)
                ++declared;
            while (elsewhere != section.placedElsewhere.cend() && elsewhere->first < from)
                ++elsewhere;
            unsigned long long covered = end;
            if (declared != section.declarations.cend())
                covered = std::min(covered, std::max(declared->place, from));
            if (elsewhere != section.placedElsewhere.cend())
                covered = std::min(covered, elsewhere->first);
            if (covered > from) {
                const std::string c = "curve " + std::to_string(curve.first);
                const std::string first = std::to_string(from - base);
                report(kFilledPlace, section.start,
                       covered - from == 1 ? c + ", position " + first + " is declared by no number: " + filler
                                           : c + ", positions " + first + " to " + std::to_string(covered - 1 - base) +
                                                 " are declared by no number: " + filler);
            }
            const bool inDeclared = declared != section.declarations.cend() && declared->place <= covered &&
                                    covered <= declared->last();
            from = inDeclared ? declared->last() + 1 : covered + 1;
        }
    }
}

// Empty groups after the level's last curve with points.
void LevelReader::reportEmptyGroups() const
{
    for (const Section::EmptyGroups& run : section.emptyGroups) {
        const size_t first = std::max(static_cast<size_t>(run.first), static_cast<size_t>(section.curves));
        if (first > static_cast<size_t>(run.last))
            continue;
        const std::string which = first == static_cast<size_t>(run.last)
                                      ? "empty curve " + std::to_string(first)
                                      : "empty curves " + std::to_string(first) + " to " + std::to_string(run.last);
        report(kEmptyCurvesAfter, run.at, which + " after the level's last points: not restored by a reload");
    }
}

void LevelReader::finishReading()
{
    finishSection();
    for (const auto& empty : pointless)
        report(kPointlessLevel, empty.first, levelName(empty.second) + " has no point lines: not restored by a reload");
    if (reading.made == 0)  // nothing placed, whether built or only counted
        report(kNoPointLines, Place{1, 1}, "no point lines: the editor starts a new level with the default square");
    if (!reading.plain())
        report(kMadeUp, Place{1, 1}, madeUp(reading));
}

}  // namespace

const char* severityName(Severity severity)
{
    return severity == Severity::Error ? "error" : "note";
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

Reading readLevels(FILE* in, std::vector<Splines*>& spline, const FindingSink* findings, long long mostMade)
{
    return LevelReader(in, spline, findings, mostMade).read();
}

std::string madeUp(const Reading& reading)
{
    return "the reading makes " + std::to_string(reading.made) + " points and curves from " +
           std::to_string(reading.pointLines) + " point lines, more than " + std::to_string(kMadePerPointLine) +
           " for each plus " + std::to_string(kMadeBeyond) + ": mostly filler, not what the file plainly holds";
}

void settleAsTheEditorDoes(std::vector<Splines*>& spline)
{
    if (spline.empty())
        spline.push_back(new Splines);
    for (Splines* level : spline)
        level->setWindowSize(kInitialWindowWidth, kInitialWindowHeight);
}
