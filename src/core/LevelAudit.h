// What a reading of a level file ignores, fills in or loses, said with its
// place while the level file tool listens. The reader calls these hooks
// where a finding may arise; the editor's reading calls none of them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Diagnostic.h"
#include "LevelScanner.h"

// What a reading made, points and curves, from how many point lines.
// Filler points before a place, kept as declared across structure lines,
// make a few bytes of file into millions of points; a reading that makes
// more than kMadePerPointLine a point line, plus kMadeBeyond, is not what
// the file plainly holds.
constexpr long long kMadePerPointLine = 100;
constexpr long long kMadeBeyond = 10000;
struct Reading {
    long long made = 0;
    long long pointLines = 0;
    bool plain() const { return made <= kMadePerPointLine * pointLines + kMadeBeyond; }
};
// The finding of a reading that isn't plain, with its figures.
std::string madeUp(const Reading& reading);

// Every kind of finding a reading may have (each one row of the audit's
// table, with its class and wording).
enum class FindingKind {
    CounterLimit,
    NumberBeyondInt,
    UnreadablePointLine,
    PointNumberOutOfRange,
    CoordinateOutOfRange,
    PointLineAcrossLines,
    PointBeforeStructure,
    UndeclaredPoint,
    PlacedOver,
    MadeUp,
    NoPointLines,
    StrayOnStructureLine,
    UnclosedGroup,
    StrayAfterPointLine,
    CarriageReturn,
    ByteOrderMark,
    DeclaredAgain,
    DeclaredAgainAtEach,
    DeclaredEarlier,
    ZNotLevel,
    PointlessLevel,
    PointlessLastLevel,
    EmptyCurveZero,
    FilledDeclaration,
    FilledSuperseded,
    FilledRun,
    FilledUndeclaredPlace,
    FilledUndeclaredPlaces,
    UnrestoredDeclaration,
    EmptyCurveAfter,
    EmptyCurvesAfter,
};

// Where a numbered point of a level file goes; used only while reading.
struct vertexInfo {
    int curveNum;
    int posInCurve;
};

// The reading that listens to nothing: every hook does nothing, and the
// optimiser takes them out of the editor's reading.
struct SilentAudit {
    void sectionStarts(Place, int) {}
    void emptyGroup(int, Place) {}
    void declared(int, const vertexInfo&, const vertexInfo*, Place) {}
    void numberBeyondInt(Place) {}
    void strayOnStructureLine(int, Place) {}
    void unclosedGroup(Place) {}
    void countLimit(const char*, Place) {}
    void byteOrderMark(int) {}
    void pointLine() {}
    void unreadable(int, Place) {}
    void strayAfterPointLine(int, Place) {}
    void outOfRange(int, Place) {}
    void acrossLines(Place, long) {}
    void beforeStructure(Place) {}
    void undeclared(int, Place) {}
    bool grow(const vertexInfo&) { return true; }
    void placed(int, const vertexInfo&, float, Place, int) {}
    Reading finish(Place) { return Reading{}; }
};

class LevelAudit {
public:
    // Findings go to `findings`; `mostMade` is how much the reading may make
    // before building stops (it goes on counting).
    LevelAudit(const DiagnosticSink& findings, long long mostMade) : findings(findings), mostMade(mostMade) {}

    void sectionStarts(Place start, int level);
    void emptyGroup(int curve, Place at);
    // `before` is the number's place before this declaration, if it had one.
    void declared(int number, const vertexInfo& where, const vertexInfo* before, Place at);
    void numberBeyondInt(Place at);
    void strayOnStructureLine(int ch, Place at);
    void unclosedGroup(Place end);
    void countLimit(const char* what, Place at);
    // How many bytes of a byte order mark the file starts with, 1 to 3.
    void byteOrderMark(int matched);
    void pointLine() { ++reading.pointLines; }
    // `field`: 0 the point number, 1 to 3 x, y, z.
    void unreadable(int field, Place start);
    void strayAfterPointLine(int ch, Place at);
    void outOfRange(int field, Place start);
    void acrossLines(Place start, long lastLine);
    void beforeStructure(Place start);
    void undeclared(int number, Place start);
    // Counts what building the place makes; false once building should stop.
    bool grow(const vertexInfo& where);
    void placed(int number, const vertexInfo& where, float z, Place start, int level);
    // The last findings; `firstReturn` is the first carriage return's place
    // (line 0: none).
    Reading finish(Place firstReturn);

private:
    const DiagnosticSink& findings;
    const long long mostMade;
    Reading reading;
    std::vector<std::pair<Place, int>> pointless;  // sections without point lines so far

    // What the findings need to know of the structure line being read and of
    // its point lines.
    struct Declaration {
        int number;
        unsigned count;
        unsigned long long place;  // of the first: its curve << 32 | position
        long column;               // of the last, the one that holds
        long firstColumn;          // in a run, of its first and second
        long secondColumn;
        bool superseded;  // the last is declared again later on the line
        long placedBy;    // line of the point line put at the last, or 0
        unsigned long long last() const { return place + count - 1; }
    };
    struct EmptyGroups {
        int first;
        int last;
        Place at;  // the ')' of the first
    };
    struct SectionState {
        int level = -1;  // none read yet
        Place start{0, 0};
        // A number declared at a place; or at each next place in turn, `count`
        // of them, each but the last superseded by the next: a run kept as
        // one, however long. In the order of their places: a line's places
        // only ever go up.
        std::vector<Declaration> declarations;
        std::map<unsigned long long, long> placedElsewhere;  // places no declaration holds
        // The level as its point lines make it: its curves, and the points
        // of those they reach.
        long long curves = 0;
        std::map<long long, long long> points;
        int reachedCurve = -1;
        long long* reached = nullptr;  // points[reachedCurve]
        std::vector<EmptyGroups> emptyGroups;  // runs of neighbouring empty groups
        bool placed = false;
    } section;

    Declaration* declarationAt(unsigned long long place);
    unsigned long long reached(unsigned long long place) const;
    bool made(unsigned long long place) const;
    void finishSection();
    void reportUnplaced(const std::string& level) const;
    void reportRunsDeclaredAgain() const;
    void reportRun(const Declaration& run, const std::string& level) const;
    void reportUndeclared(const std::string& level) const;
    void reportEmptyGroups() const;
};
