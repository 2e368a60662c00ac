// The level file tool's exports, read back by the programs people open them
// with (rsvg-convert, assimp, a JSON Schema validator), against what the
// editor itself draws from the same file.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "core/CurveSampler.h"
#include "core/LevelFile.h"
#include "support.h"

namespace {

// Two levels of 300 small open curves: more than one batch of a long export.
std::string manyCurves()
{
    std::string text;
    for (int level = 0; level < 2; ++level) {
        std::string structure, points;
        for (int k = 0, number = 0; k < 300; ++k) {
            structure += "(";
            const float x = -4.5f + (k % 20) * 0.45f + level * 0.1f, y = -4.5f + (k / 20) * 0.6f;
            const float corners[4][2] = {{x, y}, {x + 0.3f, y}, {x + 0.3f, y + 0.3f}, {x, y + 0.3f}};
            for (const auto& corner : corners) {
                structure += " " + std::to_string(number);
                points += std::to_string(number++) + " " + std::to_string(corner[0]) + " " +
                          std::to_string(corner[1]) + " 0\n";
            }
            structure += " )";
        }
        text += structure + "\n" + points + "\n";
    }
    return text;
}

// Curvy open curves, loops of three, two and one point, an empty curve 0
// (the editor seeds the default square), an empty middle curve, a level that
// is not the first, and many curves.
const std::string kLayouts[] = {
    "( 0 1 2 3 4 5 )( 6 7 8 )( 9 10 )( 11 )\n"
    "0 -4.5 -3 0\n1 -3.5 2.5 0\n2 -1.25 -2.75 0\n3 0.8 3.1 0\n4 3 -3.3 0\n5 4.5 2 0\n"
    "6 -3 3.5 0\n7 -0.5 4.6 0\n8 -4.2 4.4 0\n9 1 -4 0\n10 4.2 -4.6 0\n11 0.3 0.3 0\n",
    "( 0 )\n0 1 1 0\n\n"
    "( )( 0 1 2 3 4 )\n0 -4 -4 1\n1 -2.5 3.9 1\n2 0.1 -0.7 1\n3 2.2 4 1\n4 4.4 -4.4 1\n\n"
    "( 0 1 2 )( )( 3 4 5 6 )\n0 -1 -1 2\n1 3 -1 2\n2 1 2.5 2\n3 -4 0 2\n4 -2 -4.1 2\n5 2 4.3 2\n6 4.1 0.1 2\n",
    manyCurves(),
};

const int kSquareSide = 480;  // a square part of the test window: level units scale alike on both axes

// The levels as the editor holds them after reading the file in its opening window.
std::vector<Splines*> editorLevels(size_t i)
{
    std::vector<Splines*> levels;
    FILE* const in = fmemopen(const_cast<char*>(kLayouts[i].data()), kLayouts[i].size(), "r");
    readLevels(in, levels);
    std::fclose(in);
    settleAsTheEditorDoes(levels);
    keepReachable(levels);
    return levels;
}

// Standard output of a shell command that must succeed.
std::string output(const std::string& command)
{
    std::string text;
    FILE* const pipe = popen(command.c_str(), "r");
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        text.append(chunk, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return text;
}

std::string exportCommand(const std::string& options, size_t layout)
{
    const std::string path = tempPath("layout" + std::to_string(layout) + ".txt");
    writeWholeFile(path, kLayouts[layout]);
    return std::string(OMBREL_LEVEL_TOOL) + " export " + options + " " + path;
}

// The -5..5 square over a square part of the window.
void squareView()
{
    glViewport(0, 0, kSquareSide, kSquareSide);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5, 5, -5, 5, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Brightness of a square picture, rows from the bottom as OpenGL reads them.
using Picture = std::vector<unsigned char>;

Picture editorPicture(const std::vector<Splines*>& levels)
{
    squareView();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    for (Splines* level : levels)
        level->drawCatmullRom();
    Picture red(kSquareSide * kSquareSide);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSquareSide, kSquareSide, GL_RED, GL_UNSIGNED_BYTE, red.data());
    return red;
}

// The SVG drawn on black by rsvg-convert, each pixel's brightest channel.
Picture rsvgPicture(const std::string& svg)
{
    const std::string png = tempPath("export.png"), raw = tempPath("export.raw");
    const std::string side = std::to_string(kSquareSide);
    output("rsvg-convert -b black -w " + side + " -h " + side + " -o " + png + " " + svg + " && convert " + png +
           " -flip -separate -evaluate-sequence max -depth 8 gray:" + raw);
    const std::string bytes = readWholeFile(raw);
    EXPECT_EQ(bytes.size(), static_cast<size_t>(kSquareSide * kSquareSide));
    return Picture(bytes.begin(), bytes.end());
}

// Pixels of the first picture from the brightness given with no pixel of the
// second from its brightness within the distance.
int unmatched(const Picture& from, int fromBrightness, const Picture& to, int toBrightness, int distance)
{
    int count = 0;
    for (int y = distance; y < kSquareSide - distance; ++y)
        for (int x = distance; x < kSquareSide - distance; ++x) {
            bool near = false;
            for (int dy = -distance; dy <= distance; ++dy)
                for (int dx = -distance; dx <= distance; ++dx)
                    near = near || to[(y + dy) * kSquareSide + x + dx] >= toBrightness;
            count += from[y * kSquareSide + x] >= fromBrightness && !near;
        }
    return count;
}

class Export : public EditorTest {};

// The numbers of every path's d attribute, path by path.
std::vector<std::vector<float>> pathNumbers(const std::string& svg)
{
    std::vector<std::vector<float>> paths;
    for (size_t at = svg.find(" d=\""); at != std::string::npos; at = svg.find(" d=\"", at + 1)) {
        paths.emplace_back();
        for (const char* p = svg.c_str() + at + 4; *p != '"';) {
            char* end;
            const float number = std::strtof(p, &end);
            if (end == p) {
                ++p;  // a command letter or a blank
            } else {
                paths.back().push_back(number);
                p = end;
            }
        }
    }
    return paths;
}

// Each Bézier segment (start, two controls, end) at t = k / 10 lies on the
// editor's sample k of that segment, as the polyline export writes it.
void expectBeziersThroughTheSamples(const std::string& bezierSvg, const std::string& polylineSvg)
{
    const auto beziers = pathNumbers(bezierSvg), polylines = pathNumbers(polylineSvg);
    ASSERT_EQ(beziers.size(), polylines.size());
    for (size_t c = 0; c < beziers.size(); ++c) {
        const std::vector<float>& b = beziers[c];
        const size_t segments = (b.size() - 2) / 6;
        ASSERT_EQ(polylines[c].size(), 2 * (kPiecesPerSegment * segments + 1)) << "path " << c;
        for (size_t s = 0; s < segments; ++s)
            for (int k = 1; k < kPiecesPerSegment; ++k)
                for (int axis = 0; axis < 2; ++axis) {
                    const double t = static_cast<double>(k) / kPiecesPerSegment, u = 1 - t;
                    const float* const p = &b[6 * s + axis];
                    EXPECT_NEAR(u * u * u * p[0] + 3 * u * u * t * p[2] + 3 * u * t * t * p[4] + t * t * t * p[6],
                                polylines[c][2 * (kPiecesPerSegment * s + k) + axis], 1e-4)
                        << "path " << c << ", segment " << s << ", sample " << k;
                }
    }
}

// The exact Béziers stray from the editor's ten straight pieces per segment
// by up to two pixels at the sharpest turns; the sampled polyline stays
// within anti-aliasing.
TEST_F(Export, SvgRendersWhereTheEditorDrawsTheCurves)
{
    for (size_t i = 0; i < std::size(kLayouts); ++i) {
        SCOPED_TRACE("layout " + std::to_string(i));
        const std::string bezier = tempPath("export.svg"), polyline = tempPath("polyline.svg");
        output(exportCommand("--svg", i) + " -o " + bezier + " && " + exportCommand("--svg --polyline", i) + " -o " +
               polyline);
        const Picture editor = editorPicture(editorLevels(i));
        EXPECT_GT(std::count(editor.begin(), editor.end(), 255), 1000);
        for (const auto& [svg, distance] : {std::pair{bezier, 2}, std::pair{polyline, 1}}) {
            const Picture rsvg = rsvgPicture(svg);
            EXPECT_EQ(unmatched(editor, 1, rsvg, 32, distance), 0) << svg << ": drawn by the editor, missing";
            EXPECT_EQ(unmatched(rsvg, 128, editor, 1, distance), 0) << svg << ": not drawn by the editor";
        }
        expectBeziersThroughTheSamples(readWholeFile(bezier), readWholeFile(polyline));
    }
}

// One line per point as "c|s X Y", per curve "curve LEVEL CLOSED", numbers
// as floats; the same text whether written by the exporter or expected.
using Listing = std::vector<std::pair<std::string, std::vector<float>>>;

Listing listing(const std::string& text)
{
    Listing lines;
    std::istringstream in(text);
    for (std::string tag, line; in >> tag && std::getline(in, line);) {
        lines.emplace_back(tag, std::vector<float>{});
        std::istringstream numbers(line);
        for (std::string number; numbers >> number;)
            lines.back().second.push_back(std::strtof(number.c_str(), nullptr));
    }
    return lines;
}

// The JSON validates and carries each curve's control points and samples as
// written; assimp reads the OBJ as one line mesh per curve with samples,
// "N (name): [vertices / bones / faces | line]", each piece a line face of two
// vertices; the OBJ's own lines run through each curve's samples, a loop
// back to its first.
TEST(ExportJsonAndObj, CarryTheControlPointsAndSamplesExactly)
{
    const std::string check =
        std::string(" | /usr/bin/python3 ") + OMBREL_SOURCE_DIR "/tests/formats/json_points.py " OMBREL_SOURCE_DIR "/docs/ombrel-level.schema.json";
    const std::string obj = tempPath("export.obj");
    for (int samples : {kPiecesPerSegment, 3})
        for (size_t i = 0; i < std::size(kLayouts); ++i) {
            SCOPED_TRACE("samples " + std::to_string(samples) + ", layout " + std::to_string(i));
            Listing expected{{"samples", {static_cast<float>(samples)}}};
            std::string meshes, lines;
            std::vector<Vec3> vertices;
            int mesh = 0;
            size_t first = 1;
            for (const Splines* level : editorLevels(i))
                for (size_t j = 0; j < level->levelCurves.size(); ++j) {
                    const Nodes& curve = level->levelCurves[j];
                    const bool open = drawnOpen(curve);
                    expected.push_back({"curve", {static_cast<float>(level->level), !open && !curve.controlPoints.empty() ? 1.0f : 0.0f}});
                    for (const Vec3& point : curve.controlPoints)
                        expected.push_back({"c", {point.pos[0], point.pos[1]}});
                    sampleCurve(curve, level->level, samples, vertices);
                    for (const Vec3& vertex : vertices)
                        expected.push_back({"s", {vertex.pos[0], vertex.pos[1]}});
                    if (vertices.empty())
                        continue;
                    meshes += std::to_string(mesh++) + " (level" + std::to_string(level->level) + "_curve" +
                              std::to_string(j) + "): [" + std::to_string(2 * vertices.size() - 2) + " / 0 / " +
                              std::to_string(vertices.size() - 1) + " | line]\n";
                    const size_t count = vertices.size() - (open ? 0 : 1);
                    lines += "l";
                    for (size_t k = 0; k < vertices.size(); ++k)
                        lines += " " + std::to_string(first + k % count);
                    lines += "\n";
                    first += count;
                }
            const std::string options = " --samples " + std::to_string(samples);
            EXPECT_EQ(listing(output(exportCommand("--json" + options, i) + check)), expected);
            output(exportCommand("--obj" + options, i) + " -o " + obj);
            std::string foundMeshes, foundLines;
            std::istringstream info(output("assimp info " + obj + " --raw")), file(readWholeFile(obj));
            for (std::string line; std::getline(info, line);)
                if (line.find("_curve") != std::string::npos && line.find('[') != std::string::npos)
                    foundMeshes += line.substr(line.find_first_not_of(' ')) + "\n";
            for (std::string line; std::getline(file, line);)
                if (line[0] == 'l')
                    foundLines += line + "\n";
            EXPECT_EQ(foundMeshes, meshes);
            EXPECT_EQ(foundLines, lines);
        }
    // A bound on the samples keeps a long curve's samples within memory.
    EXPECT_NE(std::system((exportCommand("--obj --samples 101", 0) + " >/dev/null 2>&1").c_str()), 0);
}

// The editor's frame sends the sampler's vertices bit for bit: texture
// generation copies object x, y and z into s, t and r unchanged, and
// feedback mode reports them with both ends of every line piece.
TEST_F(Export, EditorFrameVerticesAreTheSamplesBitForBit)
{
    const GLenum coordinates[3] = {GL_S, GL_T, GL_R}, generators[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
    const GLubyte texel[3] = {255, 255, 255};  // Mesa generates only for a unit with a texture
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_TEXTURE_2D);
    for (int axis = 0; axis < 3; ++axis) {
        GLfloat plane[4] = {0, 0, 0, 0};
        plane[axis] = 1;
        glTexGeni(coordinates[axis], GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGenfv(coordinates[axis], GL_OBJECT_PLANE, plane);
        glEnable(generators[axis]);
    }
    squareView();
    std::vector<float> buffer(1 << 20);
    std::vector<Vec3> vertices;
    for (size_t i = 0; i < std::size(kLayouts); ++i)
        for (Splines* level : editorLevels(i)) {
            glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
            glRenderMode(GL_FEEDBACK);
            level->drawCatmullRom();
            const int size = glRenderMode(GL_RENDER);
            // A piece: a token, then two vertices of window x, y, z, RGBA and s, t, r, q.
            std::vector<float> drawn, sampled;
            for (int at = 0; at + 23 <= size; at += 23)
                for (const int end : {1, 12})
                    drawn.insert(drawn.end(), &buffer[at + end + 7], &buffer[at + end + 10]);
            for (const Nodes& curve : level->levelCurves) {
                sampleCurve(curve, level->level, kPiecesPerSegment, vertices);
                for (size_t k = 1; k < vertices.size(); ++k)
                    for (const Vec3* vertex : {&vertices[k - 1], &vertices[k]})
                        sampled.insert(sampled.end(), vertex->pos, vertex->pos + 3);
            }
            ASSERT_EQ(drawn.size(), sampled.size()) << "layout " << i << ", level " << level->level;
            EXPECT_EQ(std::memcmp(drawn.data(), sampled.data(), drawn.size() * sizeof(float)), 0)
                << "layout " << i << ", level " << level->level;
        }
    for (const GLenum generator : generators)
        glDisable(generator);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace
