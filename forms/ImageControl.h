#pragma once

#include "forms/ControlGeometry.h"

#include <QImage>
#include <QWidget>

namespace forms {

// An image control: shows a picture. With Stretch off the control takes the
// picture's own size (one picture pixel per screen pixel); with Stretch on the
// picture is scaled to fill the control, proportions not kept.
class ImageControl : public QWidget, public ControlGeometry {
    Q_OBJECT
public:
    ImageControl(QWidget* container, const QString& name, const Design& design, bool stretch);

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

    bool Stretch() const { return m_stretch; }
    // Switching stretching off gives the control the size of its picture.
    void setStretch(bool stretch);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // With the focus, Space or Enter is a click.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void takePictureSize();

    QImage m_picture;
    bool m_stretch;
};

} // namespace forms
