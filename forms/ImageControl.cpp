#include "forms/ImageControl.h"

#include "forms/Screen.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace forms {
ImageControl::ImageControl(QWidget* container, const QString& name, const Design& design, bool stretch)
    : QWidget(container), ControlGeometry(this, design), m_stretch(stretch)
{
    setObjectName(name);
    if (design.tabIndex >= 0)
        setFocusPolicy(Qt::TabFocus);
}

void ImageControl::setPicture(const QImage& picture)
{
    m_picture = picture;
    if (!m_stretch)
        takePictureSize();
    update();
}

void ImageControl::setStretch(bool stretch)
{
    m_stretch = stretch;
    if (!m_stretch)
        takePictureSize();
    update();
}

void ImageControl::takePictureSize()
{
    if (m_picture.isNull())
        return;
    setWidth(m_picture.width() * twipsPerPixelX());
    setHeight(m_picture.height() * twipsPerPixelY());
}

void ImageControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    if (m_picture.isNull())
        return;
    if (m_stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), m_picture);
        return;
    }
    QImage unscaled = m_picture;
    unscaled.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(QPoint(0, 0), unscaled);
}

void ImageControl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace forms
