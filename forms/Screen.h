#pragma once

#include <QRect>
#include <QtGlobal>

class QWidget;

// Screen metrics in the units the windows work in. A twip is 1/1440 inch.
// Windows and controls are laid out in logical (device-independent) pixels;
// pictures and pixel scale modes count device pixels, so that one picture
// pixel is one pixel on the screen also when the desktop is scaled.
namespace forms {

constexpr double kTwipsPerInch = 1440.0;

// Twips in one pixel of a screen with the given density.
double twipsPerPixel(double dotsPerInch);

// The screen's twips per device pixel (what "pixels" means for pictures).
double twipsPerPixelX();
double twipsPerPixelY();

// Twips per logical pixel: the unit of window and control geometry.
double twipsPerLogicalPixel();
int twipsToLogicalPixels(double twips);
double logicalPixelsToTwips(int pixels);

// Height of a window caption bar in device pixels, from the style's
// title-bar metric.
int captionHeightPixels();

// Width of the border around a fixed single-line window, in logical pixels.
int windowBorderLogicalPixels();

// The part of the screen that windows may take (without panels and docks),
// in logical pixels: of the screen that shows `near`, or of the primary one.
// Where the desktop tells no work area (Wayland), the screen less a margin.
QRect availableScreenArea(const QWidget* near);

} // namespace forms

// The height of a window caption bar in twips, computed once by the main
// window when it loads (or by whatever shows windows without it) and read by
// every window that sizes itself.
extern qint32 CaptionHeight;

namespace forms {
// Computes CaptionHeight for the screen.
void setCaptionHeight();
}
