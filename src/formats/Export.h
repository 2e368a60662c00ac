// Layouts for other programs: SVG for drawing programs, OBJ for modelling
// programs and engines, JSON for everything else. Each writes the levels as
// they are, with the editor's own curve samples: settle them first
// (settleAsTheEditorDoes) to write what the editor shows after reading them.
#pragma once

#include <cstdio>
#include <vector>

#include "core/CurveSampler.h"

class Splines;

// More pieces per segment than any drawing needs; the exports refuse more
// rather than hold a curve's samples in memory without bound.
constexpr int kMostSamples = 100;

struct ExportOptions {
    int samples = kPiecesPerSegment;  // straight pieces per segment
    bool polyline = false;            // SVG: sampled vertices instead of exact cubic Béziers
    bool points = false;              // SVG and PNG: control points as small markers
    int size = 640;                   // PNG: pixels across and down
};

// Each returns false when the stream reports an error, or samples is not
// within 1..kMostSamples (nothing is written then).
bool exportSvg(FILE* out, const std::vector<Splines*>& levels, const ExportOptions& options);
bool exportObj(FILE* out, const std::vector<Splines*>& levels, const ExportOptions& options);
bool exportJson(FILE* out, const std::vector<Splines*>& levels, const ExportOptions& options);
