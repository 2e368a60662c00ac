// Frame, selection pass, save and load of the editor at 1,000, 10,000 and
// 100,000 control points on the current level, each beside a floor: the
// same GL calls or the same file lines, made from flat arrays with no
// editor structure in between.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common.h"
#include "core/LevelColours.h"
#include "core/LevelModel.h"
#include "core/Splines.h"
#include "editor/FileIO.h"
#include "editor/Graphics.h"
#include "layout.h"

namespace {

const int kWindowWidth = 640;
const int kWindowHeight = 480;
const int kCameraHeight = 5;

// The current curve's markers: yellow, point 1 in a wire cube; then red
// again, as the editor leaves it. Kept in step with Splines.cpp.
const float kRed[3] = {1.0f, 0.0f, 0.0f};
const float kPointOneMarkerSize = 0.2f;

// A press in the window's top-left margin, which the layouts leave empty:
// the pass then does all its work but picks nothing and prints nothing.
const int kEmptyX = 8;
const int kEmptyY = 8;

FileIO* files = nullptr;
Graphics* editor = nullptr;

std::string sizedPath(const char* what, int n) { return pathFor(std::string(what) + "-" + std::to_string(n) + ".txt"); }

// ---------------------------------------------------------------- floors

void frameFloor(const Layout& layout)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, kCameraHeight + kCurrentLevel, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5.0f, 5.0f, -5.0f, 5.0f, kCameraHeight + kCurrentLevel, kCameraHeight);
    glMatrixMode(GL_MODELVIEW);

    for (int i = 0; i < kLevelCount; ++i) {
        glColor3fv(kLevelColours[kCurrentLevel - i]);
        const std::vector<float>& markers = layout.markers[i];
        const int count = static_cast<int>(markers.size() / 3);
        const int begin = layout.highlightBegin[i];
        const int end = layout.highlightEnd[i];
        const float* m = markers.data();
        for (int k = 0; k < count; ++k, m += 3) {
            glPushMatrix();
            glTranslatef(m[0], m[1], m[2]);
            if (k >= begin && k < end) {
                glColor3fv(kCurrentMarkerColour);
                if (k - begin == 1)
                    glutWireCube(kPointOneMarkerSize);
                glutSolidCube(kMarkerSize);
                glColor3fv(kRed);
            } else {
                glutSolidCube(kMarkerSize);
            }
            glPopMatrix();
        }
        const float* v = layout.lineVertices[i].data();
        for (int size : layout.stripSizes[i]) {
            glBegin(GL_LINE_STRIP);
            for (int k = 0; k < size; ++k, v += 3)
                glVertex3fv(v);
            glEnd();
        }
    }
    glutSwapBuffers();
    glFinish();
}

bool saveFloor(const Layout& layout, const std::string& path)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        return false;
    for (int i = 0; i < kLevelCount; ++i) {
        int number = 0;
        for (int size : layout.curveSizes[i]) {
            std::fprintf(out, "( ");
            for (int k = 0; k < size; ++k)
                std::fprintf(out, "%i ", number++);
            std::fprintf(out, ")");
        }
        std::fprintf(out, "\n");
        const std::vector<float>& m = layout.markers[i];
        for (size_t k = 0; k < m.size(); k += 3)
            std::fprintf(out, "%i %0.4f %0.4f %0.4f\n", static_cast<int>(k / 3), m[k], m[k + 1], m[k + 2]);
        std::fprintf(out, "\n");
    }
    return std::fclose(out) == 0;
}

// Every point line's coordinates, in file order; structure lines skipped whole.
bool loadFloor(const std::string& path, std::vector<float>& points)
{
    FILE* in = std::fopen(path.c_str(), "r");
    if (!in)
        return false;
    int number;
    float x, y, z;
    for (int ch; (ch = std::getc(in)) != EOF;) {
        if (ch == '(') {
            if (std::fscanf(in, "%*[^\n]") == EOF)
                break;
        } else if (ch != '\n' && ch != ' ') {
            std::ungetc(ch, in);
            if (std::fscanf(in, "%d %f %f %f", &number, &x, &y, &z) != 4)
                break;
            points.insert(points.end(), {x, y, z});
        }
    }
    std::fclose(in);
    return true;
}

// ---------------------------------------------------------------- set-up

// The frame just swapped stays in the back buffer with Mesa's software
// renderer; the front buffer of an X window reads back as black there.
std::vector<unsigned char> framePixels()
{
    std::vector<unsigned char> pixels(kWindowWidth * kWindowHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWindowWidth, kWindowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Equal but for the last bit of a colour channel, which llvmpipe may round
// either way when the same colour reaches it by another path.
bool samePicture(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(a[i] - b[i]) > 1)
            return false;
    return true;
}

struct Fixture {
    std::unique_ptr<Layout> layout;
    std::string problem;  // why the floors can't stand for the editor, if so
};

// The editor's view of a layout: current level 3, camera above it, and no
// overlay, since its text costs the same at any size and has no floor.
void showLayout(const Layout& layout)
{
    editor->spline = layout.levels.list;
    editor->currentLevel = kCurrentLevel;
    editor->cameraPos[2] = kCameraHeight + kCurrentLevel;
    editor->showMessages = 0;
}

// Built once per size. Also checks that each floor does what the editor
// does: the same picture, the same file, the same points back.
Fixture& fixture(int n)
{
    static std::map<int, Fixture> fixtures;
    Fixture& f = fixtures[n];
    if (f.layout)
        return f;
    f.layout.reset(makeLayout(n));
    const Layout& layout = *f.layout;

    showLayout(layout);
    editor->Display();
    glFinish();
    const std::vector<unsigned char> frame = framePixels();
    frameFloor(layout);
    if (frame == std::vector<unsigned char>(frame.size(), 0))
        f.problem = "the editor's frame reads back empty, so pictures can't be compared";
    else if (!samePicture(framePixels(), frame))
        f.problem = "the frame floor draws a different picture from the editor";

    files->setOutputName(sizedPath("editor", n).c_str());
    std::vector<Splines*> levels = layout.levels.list;
    files->writeFile(levels);
    saveFloor(layout, sizedPath("floor", n));
    if (readWhole(sizedPath("editor", n)) != readWhole(sizedPath("floor", n)))
        f.problem = "the save floor writes a different file from the editor";

    std::vector<float> points;
    loadFloor(sizedPath("editor", n), points);
    if (points.size() != static_cast<size_t>(3 * kLevelCount * n))
        f.problem = "the load floor reads a different number of points";

    // A pass that picked something would print and measure more.
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, kEmptyX, kEmptyY);
    if (editor->spline[kCurrentLevel]->objectPicked != -1)
        f.problem = "the press on the empty spot picks a marker";
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, kEmptyX, kEmptyY);
    return f;
}

// ---------------------------------------------------------------- benchmarks

// One iteration of a benchmark on the layout of n points a level.
using Step = void (*)(benchmark::State& state, const Layout& layout, int n);

void BM_Step(benchmark::State& state, Step step)
{
    const int n = static_cast<int>(state.range(0));
    const Fixture& f = fixture(n);
    if (!f.problem.empty())
        return state.SkipWithError(f.problem.c_str());
    showLayout(*f.layout);
    for (auto _ : state)
        step(state, *f.layout, n);
}

// The selection pass is a press and release on the empty spot: the whole
// pass, picking nothing. What a load makes is freed off the clock: the
// editor keeps it.
const std::pair<const char*, Step> kSteps[] = {
    {"BM_Frame", [](benchmark::State&, const Layout&, int) { editor->Display(), glFinish(); }},
    {"BM_FrameFloor", [](benchmark::State&, const Layout& layout, int) { frameFloor(layout); }},
    {"BM_SelectionPass",
     [](benchmark::State&, const Layout&, int) {
         editor->MouseMoved(kEmptyX, kEmptyY);
         editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, kEmptyX, kEmptyY);
         editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, kEmptyX, kEmptyY);
         glFinish();
     }},
    {"BM_Save",
     [](benchmark::State&, const Layout& layout, int n) {
         files->setOutputName(sizedPath("save", n).c_str());
         std::vector<Splines*> levels = layout.levels.list;
         files->writeFile(levels);
     }},
    {"BM_SaveFloor",
     [](benchmark::State& state, const Layout& layout, int n) {
         if (!saveFloor(layout, sizedPath("save-floor", n)))
             state.SkipWithError("can't write the floor file");
     }},
    {"BM_Load",
     [](benchmark::State& state, const Layout&, int n) {
         {
             LevelList levels;
             files->setInputName(sizedPath("editor", n).c_str());
             files->readFile(levels.list);
             state.PauseTiming();
         }
         state.ResumeTiming();
     }},
    {"BM_LoadFloor",
     [](benchmark::State& state, const Layout&, int n) {
         std::vector<float> points;
         loadFloor(sizedPath("editor", n), points);
         benchmark::DoNotOptimize(points.data());
         state.PauseTiming();
         std::vector<float>().swap(points);
         state.ResumeTiming();
     }},
};

// Wall-clock time is what a user waits for; the CPU column counts every
// thread of the process, llvmpipe's rasteriser threads included, and is
// the steadier of the two on a machine shared with other work.
void registerBenchmarks()
{
    for (const auto& [name, step] : kSteps)
        benchmark::RegisterBenchmark(name, BM_Step, step)
            ->Arg(1000)
            ->Arg(10000)
            ->Arg(100000)
            ->UseRealTime()
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond);
}

std::vector<Ratio> ratios()
{
    std::vector<Ratio> rows;
    for (const std::string a : {"/1000", "/10000", "/100000"}) {
        rows.push_back({"BM_Frame" + a, "BM_FrameFloor" + a, 1.2});
        rows.push_back({"BM_SelectionPass" + a, "BM_Frame" + a, 1.2});
        rows.push_back({"BM_Save" + a, "BM_SaveFloor" + a, 1.1});
        rows.push_back({"BM_Load" + a, "BM_LoadFloor" + a, 1.5});
    }
    rows.push_back({"BM_Save/100000", "BM_Save/10000", 12.0});
    rows.push_back({"BM_Load/100000", "BM_Load/10000", 12.0});
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto prepare = [&argc, argv] {
        // The one window of the process; every frame draws into it.
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
        glutInitWindowSize(kWindowWidth, kWindowHeight);
        glutCreateWindow("Ombrel Editor benchmark");
        glutDisplayFunc([] {});
        for (int i = 0; i < 20; ++i)
            glutMainLoopEvent();
        files = new FileIO;
        editor = new Graphics(files);
        editor->DrawingSetup();
        editor->Reshape(kWindowWidth, kWindowHeight);
        benchmark::AddCustomContext("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        benchmark::AddCustomContext("gl_version", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
        registerBenchmarks();
        return true;
    };
    return benchmarkMain(argc, argv, "ombrel-bench", prepare, ratios());
}
