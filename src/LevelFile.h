// The level file format on open streams, both directions. FileIO's two calls
// add the names, prompts and safe saving on top.
#pragma once

#include <cstdio>
#include <vector>

class Splines;

// Writes every level; false when the stream reports an error.
bool writeLevels(FILE* file, const std::vector<Splines*>& spline);

// Appends the levels read from the stream to the list, leniently: what the
// editor cannot place is skipped.
void readLevels(FILE* in, std::vector<Splines*>& spline);
