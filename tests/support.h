// Shared test support: the one real window every GL test draws into, a fresh
// editor per test, and helpers to read what OpenGL received.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Graphics.h"
#include "Splines.h"

// A fresh editor with one level, sized to the 640 x 480 test window.
class EditorTest : public testing::Test {
protected:
    FileIO* files = nullptr;
    Graphics* editor = nullptr;

    void SetUp() override;
    void TearDown() override;
    Splines& level(int i) { return *editor->spline.at(i); }
};

// A new level with curves of the given points (x, y pairs), at the level's own z.
// It stays reachable to the end of the process unless something frees it.
Splines* makeLevel(int number, const std::vector<std::vector<std::pair<float, float>>>& curves);
// Levels a test made and drops stay reachable, so that the leak check sees
// only what the editor itself loses.
void keepReachable(const std::vector<Splines*>& levels);
void freeLevels(std::vector<Splines*>& levels);

// The vertices of every line strip drawn by the call, read through feedback mode.
std::vector<std::vector<Vec3>> captureLineStrips(void (*draw)(Splines&), Splines& level);

// Colour at window pixel (x, y), y from the top, as 0..255 RGB.
// Colours compare with a tolerance of 2 for the rounding of float colours.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return std::abs(r - o.r) <= 2 && std::abs(g - o.g) <= 2 && std::abs(b - o.b) <= 2; }
};
const Rgb kBlack{0, 0, 0}, kYellow{255, 255, 0}, kRed{255, 0, 0}, kCurrentLevel{230, 0, 26},
    kOneBelow{51, 153, 230}, kTwoBelow{204, 0, 204}, kThreeBelow{0, 0, 255};
Rgb pixelAt(int x, int y);
// Colour at window pixel (x, y) as the screen shows it: the last frame swapped.
Rgb screenPixel(int x, int y);
std::ostream& operator<<(std::ostream& out, const Rgb& colour);
// True when some pixel of the square of the given radius around (x, y) has the colour.
bool colourNear(int x, int y, int radius, Rgb colour);

// Window pixel of a level point in the 640 x 480 test window.
int pixelX(float x);
int pixelY(float y);

// The names of the hit records of a selection pass over the whole window.
std::vector<unsigned> selectionNames(Splines& level, int currentLevel);

// Replaces standard input with the given text.
void feedStdin(const std::string& text);
std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& text);
std::string tempPath(const std::string& name);
