#pragma once

class QWidget;

namespace forms {

// Where a control stands at design: twips relative to its container.
struct Design {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    int tabIndex = -1; // -1: the control takes no part in the tab order
};

// Position and size of a control in twips. The twips are the truth (a window
// reads back exactly what it set); the widget follows in logical pixels.
class ControlGeometry {
public:
    ControlGeometry(QWidget* widget, const Design& design);
    virtual ~ControlGeometry() = default;

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    int TabIndex() const { return m_tabIndex; }

    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);
    void move(double left, double top, double width, double height);

private:
    void apply();

    QWidget* m_widget;
    double m_left;
    double m_top;
    double m_width;
    double m_height;
    int m_tabIndex;
};

} // namespace forms
