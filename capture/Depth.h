#pragma once

#include <QtGlobal>

namespace capture {

// The colour depth of a saved file: 2, 16 or 256 colours chosen by our own
// writer, or the picture's own colours at 24 bits per pixel.
enum class Depth { Mono, Colours16, Colours256, Display };

// The depth a writer's DepthCode selects: 1 or 2 give Mono, 4 or 16 give
// Colours16, 8 or 256 give Colours256, and any other value Mono.
Depth depthOfCode(qint16 DepthCode);

// The bits per pixel of a file of that depth: 24 for Display.
int bitsPerPixelOf(Depth depth);

} // namespace capture
