#include "Png.h"

#include <cairo.h>

#include <algorithm>

#include "core/CurveSampler.h"
#include "core/LevelColours.h"
#include "core/Splines.h"

namespace {

// The editor draws its lines 2 pixels wide in a window 640 pixels across.
const double kLineWidthAt640 = 2.0;

void setColour(cairo_t* cr, const float* colour)
{
    cairo_set_source_rgb(cr, colour[0], colour[1], colour[2]);
}

void drawLines(cairo_t* cr, const Splines& level)
{
    std::vector<Vec3> vertices;
    for (const Nodes& curve : level.levelCurves) {
        vertices.clear();
        sampleCurve(curve, level.level, kPiecesPerSegment, vertices);
        for (size_t i = 0; i < vertices.size(); ++i)
            (i == 0 ? cairo_move_to : cairo_line_to)(cr, vertices[i].pos[0], vertices[i].pos[1]);
        cairo_stroke(cr);
    }
}

void drawMarkers(cairo_t* cr, const Splines& level, const float* colour, bool current)
{
    for (size_t j = 0; j < level.levelCurves.size(); ++j) {
        setColour(cr, current && static_cast<int>(j) == level.currentCurve ? kCurrentMarkerColour : colour);
        for (const Vec3& p : level.levelCurves[j].controlPoints)
            cairo_rectangle(cr, p.pos[0] - kMarkerSize / 2, p.pos[1] - kMarkerSize / 2, kMarkerSize, kMarkerSize);
        cairo_fill(cr);
    }
}

cairo_status_t writeTo(void* closure, const unsigned char* data, unsigned int length)
{
    FILE* const out = static_cast<FILE*>(closure);
    return std::fwrite(data, 1, length, out) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

bool exportPng(FILE* out, const std::vector<Splines*>& levels, const ExportOptions& options)
{
    const int size = options.size;
    cairo_surface_t* const surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
    cairo_t* const cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    // Level units, y up, onto the picture.
    cairo_scale(cr, size / 10.0, -size / 10.0);
    cairo_translate(cr, 5, -5);
    cairo_set_line_width(cr, kLineWidthAt640 / 640 * 10);
    const int top = static_cast<int>(levels.size()) - 1;
    for (int i = std::max(0, top - kLevelsBelowShown); i <= top; ++i) {
        const float* const colour = kLevelColours[top - i];
        setColour(cr, colour);
        drawLines(cr, *levels[static_cast<size_t>(i)]);
        if (options.points)
            drawMarkers(cr, *levels[static_cast<size_t>(i)], colour, i == top);
    }
    cairo_destroy(cr);
    const bool written = cairo_surface_write_to_png_stream(surface, writeTo, out) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written && std::fflush(out) == 0 && !std::ferror(out);
}
