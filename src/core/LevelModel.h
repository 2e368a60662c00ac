// The level model's free parts: window pixels to level units, lists that
// own their levels, and how a level file keeps a curve (positions rounded as
// saved; open or a loop by its points alone, since the file stores no
// closure). The level itself and its edits are the class Splines (Splines.h).
#pragma once

#include <vector>

#include "Vec3.h"

class Splines;

// The size of the editor's window when it opens.
constexpr int kInitialWindowWidth = 640;
constexpr int kInitialWindowHeight = 480;

// Window pixels (y counted down from the top) to level units in a window of
// width x height, held inside the -5..5 square so that no edit puts a point
// where it is never drawn or picked. False, and nothing written, when the
// size is not positive.
bool windowToLevel(int x, int y, int width, int height, float& levelX, float& levelY);

// Deletes every level of the list, which owns them, and empties it.
void freeLevels(std::vector<Splines*>& levels);

// Levels that a list owns: freed with it, never copied.
struct LevelList {
    std::vector<Splines*> list;
    LevelList() = default;
    LevelList(const LevelList&) = delete;
    LevelList& operator=(const LevelList&) = delete;
    ~LevelList() { freeLevels(list); }
};

// A level file stores no closure, so a curve's points must make the editor
// draw it as meant: through A..Z open, with one end point before A and one
// after Z (each end reflected through its neighbour, so the line leaves the
// ends along their chords); one point alone is a one-point curve.
std::vector<Vec3> openCurvePoints(const std::vector<Vec3>& through);

// A loop through P0..Pn-1: fewer than four points are a loop as they are;
// more are written Pn-1, P0, ..., Pn-1, P0, P1, drawn open round the loop.
std::vector<Vec3> loopCurvePoints(const std::vector<Vec3>& through);

// A position as a level file keeps it: rounded to four decimals (steps of
// kSavedStep) and read back as a float.
constexpr double kSavedStep = 0.0001;
float asSaved(double coordinate);

// The end point an open curve gets beyond `end`: `end` reflected through its
// neighbour, so that the line leaves the end along its chord; rounded as
// saved and kept within the float range, which a level file can hold.
Vec3 endPointBeyond(const Vec3& end, const Vec3& neighbour);
