#include "Export.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>

#include "core/Splines.h"

namespace {

// SVG: the editor's level colours as it shows the top level (the top level
// in the current level's colour, the ones below in theirs, repeating), and
// strokes about a pixel wide at the 640-pixel size the drawing declares.
const char* const kLevelColours[] = {"#e6001a", "#3399e6", "#cc00cc", "#0000ff"};
const int kColourCount = static_cast<int>(std::size(kLevelColours));
const int kSvgPixels = 640;
const char kStrokeWidth[] = "0.02";
const float kMarkerHalfSide = 0.05f;  // the editor's markers are 0.1 wide

// Curves per batch of a long export: a few megabytes of text at most.
const size_t kBatch = 256;

// Formats into a large buffer and hands it to the stream in chunks; the
// exports write millions of numbers, so printf per number would dominate.
class Writer {
public:
    explicit Writer(FILE* out) : out(out) {}
    explicit Writer(std::string& memory) : memory(&memory) {}

    void text(const char* s) { append(s, std::strlen(s)); }

    // Text formatted elsewhere, of any length.
    void bytes(const std::string& formatted)
    {
        flush();
        write(formatted.data(), formatted.size());
    }

    // A sample beyond the float range (control points near the largest
    // float) is written as the largest float of its sign, so that every
    // output stays readable.
    void number(float value)
    {
        if (!std::isfinite(value))
            value = std::copysign(FLT_MAX, value);
        room(kNumberRoom);
        used = std::to_chars(buffer + used, buffer + sizeof buffer, value).ptr - buffer;
    }

    void integer(long value)
    {
        room(kNumberRoom);
        used = std::to_chars(buffer + used, buffer + sizeof buffer, value).ptr - buffer;
    }

    void character(char c)
    {
        room(1);
        buffer[used++] = c;
    }

    // False when the stream reported an error at any point.
    bool finish()
    {
        flush();
        return good && !(out && std::ferror(out));
    }

private:
    static const size_t kNumberRoom = 32;

    // Only short texts come here: names, tags and colours.
    void append(const char* s, size_t size)
    {
        room(size);
        std::memcpy(buffer + used, s, size);
        used += size;
    }

    void room(size_t size)
    {
        if (used + size > sizeof buffer)
            flush();
    }

    void flush()
    {
        write(buffer, used);
        used = 0;
    }

    void write(const char* s, size_t size)
    {
        if (out)
            good = std::fwrite(s, 1, size, out) == size && good;
        else
            memory->append(s, size);
    }

    FILE* out = nullptr;
    std::string* memory = nullptr;
    char buffer[1 << 16];
    size_t used = 0;
    bool good = true;
};

bool samplesWithinReach(const ExportOptions& options)
{
    return options.samples >= 1 && options.samples <= kMostSamples;
}

void pair(Writer& out, const float* xy, char between)
{
    out.number(xy[0]);
    out.character(between);
    out.number(xy[1]);
}

// ---------------------------------------------------------------- SVG

// Each Catmull-Rom segment as its exact cubic Bézier: segment i runs from
// point i - 2 to point i - 1 (wrapped), with i - 3 and i as neighbours.
void bezierPath(Writer& out, const Nodes& curve)
{
    const std::vector<Vec3>& p = curve.controlPoints;
    const int n = static_cast<int>(p.size());
    const bool open = drawnOpen(curve);
    for (int i = open ? 3 : 0; i < n; ++i) {
        int segment[4];
        segmentPoints(i, n, segment);
        const float* const p0 = p[segment[0]].pos;
        const float* const p1 = p[segment[1]].pos;
        const float* const p2 = p[segment[2]].pos;
        const float* const p3 = p[segment[3]].pos;
        if (i == (open ? 3 : 0)) {
            out.character('M');
            pair(out, p1, ' ');
        }
        float controls[2][2];
        for (int axis = 0; axis < 2; ++axis) {
            controls[0][axis] = static_cast<float>(p1[axis] + (static_cast<double>(p2[axis]) - p0[axis]) / 6);
            controls[1][axis] = static_cast<float>(p2[axis] - (static_cast<double>(p3[axis]) - p1[axis]) / 6);
        }
        out.text(" C");
        pair(out, controls[0], ' ');
        out.character(' ');
        pair(out, controls[1], ' ');
        out.character(' ');
        pair(out, p2, ' ');
    }
}

void polylinePath(Writer& out, const std::vector<Vec3>& vertices)
{
    for (size_t k = 0; k < vertices.size(); ++k) {
        out.text(k == 0 ? "M" : " ");
        pair(out, vertices[k].pos, ' ');
    }
}

// A small square around every control point, all in one path.
void markerPath(Writer& out, const Nodes& curve)
{
    for (const Vec3& point : curve.controlPoints) {
        const float corner[2] = {point.pos[0] - kMarkerHalfSide, point.pos[1] - kMarkerHalfSide};
        out.character('M');
        pair(out, corner, ' ');
        out.text("h0.1v0.1h-0.1z");
    }
}

// A curve of the output, with what its format needs of its place.
struct Piece {
    const Splines* level;
    size_t curve;
    int top;          // the highest level number
    long firstIndex;  // OBJ: the number of the curve's first vertex
};

using PieceFormat = void (*)(Writer& out, const Piece& piece, const ExportOptions& options,
                             std::vector<Vec3>& vertices);

bool firstOfLevel(const Piece& piece) { return piece.curve == 0; }
bool lastOfLevel(const Piece& piece) { return piece.curve + 1 == piece.level->levelCurves.size(); }

// A layer per level, a path per curve with points.
void svgPiece(Writer& out, const Piece& piece, const ExportOptions& options, std::vector<Vec3>& vertices)
{
    const int level = piece.level->level;
    if (firstOfLevel(piece)) {
        const char* const colour = kLevelColours[(piece.top - level) % kColourCount];
        out.text("<g inkscape:groupmode=\"layer\" id=\"level");
        out.integer(level);
        out.text("\" inkscape:label=\"Level ");
        out.integer(level);
        out.text("\" transform=\"scale(1,-1)\" fill=\"none\" stroke-linejoin=\"round\" stroke-width=\"");
        out.text(kStrokeWidth);
        out.text("\" stroke=\"");
        out.text(colour);
        out.text("\" color=\"");
        out.text(colour);
        out.text("\">\n");
    }
    const Nodes& curve = piece.level->levelCurves[piece.curve];
    if (!curve.controlPoints.empty()) {
        out.text("<path id=\"level");
        out.integer(level);
        out.text("-curve");
        out.integer(static_cast<long>(piece.curve));
        out.text("\" d=\"");
        if (options.polyline) {
            sampleCurve(curve, level, options.samples, vertices);
            polylinePath(out, vertices);
        } else {
            bezierPath(out, curve);
        }
        if (!drawnOpen(curve))
            out.character('Z');
        out.text("\"/>\n");
        if (options.points) {
            out.text("<path stroke=\"none\" fill=\"currentColor\" d=\"");
            markerPath(out, curve);
            out.text("\"/>\n");
        }
    }
    if (lastOfLevel(piece))
        out.text("</g>\n");
}

// ---------------------------------------------------------------- JSON

void jsonPoints(Writer& out, const char* name, const std::vector<Vec3>& points)
{
    out.text(",\"");
    out.text(name);
    out.text("\":[");
    for (size_t k = 0; k < points.size(); ++k) {
        out.text(k == 0 ? "[" : ",[");
        pair(out, points[k].pos, ',');
        out.character(']');
    }
    out.character(']');
}

// Level after level, curve after curve, each with its control points and samples.
void jsonPiece(Writer& out, const Piece& piece, const ExportOptions& options, std::vector<Vec3>& vertices)
{
    const int level = piece.level->level;
    if (firstOfLevel(piece)) {
        out.text(level == 0 ? "\n{\"level\":" : ",\n{\"level\":");
        out.integer(level);
        out.text(",\"curves\":[");
    }
    const Nodes& curve = piece.level->levelCurves[piece.curve];
    sampleCurve(curve, level, options.samples, vertices);
    out.text(firstOfLevel(piece) ? "\n {\"closed\":" : ",\n {\"closed\":");
    out.text(drawnOpen(curve) || curve.controlPoints.empty() ? "false" : "true");
    jsonPoints(out, "controlPoints", curve.controlPoints);
    jsonPoints(out, "samples", vertices);
    out.character('}');
    if (lastOfLevel(piece))
        out.text("]}");
}

// ---------------------------------------------------------------- OBJ

// How many vertices the curve's line has in OBJ: its samples, a loop's
// closing vertex left out (the line repeats the first index instead).
long objVertexCount(const Nodes& curve, int pieces)
{
    const long n = static_cast<long>(curve.controlPoints.size());
    if (n == 0)
        return 0;
    return drawnOpen(curve) ? 1 + pieces * (n - 3) : pieces * n;
}

// An object per curve with points: its vertices and one polyline through them.
void objPiece(Writer& out, const Piece& piece, const ExportOptions& options, std::vector<Vec3>& vertices)
{
    const Nodes& curve = piece.level->levelCurves[piece.curve];
    const int level = piece.level->level;
    if (curve.controlPoints.empty())
        return;
    sampleCurve(curve, level, options.samples, vertices);
    const long count = objVertexCount(curve, options.samples);
    out.text("o level");
    out.integer(level);
    out.text("_curve");
    out.integer(static_cast<long>(piece.curve));
    out.character('\n');
    for (long k = 0; k < count; ++k) {
        out.text("v ");
        pair(out, vertices[k].pos, ' ');
        out.character(' ');
        out.integer(level);
        out.character('\n');
    }
    out.character('l');
    for (long k = 0; k < count; ++k) {
        out.character(' ');
        out.integer(piece.firstIndex + k);
    }
    if (!drawnOpen(curve)) {
        out.character(' ');
        out.integer(piece.firstIndex);
    }
    out.character('\n');
}

// ---------------------------------------------------------------- all formats

std::vector<Piece> piecesOf(const std::vector<Splines*>& levels, int samples)
{
    std::vector<Piece> pieces;
    const int top = static_cast<int>(levels.size()) - 1;
    long firstIndex = 1;
    for (const Splines* level : levels)
        for (size_t j = 0; j < level->levelCurves.size(); ++j) {
            pieces.push_back(Piece{level, j, top, firstIndex});
            firstIndex += objVertexCount(level->levelCurves[j], samples);
        }
    return pieces;
}

// Formats and writes every piece in order. The pieces go in rounds of two
// batches, the second formatted into memory on a helper thread meanwhile,
// so that a long export keeps two cores busy; the bytes are the same.
void writePieces(Writer& out, const std::vector<Splines*>& levels, PieceFormat format, const ExportOptions& options)
{
    const std::vector<Piece> pieces = piecesOf(levels, options.samples);
    std::vector<Vec3> vertices;
    for (size_t begin = 0; begin < pieces.size(); begin += 2 * kBatch) {
        const size_t middle = std::min(begin + kBatch, pieces.size());
        const size_t end = std::min(middle + kBatch, pieces.size());
        std::string later;
        std::thread helper([&pieces, &later, &options, format, middle, end] {
            Writer memory(later);
            std::vector<Vec3> ownVertices;
            for (size_t k = middle; k < end; ++k)
                format(memory, pieces[k], options, ownVertices);
            memory.finish();
        });
        for (size_t k = begin; k < middle; ++k)
            format(out, pieces[k], options, vertices);
        helper.join();
        out.bytes(later);
    }
}

}  // namespace

bool exportSvg(FILE* file, const std::vector<Splines*>& levels, const ExportOptions& options)
{
    if (!samplesWithinReach(options))
        return false;
    Writer out(file);
    out.text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!-- Level units: the -5..5 square, y up; one layer per level. -->\n"
             "<svg xmlns=\"http://www.w3.org/2000/svg\" "
             "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"");
    out.integer(kSvgPixels);
    out.text("\" height=\"");
    out.integer(kSvgPixels);
    out.text("\" viewBox=\"-5 -5 10 10\">\n");
    writePieces(out, levels, svgPiece, options);
    out.text("</svg>\n");
    return out.finish();
}

bool exportObj(FILE* file, const std::vector<Splines*>& levels, const ExportOptions& options)
{
    if (!samplesWithinReach(options))
        return false;
    Writer out(file);
    out.text("# Level units: the -5..5 square, y up, z the level number; one polyline per curve.\n");
    writePieces(out, levels, objPiece, options);
    return out.finish();
}

bool exportJson(FILE* file, const std::vector<Splines*>& levels, const ExportOptions& options)
{
    if (!samplesWithinReach(options))
        return false;
    Writer out(file);
    out.text("{\"units\":\"level\",\"extent\":[-5,5],\"yUp\":true,\"samplesPerSegment\":");
    out.integer(options.samples);
    out.text(",\"levels\":[");
    writePieces(out, levels, jsonPiece, options);
    out.text("]}\n");
    return out.finish();
}
