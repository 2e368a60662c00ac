#include "LevelAudit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <iterator>

namespace {

// Every kind of finding, one row each: an error loses a point line the file
// holds (or the whole layout), a note only normalises. Each %s of the
// wording is the next of the finding's words.
enum Kind {
    kCounterLimit,
    kNumberBeyondInt,
    kUnreadablePointLine,
    kPointNumberOutOfRange,
    kCoordinateOutOfRange,
    kPointLineAcrossLines,
    kPointBeforeStructure,
    kUndeclaredPoint,
    kPlacedOver,
    kMadeUp,
    kNoPointLines,
    kStrayOnStructureLine,
    kUnclosedGroup,
    kStrayAfterPointLine,
    kCarriageReturn,
    kByteOrderMark,
    kDeclaredAgain,
    kDeclaredAgainAtEach,
    kDeclaredEarlier,
    kZNotLevel,
    kPointlessLevel,
    kPointlessLastLevel,
    kEmptyCurveZero,
    kFilledDeclaration,
    kFilledSuperseded,
    kFilledRun,
    kFilledUndeclaredPlace,
    kFilledUndeclaredPlaces,
    kUnrestoredDeclaration,
    kEmptyCurveAfter,
    kEmptyCurvesAfter,
    kKindCount
};

struct KindRow {
    Kind kind;
    Severity severity;
    const char* wording;
};

const Severity E = Severity::Error, N = Severity::Note;

const KindRow kKinds[] = {
    {kCounterLimit, E, "more %s than the reader counts: the rest is not read"},
    {kNumberBeyondInt, E, "point number beyond int: not declared"},
    {kUnreadablePointLine, E, "point line without a readable %s: ignored"},
    {kPointNumberOutOfRange, E, "point number beyond int: point line ignored"},
    {kCoordinateOutOfRange, E, "%s beyond the float range: point line ignored"},
    {kPointLineAcrossLines, E, "point line goes on to line %s"},
    {kPointBeforeStructure, E, "point line before any structure line: ignored"},
    {kUndeclaredPoint, E, "point %s is declared by no structure line: ignored"},
    {kPlacedOver, E, "point %s goes where line %s put a point: this line wins"},
    {kMadeUp, E,
     "the reading makes %s points and curves from %s point lines, more than %s for each plus %s: mostly filler, not "
     "what the file plainly holds"},
    {kNoPointLines, E, "no point lines: the editor starts a new level with the default square"},
    {kStrayOnStructureLine, N, "%s on a structure line: passed over"},
    {kUnclosedGroup, N, "group not closed by ')': the next structure line goes on with its positions"},
    {kStrayAfterPointLine, N, "%s right after a point line: passed over"},
    {kCarriageReturn, N, "carriage return: read as a blank, not as a line end (only the first is reported)"},
    {kByteOrderMark, N, "byte order mark: skipped"},
    {kDeclaredAgain, N, "point %s is declared again on this line: this later place wins"},
    {kDeclaredAgainAtEach, N, "point %s is declared again on this line at each of the next %s places: the last wins"},
    {kDeclaredEarlier, N,
     "point %s is not declared by its level's structure line: placed where an earlier one put it (curve %s, "
     "position %s)"},
    {kZNotLevel, N, "z is %s, not the level number %s: the level number is used"},
    {kPointlessLevel, N,
     "level %s has no point lines: it comes back as one empty curve, which gets the default square"},
    {kPointlessLastLevel, N, "level %s has no point lines: not restored by a reload"},
    {kEmptyCurveZero, N, "curve 0 of level %s has no points: it gets the default square"},
    {kFilledDeclaration, N, "point %s has no point line: filled with (0, 0, %s)"},
    {kFilledSuperseded, N, "point %s is declared again later: this place is filled with (0, 0, %s)"},
    {kFilledRun, N, "point %s is declared again later: %s of its places on this line are filled with (0, 0, %s)"},
    {kFilledUndeclaredPlace, N, "curve %s, position %s is declared by no number: filled with (0, 0, %s)"},
    {kFilledUndeclaredPlaces, N, "curve %s, positions %s to %s are declared by no number: filled with (0, 0, %s)"},
    {kUnrestoredDeclaration, N, "point %s has no point line: not restored by a reload"},
    {kEmptyCurveAfter, N, "empty curve %s after the level's last points: not restored by a reload"},
    {kEmptyCurvesAfter, N, "empty curves %s to %s after the level's last points: not restored by a reload"},
};
static_assert(std::size(kKinds) == kKindCount, "a row for every kind");

// The kind's wording with its words in place.
std::string worded(Kind kind, std::initializer_list<std::string> words)
{
    std::string text;
    auto word = words.begin();
    for (const char* c = kKinds[kind].wording; *c; ++c) {
        if (c[0] == '%' && c[1] == 's' && word != words.end()) {
            text += *word++;
            ++c;
        } else {
            text += *c;
        }
    }
    return text;
}

void say(const FindingSink& findings, Kind kind, Place at, std::initializer_list<std::string> words = {})
{
    findings(Finding{at.line, at.column, kKinds[kind].severity, worded(kind, words)});
}

// A key for a (curve, position) place.
unsigned long long placeKey(long long curve, long long position)
{
    return static_cast<unsigned long long>(curve) << 32 | static_cast<unsigned long long>(position);
}

// A character as a finding names it.
std::string describe(int ch)
{
    if (std::isprint(ch))
        return std::string("'") + static_cast<char>(ch) + "'";
    return "character " + std::to_string(ch);
}

const char* const kFieldNames[] = {"point number", "x", "y", "z"};

std::string text(long long n) { return std::to_string(n); }

}  // namespace

std::string madeUp(const Reading& reading)
{
    return worded(kMadeUp, {text(reading.made), text(reading.pointLines), text(kMadePerPointLine), text(kMadeBeyond)});
}

// ---------------------------------------------------------------- hooks

void LevelAudit::sectionStarts(Place start, int level)
{
    finishSection();
    section = SectionState();
    section.level = level;
    section.start = start;
}

void LevelAudit::emptyGroup(int curve, Place at)
{
    std::vector<EmptyGroups>& runs = section.emptyGroups;
    if (!runs.empty() && runs.back().last + 1 == curve)
        runs.back().last = curve;
    else
        runs.push_back(EmptyGroups{curve, curve, at});
}

void LevelAudit::declared(int number, const vertexInfo& where, const vertexInfo* before, Place at)
{
    Declaration* const earlier = before ? declarationAt(placeKey(before->curveNum, before->posInCurve)) : nullptr;
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
        say(findings, kDeclaredAgain, at, {text(number)});
    }
    section.declarations.push_back(Declaration{number, 1, key, at.column, at.column, 0, false, 0});
}

void LevelAudit::numberBeyondInt(Place at) { say(findings, kNumberBeyondInt, at); }

void LevelAudit::strayOnStructureLine(int ch, Place at) { say(findings, kStrayOnStructureLine, at, {describe(ch)}); }

void LevelAudit::unclosedGroup(Place end) { say(findings, kUnclosedGroup, end); }

void LevelAudit::countLimit(const char* what, Place at) { say(findings, kCounterLimit, at, {what}); }

// A part of the mark is a broken point line, as any other start would be.
void LevelAudit::byteOrderMark(int matched)
{
    if (matched == 3)
        say(findings, kByteOrderMark, Place{1, 1});
    else
        unreadable(0, Place{1, 1});
}

void LevelAudit::unreadable(int field, Place start) { say(findings, kUnreadablePointLine, start, {kFieldNames[field]}); }

void LevelAudit::strayAfterPointLine(int ch, Place at) { say(findings, kStrayAfterPointLine, at, {describe(ch)}); }

void LevelAudit::outOfRange(int field, Place start)
{
    if (field == 0)
        say(findings, kPointNumberOutOfRange, start);
    else
        say(findings, kCoordinateOutOfRange, start, {kFieldNames[field]});
}

void LevelAudit::acrossLines(Place start, long lastLine) { say(findings, kPointLineAcrossLines, start, {text(lastLine)}); }

void LevelAudit::beforeStructure(Place start) { say(findings, kPointBeforeStructure, start); }

void LevelAudit::undeclared(int number, Place start) { say(findings, kUndeclaredPoint, start, {text(number)}); }

// Beyond mostMade the reading is surely more than the file plainly holds.
bool LevelAudit::grow(const vertexInfo& where)
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
    return reading.made <= mostMade;
}

void LevelAudit::placed(int number, const vertexInfo& where, float z, Place start, int level)
{
    const unsigned long long key = placeKey(where.curveNum, where.posInCurve);
    Declaration* const declared = declarationAt(key);
    if (!declared || declared->number != number)
        say(findings, kDeclaredEarlier, start, {text(number), text(where.curveNum), text(where.posInCurve)});
    if (z != static_cast<float>(level)) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "%g", static_cast<double>(z));
        say(findings, kZNotLevel, start, {shown, text(level)});
    }
    long& placedBy = declared ? declared->placedBy : section.placedElsewhere[key];
    if (placedBy != 0)
        say(findings, kPlacedOver, start, {text(number), text(placedBy)});
    placedBy = start.line;
    section.placed = true;
}

Reading LevelAudit::finish(Place firstReturn)
{
    if (firstReturn.line != 0)
        say(findings, kCarriageReturn, firstReturn);
    finishSection();
    for (const auto& empty : pointless)
        say(findings, kPointlessLastLevel, empty.first, {text(empty.second)});
    if (reading.made == 0)  // nothing placed, whether built or only counted
        say(findings, kNoPointLines, Place{1, 1});
    if (!reading.plain())
        findings(Finding{1, 1, kKinds[kMadeUp].severity, madeUp(reading)});
    return reading;
}

// ---------------------------------------------------------------- a section's end

// The declaration that holds the place: the last of its run.
LevelAudit::Declaration* LevelAudit::declarationAt(unsigned long long place)
{
    std::vector<Declaration>& all = section.declarations;
    const auto found = std::lower_bound(all.begin(), all.end(), place,
                                        [](const Declaration& d, unsigned long long key) { return d.last() < key; });
    return found != all.end() && found->last() == place ? &*found : nullptr;
}

// The points the level's curve of that place has.
unsigned long long LevelAudit::reached(unsigned long long place) const
{
    const auto curve = section.points.find(static_cast<long long>(place >> 32));
    return curve == section.points.end() ? 0 : static_cast<unsigned long long>(curve->second);
}

// Whether the level has that place: its curve reaches it.
bool LevelAudit::made(unsigned long long place) const { return (place & 0xffffffffu) < reached(place); }

// Once a structure line's point lines are all read, the level they made is
// final: say what it filled in and what it left out.
void LevelAudit::finishSection()
{
    if (section.level < 0)
        return;
    const std::string level = text(section.level);
    reportRunsDeclaredAgain();
    if (!section.placed) {
        pointless.emplace_back(section.start, section.level);
        return;
    }
    for (const auto& empty : pointless)
        say(findings, kPointlessLevel, empty.first, {text(empty.second)});
    pointless.clear();
    if (section.points.count(0) == 0)
        say(findings, kEmptyCurveZero, section.start, {level});
    reportUnplaced(level);
    reportUndeclared(level);
    reportEmptyGroups();
}

// Declared places that no point line reached.
void LevelAudit::reportUnplaced(const std::string& level) const
{
    for (const Declaration& declared : section.declarations) {
        if (declared.count > 1)
            reportRun(declared, level);
        if (declared.placedBy != 0)
            continue;
        const Place at{section.start.line, declared.column};
        const std::string number = text(declared.number);
        if (made(declared.last()))
            say(findings, declared.superseded ? kFilledSuperseded : kFilledDeclaration, at, {number, level});
        else if (!declared.superseded)
            say(findings, kUnrestoredDeclaration, at, {number});
    }
}

// Each run of declarations of one number, said once however long.
void LevelAudit::reportRunsDeclaredAgain() const
{
    for (const Declaration& run : section.declarations)
        if (run.count > 1) {
            const Place at{section.start.line, run.secondColumn};
            if (run.count == 2)
                say(findings, kDeclaredAgain, at, {text(run.number)});
            else
                say(findings, kDeclaredAgainAtEach, at, {text(run.number), text(run.count - 1)});
        }
}

// A run's declarations before its last: each is declared again at the next
// place, and those the level has are filler unless a point line reached them.
void LevelAudit::reportRun(const Declaration& run, const std::string& level) const
{
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
        say(findings, kFilledSuperseded, at, {text(run.number), level});
    else if (filled > 0)
        say(findings, kFilledRun, at, {text(run.number), text(static_cast<long long>(filled)), level});
}

// Places of the level that neither a declaration nor a point line made, a
// run at a time: the declarations and the other places reached, both in
// place order, walked beside each curve's places.
void LevelAudit::reportUndeclared(const std::string& level) const
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
                const std::string c = text(curve.first), first = text(static_cast<long long>(from - base));
                if (covered - from == 1)
                    say(findings, kFilledUndeclaredPlace, section.start, {c, first, level});
                else
                    say(findings, kFilledUndeclaredPlaces, section.start,
                        {c, first, text(static_cast<long long>(covered - 1 - base)), level});
            }
            const bool inDeclared = declared != section.declarations.cend() && declared->place <= covered &&
                                    covered <= declared->last();
            from = inDeclared ? declared->last() + 1 : covered + 1;
        }
    }
}

// Empty groups after the level's last curve with points.
void LevelAudit::reportEmptyGroups() const
{
    for (const EmptyGroups& run : section.emptyGroups) {
        const size_t first = std::max(static_cast<size_t>(run.first), static_cast<size_t>(section.curves));
        if (first > static_cast<size_t>(run.last))
            continue;
        if (first == static_cast<size_t>(run.last))
            say(findings, kEmptyCurveAfter, run.at, {text(static_cast<long long>(first))});
        else
            say(findings, kEmptyCurvesAfter, run.at, {text(static_cast<long long>(first)), text(run.last)});
    }
}
