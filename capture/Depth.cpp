#include "capture/Depth.h"

namespace capture {

Depth depthOfCode(qint16 DepthCode)
{
    switch (DepthCode) {
    case 4:
    case 16:
        return Depth::Colours16;
    case 8:
    case 256:
        return Depth::Colours256;
    default:
        return Depth::Mono;
    }
}

int bitsPerPixelOf(Depth depth)
{
    switch (depth) {
    case Depth::Mono:
        return 1;
    case Depth::Colours16:
        return 4;
    case Depth::Colours256:
        return 8;
    case Depth::Display:
        break;
    }
    return 24;
}

} // namespace capture
