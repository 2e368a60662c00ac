#include "support.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/LevelModel.h"
#include "editor/OmbrelEditor.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const int kWidth = 640, kHeight = 480;
std::string folder;  // this process's temporary folder

void noDisplay() {}

// The one real window of the test process. Under ./test, CTest lends each
// test process a display of its own ("id:N,slots:1").
void openTestWindow()
{
    if (const char* lent = std::getenv("CTEST_RESOURCE_GROUP_0_DISPLAYS"))
        setenv("DISPLAY", (":" + std::string(lent).substr(3, std::string(lent).find(',') - 3)).c_str(), 1);
    static char name[] = "ombrel-tests";
    int argc = 1;
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(kWidth, kHeight);
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

}  // namespace

void EditorTest::SetUp()
{
    files = new FileIO;
    editor = new Graphics(files);
    graphics = editor;
    editor->DrawingSetup();
    editor->Reshape(kWidth, kHeight);
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

Splines* makeLevel(int number, const std::vector<Points>& curves)
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

Points xy(const Nodes& curve)
{
    Points points;
    for (const Vec3& point : curve.controlPoints)
        points.emplace_back(point.pos[0], point.pos[1]);
    return points;
}

Rgb pixelAt(int x, int y)
{
    unsigned char rgb[3];
    // The frame just swapped stays in the back buffer with Mesa's software
    // renderer; the front buffer of an X window reads back as black there.
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, kHeight - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
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

bool colourNear(float x, float y, Rgb colour, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (pixelAt(pixelX(x) + dx, pixelY(y) + dy) == colour)
                return true;
    return false;
}

int pixelX(float x) { return static_cast<int>((x + 5) / 10 * kWidth); }
int pixelY(float y) { return static_cast<int>((5 - y) / 10 * kHeight); }

std::string readWholeFile(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string tempPath(const std::string& name) { return folder + "/" + name; }

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    char pattern[] = "/tmp/ombrel-tests-XXXXXX";
    folder = mkdtemp(pattern);
    openTestWindow();
    const int status = RUN_ALL_TESTS();
#ifdef __SANITIZE_ADDRESS__
    // Now, while the display is open: freeglut's exit handler closes it and
    // unloads the GL driver, whose allocations then can't be told apart.
    __lsan_do_leak_check();
#endif
    std::filesystem::remove_all(folder);
    return status;
}
