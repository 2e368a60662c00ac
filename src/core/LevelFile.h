// The level file format on open streams, both directions. FileIO's two calls
// add the names, prompts and safe saving on top.
#pragma once

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "Diagnostic.h"
#include "LevelAudit.h"

class Splines;

// Writes every level; false when the stream reports an error.
bool writeLevels(FILE* file, const std::vector<Splines*>& spline);

// Appends the levels read from the stream to the list, leniently: what the
// editor cannot place is skipped, and told to `findings` when one is given.
// Only then is the reading counted, and once it has made more than
// `mostMade` points and curves the levels are no longer built, only counted.
// Levels, curves on a line and numbers in a group are counted up to
// `countLimit`; a reading that would pass it stops there.
Reading readLevels(FILE* in, std::vector<Splines*>& spline, const DiagnosticSink* findings = nullptr,
                   long long mostMade = LLONG_MAX, int countLimit = INT_MAX);

// The levels as the editor holds them once it has read them into its opening
// window: a new level when none was read, the default square in each empty
// curve 0. Saving them writes what the editor's F1 would.
void settleAsTheEditorDoes(std::vector<Splines*>& spline);
