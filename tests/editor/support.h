// Shared test support: the one real window every GL test draws into, a fresh
// editor per test, and helpers to read what OpenGL received.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Splines.h"
#include "editor/FileIO.h"
#include "editor/Graphics.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Points = std::vector<std::pair<float, float>>;

// A fresh editor with one level, sized to the 640 x 480 test window.
class EditorTest : public testing::Test {
protected:
    FileIO* files = nullptr;
    Graphics* editor = nullptr;

    void SetUp() override;
    void TearDown() override;
    Splines& level(int i) { return *editor->spline.at(i); }
    void replaceLevel(int i, Splines* with)
    {
        delete editor->spline.at(i);
        editor->spline[i] = with;
    }
    void key(int special) { editor->SpecialKeyboard(special, 0, 0); }
};

// A new level with curves of the given points, at the level's own z.
Splines* makeLevel(int number, const std::vector<Points>& curves);
Points xy(const Nodes& curve);
// Levels a test made and drops stay reachable, so that the leak check sees
// only what the editor itself loses.
void keepReachable(const std::vector<Splines*>& levels);

// Window colours as 0..255 RGB, equal within 2 for the rounding of floats.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return std::abs(r - o.r) <= 2 && std::abs(g - o.g) <= 2 && std::abs(b - o.b) <= 2; }
};
const Rgb kBlack{0, 0, 0}, kYellow{255, 255, 0}, kRed{255, 0, 0}, kCurrentLevel{230, 0, 26},
    kOneBelow{51, 153, 230}, kTwoBelow{204, 0, 204}, kThreeBelow{0, 0, 255};
// Colour at window pixel (x, y) of the frame just drawn, y from the top.
Rgb pixelAt(int x, int y);
// True when a pixel within radius of level point (x, y) has the colour.
bool colourNear(float x, float y, Rgb colour, int radius = 1);
// Colour at window pixel (x, y) as the screen shows it: the last frame swapped.
Rgb screenPixel(int x, int y);
int pixelX(float x);
int pixelY(float y);

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& text);
// A path in the test process's own folder, removed when the process ends.
std::string tempPath(const std::string& name);
