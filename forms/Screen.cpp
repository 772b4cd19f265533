#include "forms/Screen.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <cmath>

qint32 CaptionHeight = 0;

namespace forms {
namespace {

QScreen* screen()
{
    return QGuiApplication::primaryScreen();
}

double logicalDpiY()
{
    QScreen* s = screen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

double logicalDpiX()
{
    QScreen* s = screen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

double devicePixelRatio()
{
    QScreen* s = screen();
    return s ? s->devicePixelRatio() : 1.0;
}

} // namespace

double twipsPerPixel(double dotsPerInch)
{
    return kTwipsPerInch / dotsPerInch;
}

double twipsPerPixelX()
{
    return twipsPerPixel(logicalDpiX() * devicePixelRatio());
}

double twipsPerPixelY()
{
    return twipsPerPixel(logicalDpiY() * devicePixelRatio());
}

double twipsPerLogicalPixel()
{
    return twipsPerPixel(logicalDpiY());
}

int twipsToLogicalPixels(double twips)
{
    return int(std::lround(twips / twipsPerLogicalPixel()));
}

double logicalPixelsToTwips(int pixels)
{
    return pixels * twipsPerLogicalPixel();
}

void setCaptionHeight()
{
    CaptionHeight = qint32(std::lround(twipsPerPixelY() * captionHeightPixels()));
}

int captionHeightPixels()
{
    const int logical = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return int(std::lround(logical * devicePixelRatio()));
}

QRect availableScreenArea(const QWidget* near)
{
    QScreen* s = near ? near->screen() : screen();
    if (!s)
        return {};
    // A Wayland compositor tells no work area, and neither does an X desktop
    // without panels: room is left all round for the panels and docks the
    // desktop may still have, and for a frame drawn around the window.
    constexpr int kNoWorkAreaMargin = 48;
    if (s->availableGeometry() == s->geometry())
        return s->geometry().marginsRemoved(QMargins(kNoWorkAreaMargin, kNoWorkAreaMargin, kNoWorkAreaMargin,
                                                     kNoWorkAreaMargin));
    return s->availableGeometry();
}

int windowBorderLogicalPixels()
{
    return QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
}

} // namespace forms
