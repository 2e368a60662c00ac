#include "support.h"

#include <GL/freeglut.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OmbrelEditor.h"

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

Splines* makeLevel(int number, const std::vector<Points>& curves)
{
    Splines* const level = new Splines;
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
    std::filesystem::remove_all(folder);
    return status;
}
