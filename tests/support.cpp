#include "support.h"

#include <GL/freeglut.h>

#include <cmath>
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

std::vector<std::vector<Vec3>> captureLineStrips(Splines& level)
{
    // Level units straight through: the -5..5 square over the whole window.
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5, 5, -5, 5, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    std::vector<float> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    level.drawCatmullRom();
    const int size = glRenderMode(GL_RENDER);
    auto vertex = [&](int at) {
        return Vec3(buffer[at] / kWidth * 10 - 5, buffer[at + 1] / kHeight * 10 - 5, 100 * (1 - 2 * buffer[at + 2]));
    };
    // Mesa reports every piece as a line token, so a strip ends where the
    // next piece does not start at its last vertex.
    std::vector<std::vector<Vec3>> strips;
    for (int at = 0; at + 7 <= size; at += 7) {
        const Vec3 from = vertex(at + 1);
        if (strips.empty() || std::fabs(strips.back().back().pos[0] - from.pos[0]) > 1e-4 ||
            std::fabs(strips.back().back().pos[1] - from.pos[1]) > 1e-4)
            strips.push_back({from});
        strips.back().push_back(vertex(at + 4));
    }
    return strips;
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
