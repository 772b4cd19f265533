#pragma once

#include "forms/ControlGeometry.h"

#include <QFrame>
#include <QImage>

namespace forms {

// Units of a picture box's inner scale.
enum class ScaleMode { Twips = 1, Pixels = 3 };

// A picture box with the standard sunken border. With AutoSize on it takes
// the size of the picture it is given, border included, one picture pixel per
// screen pixel, its top-left corner fixed.
class PictureBox : public QFrame, public ControlGeometry {
    Q_OBJECT
public:
    PictureBox(QWidget* container, const QString& name, const Design& design, bool autoSize);

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

    bool AutoSize() const { return m_autoSize; }

    ScaleMode scaleMode() const { return m_scaleMode; }
    void setScaleMode(ScaleMode mode) { m_scaleMode = mode; }

    // The inner size (inside the border) in the current scale mode.
    float ScaleWidth() const;
    float ScaleHeight() const;

    // The box's persistent image: what its inner area shows, at the inner
    // size in pixels. The picture itself when it fills the box exactly.
    QImage Image() const;

    static double borderTwips();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float toScale(double innerTwips, double twipsPerPixel) const;

    QImage m_picture;
    bool m_autoSize;
    ScaleMode m_scaleMode = ScaleMode::Twips;
};

} // namespace forms
