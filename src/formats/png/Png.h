// A picture of a layout as the editor shows its top level: that level and up
// to three below it, in the editor's colours on black, the -5..5 square as
// a square picture.
#pragma once

#include <cstdio>
#include <vector>

#include "formats/Export.h"

constexpr int kLeastPictureSize = 16;
constexpr int kMostPictureSize = 4096;

// A PNG of options.size pixels square, with markers on the control points
// when options.points. False when the stream reports an error.
bool exportPng(FILE* out, const std::vector<Splines*>& levels, const ExportOptions& options);
