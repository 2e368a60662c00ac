#include "support.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "OmbrelEditor.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const int kWindowWidth = 640;
const int kWindowHeight = 480;

void noDisplay() {}

// The one real window of the test process, mapped before any test runs.
void openTestWindow()
{
    static char name[] = "ombrel-tests";
    int argc = 1;
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(kWindowWidth, kWindowHeight);
    glutInitWindowPosition(150, 150);
    glutCreateWindow("Ombrel Editor");
    glutDisplayFunc(noDisplay);
    // The windows of tests running beside this one may cover it: the screen
    // keeps its contents all the same.
    XSetWindowAttributes keep;
    keep.backing_store = Always;
    XChangeWindowAttributes(glXGetCurrentDisplay(), glXGetCurrentDrawable(), CWBackingStore, &keep);
    for (int i = 0; i < 20; ++i)
        glutMainLoopEvent();
}

// Level units straight through: the -5..5 square over the whole window and
// an eye-space depth range of -100..100 that holds every level.
void levelSquareView()
{
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5, 5, -5, 5, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace

void EditorTest::SetUp()
{
    files = new FileIO;
    editor = new Graphics(files);
    graphics = editor;
    editor->DrawingSetup();
    editor->Reshape(kWindowWidth, kWindowHeight);
}

void EditorTest::TearDown()
{
    freeLevels(editor->spline);
    delete editor;
    delete files;
    graphics = nullptr;
}

void keepReachable(const std::vector<Splines*>& levels)
{
    static std::vector<Splines*> kept;
    kept.insert(kept.end(), levels.begin(), levels.end());
}

void freeLevels(std::vector<Splines*>& levels)
{
    for (Splines* level : levels)
        delete level;
    levels.clear();
}

Splines* makeLevel(int number, const std::vector<std::vector<std::pair<float, float>>>& curves)
{
    Splines* const level = new Splines;
    keepReachable({level});
    level->level = number;
    level->levelCurves.resize(curves.size());
    for (size_t j = 0; j < curves.size(); ++j)
        for (const auto& point : curves[j])
            level->levelCurves[j].controlPoints.emplace_back(point.first, point.second, static_cast<float>(number));
    return level;
}

std::vector<std::vector<Vec3>> captureLineStrips(void (*draw)(Splines&), Splines& level)
{
    std::vector<float> buffer(1 << 20);
    levelSquareView();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw(level);
    const int size = glRenderMode(GL_RENDER);
    auto vertex = [&](int at) {
        return Vec3(buffer[at] / kWindowWidth * 10 - 5, buffer[at + 1] / kWindowHeight * 10 - 5,
                    100 * (1 - 2 * buffer[at + 2]));
    };
    // Mesa reports every piece as a line token, so a strip ends where the
    // next piece does not start at its last vertex.
    auto same = [](const Vec3& a, const Vec3& b) {
        return std::fabs(a.pos[0] - b.pos[0]) < 1e-4 && std::fabs(a.pos[1] - b.pos[1]) < 1e-4;
    };
    std::vector<std::vector<Vec3>> strips;
    for (int at = 0; at + 7 <= size; at += 7) {
        const int token = static_cast<int>(buffer[at]);
        EXPECT_TRUE(token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) << "feedback token " << token;
        const Vec3 from = vertex(at + 1);
        if (token == GL_LINE_RESET_TOKEN || strips.empty() || !same(strips.back().back(), from))
            strips.push_back({from});
        strips.back().push_back(vertex(at + 4));
    }
    return strips;
}

std::vector<unsigned> selectionNames(Splines& level, int currentLevel)
{
    std::vector<GLuint> buffer(4096);
    levelSquareView();
    glSelectBuffer(static_cast<GLsizei>(buffer.size()), buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    level.renderMode = GL_SELECT;
    level.drawSpline(currentLevel);
    level.renderMode = GL_RENDER;
    const int hits = glRenderMode(GL_RENDER);
    std::vector<unsigned> names;
    for (int n = 0, at = 0; n < hits; ++n, at += 3 + buffer[at])
        names.push_back(buffer[at + 3]);
    return names;
}

Rgb pixelAt(int x, int y)
{
    unsigned char rgb[3];
    // The frame just swapped stays in the back buffer with Mesa's software
    // renderer; the front buffer of an X window reads back as black there.
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, kWindowHeight - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

Rgb screenPixel(int x, int y)
{
    Display* const display = glXGetCurrentDisplay();
    XSync(display, False);
    XImage* const image = XGetImage(display, glXGetCurrentDrawable(), x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return Rgb{static_cast<int>(pixel >> 16 & 0xff), static_cast<int>(pixel >> 8 & 0xff), static_cast<int>(pixel & 0xff)};
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour)
{
    return out << "rgb(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
}

bool colourNear(int x, int y, int radius, Rgb colour)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (pixelAt(x + dx, y + dy) == colour)
                return true;
    return false;
}

int pixelX(float x) { return static_cast<int>((x + 5) / 10 * kWindowWidth); }
int pixelY(float y) { return static_cast<int>((5 - y) / 10 * kWindowHeight); }

void feedStdin(const std::string& text)
{
    const std::string path = tempPath("stdin");
    writeWholeFile(path, text);
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string tempPath(const std::string& name)
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/ombrel-tests-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return folder + "/" + name;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!testing::GTEST_FLAG(list_tests))
        openTestWindow();
    const int status = RUN_ALL_TESTS();
#ifdef __SANITIZE_ADDRESS__
    // Now, while the display is open: freeglut's exit handler closes it and
    // unloads the GL driver, whose allocations then can't be told apart.
    __lsan_do_leak_check();
#endif
    return status;
}
