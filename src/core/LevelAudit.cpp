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
using Kind = FindingKind;

struct KindRow {
    Kind kind;
    Severity severity;
    const char* wording;
};

constexpr Severity E = Severity::Error, N = Severity::Note;

constexpr KindRow kKinds[] = {
    {Kind::CounterLimit, E, "more %s than the reader counts: the rest is not read"},
    {Kind::NumberBeyondInt, E, "point number beyond int: not declared"},
    {Kind::UnreadablePointLine, E, "point line without a readable %s: ignored"},
    {Kind::PointNumberOutOfRange, E, "point number beyond int: point line ignored"},
    {Kind::CoordinateOutOfRange, E, "%s beyond the float range: point line ignored"},
    {Kind::PointLineAcrossLines, E, "point line goes on to line %s"},
    {Kind::PointBeforeStructure, E, "point line before any structure line: ignored"},
    {Kind::UndeclaredPoint, E, "point %s is declared by no structure line: ignored"},
    {Kind::PlacedOver, E, "point %s goes where line %s put a point: this line wins"},
    {Kind::MadeUp, E,
     "the reading makes %s points and curves from %s point lines, more than %s for each plus %s: mostly filler, not "
     "what the file plainly holds"},
    {Kind::NoPointLines, E, "no point lines: the editor starts a new level with the default square"},
    {Kind::StrayOnStructureLine, N, "%s on a structure line: passed over"},
    {Kind::UnclosedGroup, N, "group not closed by ')': the next structure line goes on with its positions"},
    {Kind::StrayAfterPointLine, N, "%s right after a point line: passed over"},
    {Kind::CarriageReturn, N, "carriage return: read as a blank, not as a line end (only the first is reported)"},
    {Kind::ByteOrderMark, N, "byte order mark: skipped"},
    {Kind::DeclaredAgain, N, "point %s is declared again on this line: this later place wins"},
    {Kind::DeclaredAgainAtEach, N, "point %s is declared again on this line at each of the next %s places: the last wins"},
    {Kind::DeclaredEarlier, N,
     "point %s is not declared by its level's structure line: placed where an earlier one put it (curve %s, "
     "position %s)"},
    {Kind::ZNotLevel, N, "z is %s, not the level number %s: the level number is used"},
    {Kind::PointlessLevel, N,
     "level %s has no point lines: it comes back as one empty curve, which gets the default square"},
    {Kind::PointlessLastLevel, N, "level %s has no point lines: not restored by a reload"},
    {Kind::EmptyCurveZero, N, "curve 0 of level %s has no points: it gets the default square"},
    {Kind::FilledDeclaration, N, "point %s has no point line: filled with (0, 0, %s)"},
    {Kind::FilledSuperseded, N, "point %s is declared again later: this place is filled with (0, 0, %s)"},
    {Kind::FilledRun, N, "point %s is declared again later: %s of its places on this line are filled with (0, 0, %s)"},
    {Kind::FilledUndeclaredPlace, N, "curve %s, position %s is declared by no number: filled with (0, 0, %s)"},
    {Kind::FilledUndeclaredPlaces, N, "curve %s, positions %s to %s are declared by no number: filled with (0, 0, %s)"},
    {Kind::UnrestoredDeclaration, N, "point %s has no point line: not restored by a reload"},
    {Kind::EmptyCurveAfter, N, "empty curve %s after the level's last points: not restored by a reload"},
    {Kind::EmptyCurvesAfter, N, "empty curves %s to %s after the level's last points: not restored by a reload"},
};
constexpr bool everyRowInPlace()
{
    for (size_t k = 0; k < std::size(kKinds); ++k)
        if (static_cast<size_t>(kKinds[k].kind) != k)
            return false;
    return std::size(kKinds) == static_cast<size_t>(Kind::EmptyCurvesAfter) + 1;
}
static_assert(everyRowInPlace(), "a row for every kind, in the kinds' order");

const KindRow& rowOf(Kind kind) { return kKinds[static_cast<size_t>(kind)]; }

// The kind's wording with its words in place.
std::string worded(Kind kind, std::initializer_list<std::string> words)
{
    std::string text;
    auto word = words.begin();
    for (const char* c = rowOf(kind).wording; *c; ++c) {
        if (c[0] == '%' && c[1] == 's' && word != words.end()) {
            text += *word++;
            ++c;
        } else {
            text += *c;
        }
    }
    return text;
}

void say(const DiagnosticSink& findings, Kind kind, Place at, std::initializer_list<std::string> words = {})
{
    findings(Diagnostic{rowOf(kind).severity, static_cast<int>(kind), at.line, at.column, 0, worded(kind, words), 1});
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
    return worded(Kind::MadeUp, {text(reading.made), text(reading.pointLines), text(kMadePerPointLine), text(kMadeBeyond)});
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
        say(findings, Kind::DeclaredAgain, at, {text(number)});
    }
    section.declarations.push_back(Declaration{number, 1, key, at.column, at.column, 0, false, 0});
}

void LevelAudit::numberBeyondInt(Place at) { say(findings, Kind::NumberBeyondInt, at); }

void LevelAudit::strayOnStructureLine(int ch, Place at) { say(findings, Kind::StrayOnStructureLine, at, {describe(ch)}); }

void LevelAudit::unclosedGroup(Place end) { say(findings, Kind::UnclosedGroup, end); }

void LevelAudit::countLimit(const char* what, Place at) { say(findings, Kind::CounterLimit, at, {what}); }

// A part of the mark is a broken point line, as any other start would be.
void LevelAudit::byteOrderMark(int matched)
{
    if (matched == 3)
        say(findings, Kind::ByteOrderMark, Place{1, 1});
    else
        unreadable(0, Place{1, 1});
}

void LevelAudit::unreadable(int field, Place start) { say(findings, Kind::UnreadablePointLine, start, {kFieldNames[field]}); }

void LevelAudit::strayAfterPointLine(int ch, Place at) { say(findings, Kind::StrayAfterPointLine, at, {describe(ch)}); }

void LevelAudit::outOfRange(int field, Place start)
{
    if (field == 0)
        say(findings, Kind::PointNumberOutOfRange, start);
    else
        say(findings, Kind::CoordinateOutOfRange, start, {kFieldNames[field]});
}

void LevelAudit::acrossLines(Place start, long lastLine) { say(findings, Kind::PointLineAcrossLines, start, {text(lastLine)}); }

void LevelAudit::beforeStructure(Place start) { say(findings, Kind::PointBeforeStructure, start); }

void LevelAudit::undeclared(int number, Place start) { say(findings, Kind::UndeclaredPoint, start, {text(number)}); }

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
        say(findings, Kind::DeclaredEarlier, start, {text(number), text(where.curveNum), text(where.posInCurve)});
    if (z != static_cast<float>(level)) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "%g", static_cast<double>(z));
        say(findings, Kind::ZNotLevel, start, {shown, text(level)});
    }
    long& placedBy = declared ? declared->placedBy : section.placedElsewhere[key];
    if (placedBy != 0)
        say(findings, Kind::PlacedOver, start, {text(number), text(placedBy)});
    placedBy = start.line;
    section.placed = true;
}

Reading LevelAudit::finish(Place firstReturn)
{
    if (firstReturn.line != 0)
        say(findings, Kind::CarriageReturn, firstReturn);
    finishSection();
    for (const auto& empty : pointless)
        say(findings, Kind::PointlessLastLevel, empty.first, {text(empty.second)});
    if (reading.made == 0)  // nothing placed, whether built or only counted
        say(findings, Kind::NoPointLines, Place{1, 1});
    if (!reading.plain())
        findings(Diagnostic{rowOf(Kind::MadeUp).severity, static_cast<int>(Kind::MadeUp), 1, 1, 0, madeUp(reading), 1});
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
        say(findings, Kind::PointlessLevel, empty.first, {text(empty.second)});
    pointless.clear();
    if (section.points.count(0) == 0)
        say(findings, Kind::EmptyCurveZero, section.start, {level});
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
            say(findings, declared.superseded ? Kind::FilledSuperseded : Kind::FilledDeclaration, at, {number, level});
        else if (!declared.superseded)
            say(findings, Kind::UnrestoredDeclaration, at, {number});
    }
}

// Each run of declarations of one number, said once however long.
void LevelAudit::reportRunsDeclaredAgain() const
{
    for (const Declaration& run : section.declarations)
        if (run.count > 1) {
            const Place at{section.start.line, run.secondColumn};
            if (run.count == 2)
                say(findings, Kind::DeclaredAgain, at, {text(run.number)});
            else
                say(findings, Kind::DeclaredAgainAtEach, at, {text(run.number), text(run.count - 1)});
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
        say(findings, Kind::FilledSuperseded, at, {text(run.number), level});
    else if (filled > 0)
        say(findings, Kind::FilledRun, at, {text(run.number), text(static_cast<long long>(filled)), level});
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
                    say(findings, Kind::FilledUndeclaredPlace, section.start, {c, first, level});
                else
                    say(findings, Kind::FilledUndeclaredPlaces, section.start,
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
            say(findings, Kind::EmptyCurveAfter, run.at, {text(static_cast<long long>(first))});
        else
            say(findings, Kind::EmptyCurvesAfter, run.at, {text(static_cast<long long>(first)), text(run.last)});
    }
}
