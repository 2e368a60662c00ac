#include "support.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OmbrelEditor.h"

namespace {

const int kWindowWidth = 640;
const int kWindowHeight = 480;

void noDisplay() {}

// The one real window of the test process, mapped before any test runs.
void openTestWindow()
{
    // Under ./test CTest lends each test process a display of its own.
    if (const char* lent = std::getenv("CTEST_RESOURCE_GROUP_0_DISPLAYS")) {
        const std::string id = std::string(lent).substr(3);  // "id:N,slots:1"
        setenv("DISPLAY", (":" + id.substr(0, id.find(','))).c_str(), 1);
    }
    static char name[] = "ombrel-tests";
    int argc = 1;
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(kWindowWidth, kWindowHeight);
    glutCreateWindow("Ombrel Editor");
    glutDisplayFunc(noDisplay);
    for (int i = 0; i < 20; ++i)
        glutMainLoopEvent();
}

std::string& tempFolder()
{
    static std::string folder;
    return folder;
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

std::vector<std::vector<Vec3>> captureLineStrips(void (*draw)(Splines&), Splines& level)
{
    // Level units straight through: the -5..5 square over the whole window,
    // eye-space depth -100..100.
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5, 5, -5, 5, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    std::vector<float> buffer(1 << 20);
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
        const Vec3 from = vertex(at + 1);
        if (buffer[at] == GL_LINE_RESET_TOKEN || strips.empty() || !same(strips.back().back(), from))
            strips.push_back({from});
        strips.back().push_back(vertex(at + 4));
    }
    return strips;
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour)
{
    return out << "rgb(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
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
    writeWholeFile(tempPath("stdin"), text);
    ASSERT_NE(std::freopen(tempPath("stdin").c_str(), "r", stdin), nullptr);
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
    if (tempFolder().empty()) {
        char pattern[] = "/tmp/ombrel-tests-XXXXXX";
        tempFolder() = mkdtemp(pattern);
    }
    return tempFolder() + "/" + name;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!testing::GTEST_FLAG(list_tests))
        openTestWindow();
    const int status = RUN_ALL_TESTS();
    if (!tempFolder().empty())
        std::filesystem::remove_all(tempFolder());
    return status;
}
