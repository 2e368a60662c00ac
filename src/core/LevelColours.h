// The colours levels are drawn in, by how far a level lies below the one the
// editor shows: its own and the three below it. No GL here, so the tool's
// pictures use them without a display.
#pragma once

constexpr int kLevelsBelowShown = 3;

const float kLevelColours[kLevelsBelowShown + 1][3] = {
    {0.9f, 0.0f, 0.1f},
    {0.2f, 0.6f, 0.9f},
    {0.8f, 0.0f, 0.8f},
    {0.0f, 0.0f, 1.0f},
};

// Control-point markers: level units wide; the current curve's in yellow.
constexpr float kMarkerSize = 0.1f;
const float kCurrentMarkerColour[3] = {1.0f, 1.0f, 0.0f};
