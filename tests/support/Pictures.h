#pragma once

#include "palette/NearestColour.h"

#include <QImage>
#include <vector>

namespace testing_support {

// Runs of 1 to maxRun pixels of colours from a set, each pixel with its own
// alpha (which the conversion ignores), so runs end at every offset.
QImage runsOf(int width, int height, int colours, int maxRun, quint32 seed);

// The nearest palette entry by a search of every one: the lowest index among
// equally near ones.
int bruteForceNearest(const std::vector<palette::Rgb>& palette, const palette::Rgb& colour);

} // namespace testing_support
