// Frame, selection pass, save and load of the editor at 1,000, 10,000 and
// 100,000 control points on the current level, each beside a floor: the
// same GL calls or the same file lines, made from flat arrays with no
// editor structure in between.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Graphics.h"
#include "Splines.h"
#include "layout.h"

namespace {

const int kWindowWidth = 640;
const int kWindowHeight = 480;
const int kCameraHeight = 5;

// What the editor draws with; kept in step with Graphics.cpp and Splines.cpp.
const float kLevelColours[4][3] = {
    {0.9f, 0.0f, 0.1f},
    {0.2f, 0.6f, 0.9f},
    {0.8f, 0.0f, 0.8f},
    {0.0f, 0.0f, 1.0f},
};
const float kYellow[3] = {1.0f, 1.0f, 0.0f};
const float kRed[3] = {1.0f, 0.0f, 0.0f};
const float kMarkerSize = 0.1f;
const float kPointOneMarkerSize = 0.2f;

// A press in the window's top-left margin, which the layouts leave empty:
// the pass then does all its work but picks nothing and prints nothing.
const int kEmptyX = 8;
const int kEmptyY = 8;

FileIO* files = nullptr;
Graphics* editor = nullptr;
std::string workDir;

std::string pathFor(const char* what, int n)
{
    return workDir + "/" + what + "-" + std::to_string(n) + ".txt";
}

long fileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

std::string fileText(const std::string& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[65536];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            text.append(chunk, got);
        std::fclose(f);
    }
    return text;
}

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
                glColor3fv(kYellow);
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
            points.push_back(x);
            points.push_back(y);
            points.push_back(z);
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
    editor->spline = layout.levels;
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

    files->setOutputName(pathFor("editor", n).c_str());
    std::vector<Splines*> levels = layout.levels;
    files->writeFile(levels);
    saveFloor(layout, pathFor("floor", n));
    if (fileText(pathFor("editor", n)) != fileText(pathFor("floor", n)))
        f.problem = "the save floor writes a different file from the editor";

    std::vector<float> points;
    loadFloor(pathFor("editor", n), points);
    if (points.size() != static_cast<size_t>(3 * kLevelCount * n))
        f.problem = "the load floor reads a different number of points";
    return f;
}

const Layout* prepare(benchmark::State& state)
{
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    if (!f.problem.empty()) {
        state.SkipWithError(f.problem.c_str());
        return nullptr;
    }
    showLayout(*f.layout);
    return f.layout.get();
}

// ---------------------------------------------------------------- benchmarks

void BM_Frame(benchmark::State& state)
{
    if (!prepare(state))
        return;
    for (auto _ : state) {
        editor->Display();
        glFinish();
    }
}

void BM_FrameFloor(benchmark::State& state)
{
    const Layout* layout = prepare(state);
    if (!layout)
        return;
    for (auto _ : state)
        frameFloor(*layout);
}

void BM_SelectionPass(benchmark::State& state)
{
    if (!prepare(state))
        return;
    for (auto _ : state) {
        editor->MouseMoved(kEmptyX, kEmptyY);
        editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, kEmptyX, kEmptyY);
        editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, kEmptyX, kEmptyY);
        glFinish();
    }
    // A pass that picked something would have printed and measured more.
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, kEmptyX, kEmptyY);
    if (editor->spline[kCurrentLevel]->objectPicked != -1)
        state.SkipWithError("the press picked a marker");
    editor->Mouse(GLUT_LEFT_BUTTON, GLUT_UP, kEmptyX, kEmptyY);
}

void BM_Save(benchmark::State& state)
{
    const Layout* layout = prepare(state);
    if (!layout)
        return;
    const int n = static_cast<int>(state.range(0));
    files->setOutputName(pathFor("save", n).c_str());
    std::vector<Splines*> levels = layout->levels;
    for (auto _ : state)
        files->writeFile(levels);
    state.SetBytesProcessed(state.iterations() * fileSize(pathFor("save", n)));
}

void BM_SaveFloor(benchmark::State& state)
{
    const Layout* layout = prepare(state);
    if (!layout)
        return;
    const int n = static_cast<int>(state.range(0));
    const std::string path = pathFor("save-floor", n);
    for (auto _ : state)
        if (!saveFloor(*layout, path))
            state.SkipWithError("can't write the floor file");
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void BM_Load(benchmark::State& state)
{
    if (!prepare(state))
        return;
    const int n = static_cast<int>(state.range(0));
    files->setInputName(pathFor("editor", n).c_str());
    std::vector<Splines*> levels;
    for (auto _ : state) {
        files->readFile(levels);
        // readFile only drops the levels it replaces; free them off the clock.
        state.PauseTiming();
        freeLevels(levels);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * fileSize(pathFor("editor", n)));
}

void BM_LoadFloor(benchmark::State& state)
{
    if (!prepare(state))
        return;
    const int n = static_cast<int>(state.range(0));
    const std::string path = pathFor("editor", n);
    for (auto _ : state) {
        auto points = std::make_unique<std::vector<float>>();
        loadFloor(path, *points);
        benchmark::DoNotOptimize(points->data());
        state.PauseTiming();
        points.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// Wall-clock time is what a user waits for; the CPU column counts every
// thread of the process, llvmpipe's rasteriser threads included, and is
// the steadier of the two on a machine shared with other work.
#define OMBREL_SIZES \
    Arg(1000)->Arg(10000)->Arg(100000)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Frame)->OMBREL_SIZES;
BENCHMARK(BM_FrameFloor)->OMBREL_SIZES;
BENCHMARK(BM_SelectionPass)->OMBREL_SIZES;
BENCHMARK(BM_Save)->OMBREL_SIZES;
BENCHMARK(BM_SaveFloor)->OMBREL_SIZES;
BENCHMARK(BM_Load)->OMBREL_SIZES;
BENCHMARK(BM_LoadFloor)->OMBREL_SIZES;

// ---------------------------------------------------------------- ratios

// The console table, followed by each figure against what it is held to.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            const double scale = toMilliseconds(run.time_unit);
            const Times times{run.GetAdjustedRealTime() * scale, run.GetAdjustedCPUTime() * scale};
            if (run.run_type == Run::RT_Iteration)
                samples[name].push_back(times);
            else if (run.aggregate_name == "median")
                medians[name] = times;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        char line[160];
        std::snprintf(line, sizeof line, "\n%-30s %10s %10s %7s %9s %7s\n", "Medians, real time", "ms", "ms (base)",
                      "ratio", "CPU ratio", "target");
        out << line;
        for (int n : {1000, 10000, 100000}) {
            const std::string a = "/" + std::to_string(n);
            row(out, "Frame" + a + " / FrameFloor", "BM_Frame" + a, "BM_FrameFloor" + a, 1.2);
            row(out, "SelectionPass" + a + " / Frame", "BM_SelectionPass" + a, "BM_Frame" + a, 1.2);
            row(out, "Save" + a + " / SaveFloor", "BM_Save" + a, "BM_SaveFloor" + a, 1.1);
            row(out, "Load" + a + " / LoadFloor", "BM_Load" + a, "BM_LoadFloor" + a, 1.5);
        }
        for (const char* what : {"Save", "Load"}) {
            const std::string name = std::string("BM_") + what;
            row(out, std::string(what) + " 100000 / 10000", name + "/100000", name + "/10000", 12.0);
        }
    }

private:
    struct Times {
        double real;
        double cpu;
    };
    std::map<std::string, std::vector<Times>> samples;
    std::map<std::string, Times> medians;

    static double toMilliseconds(benchmark::TimeUnit unit)
    {
        return 1e3 / benchmark::GetTimeUnitMultiplier(unit);
    }

    static double medianOf(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        const size_t k = values.size();
        return k % 2 ? values[k / 2] : (values[k / 2 - 1] + values[k / 2]) / 2;
    }

    bool median(const std::string& name, Times& value) const
    {
        if (auto m = medians.find(name); m != medians.end()) {
            value = m->second;
            return true;
        }
        auto s = samples.find(name);
        if (s == samples.end() || s->second.empty())
            return false;
        std::vector<double> real, cpu;
        for (const Times& t : s->second) {
            real.push_back(t.real);
            cpu.push_back(t.cpu);
        }
        value = Times{medianOf(real), medianOf(cpu)};
        return true;
    }

    void row(std::ostream& out, const std::string& label, const std::string& name, const std::string& base,
             double target) const
    {
        Times value, reference;
        if (!median(name, value) || !median(base, reference) || reference.real <= 0 || reference.cpu <= 0)
            return;
        const double ratio = value.real / reference.real;
        char line[200];
        std::snprintf(line, sizeof line, "%-30s %10.3f %10.3f %7.2f %9.2f %4s%4.1f  %s\n", label.c_str(),
                      value.real, reference.real, ratio, value.cpu / reference.cpu, "<=", target,
                      ratio <= target ? "met" : "MISSED");
        out << line;
    }
};

// The one window of the process; every frame draws into it.
void openWindow(const char* program)
{
    static std::string name;
    name = program;
    int argc = 1;
    char* argv[] = {&name[0], nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(kWindowWidth, kWindowHeight);
    glutCreateWindow("Ombrel Editor benchmark");
    glutDisplayFunc([] {});
    for (int i = 0; i < 20; ++i)
        glutMainLoopEvent();
}

void removeWorkDir()
{
    for (const char* what : {"editor", "floor", "save", "save-floor"})
        for (int n : {1000, 10000, 100000})
            std::remove(pathFor(what, n).c_str());
    rmdir(workDir.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    // Only the console table gets the ratios after it; JSON and CSV stay
    // machine-readable.
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_format=", 0) == 0 && arg != "--benchmark_format=console")
            console = false;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ombrel-bench-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        std::perror("ombrel-bench: mkdtemp");
        return 1;
    }
    workDir = pattern;

    openWindow(argv[0]);
    files = new FileIO;
    editor = new Graphics(files);
    editor->DrawingSetup();
    editor->Reshape(kWindowWidth, kWindowHeight);
    Splines* const freshLevel = editor->spline[0];
    benchmark::AddCustomContext("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::AddCustomContext("gl_version", reinterpret_cast<const char*>(glGetString(GL_VERSION)));

    if (console) {
        RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                     : benchmark::ConsoleReporter::OO_Tabular);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();

    editor->spline = {freshLevel};
    removeWorkDir();
    return 0;
}
