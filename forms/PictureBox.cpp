#include "forms/PictureBox.h"

#include "forms/Screen.h"

#include <QPainter>
#include <cmath>

namespace forms {
namespace {

constexpr int kBorderLogicalPixels = 2;

} // namespace

PictureBox::PictureBox(QWidget* container, const QString& name, const Design& design, bool autoSize)
    : QFrame(container), ControlGeometry(this, design), m_autoSize(autoSize)
{
    setObjectName(name);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorderLogicalPixels);
}

double PictureBox::borderTwips()
{
    return logicalPixelsToTwips(kBorderLogicalPixels);
}

void PictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    if (m_autoSize) {
        const double border = 2 * borderTwips();
        setWidth(picture.width() * twipsPerPixelX() + border);
        setHeight(picture.height() * twipsPerPixelY() + border);
    }
    update();
}

float PictureBox::toScale(double innerTwips, double twipsPerPixel) const
{
    if (m_scaleMode == ScaleMode::Pixels)
        return float(innerTwips / twipsPerPixel);
    return float(innerTwips);
}

float PictureBox::ScaleWidth() const
{
    return toScale(Width() - 2 * borderTwips(), twipsPerPixelX());
}

float PictureBox::ScaleHeight() const
{
    return toScale(Height() - 2 * borderTwips(), twipsPerPixelY());
}

QImage PictureBox::Image() const
{
    const int width = int(std::lround((Width() - 2 * borderTwips()) / twipsPerPixelX()));
    const int height = int(std::lround((Height() - 2 * borderTwips()) / twipsPerPixelY()));
    if (m_picture.width() == width && m_picture.height() == height)
        return m_picture;
    if (width <= 0 || height <= 0)
        return QImage();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    if (!m_picture.isNull()) {
        QPainter painter(&image);
        painter.drawImage(QPoint(0, 0), m_picture);
    }
    return image;
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    QImage unscaled = m_picture;
    unscaled.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(contentsRect().topLeft(), unscaled);
}

} // namespace forms
