#include "forms/ControlGeometry.h"

#include "forms/Screen.h"

#include <QWidget>

namespace forms {

ControlGeometry::ControlGeometry(QWidget* widget, const Design& design)
    : m_widget(widget),
      m_left(design.left),
      m_top(design.top),
      m_width(design.width),
      m_height(design.height),
      m_tabIndex(design.tabIndex)
{
    apply();
}

void ControlGeometry::setLeft(double twips)
{
    m_left = twips;
    apply();
}

void ControlGeometry::setTop(double twips)
{
    m_top = twips;
    apply();
}

void ControlGeometry::setWidth(double twips)
{
    m_width = twips;
    apply();
}

void ControlGeometry::setHeight(double twips)
{
    m_height = twips;
    apply();
}

void ControlGeometry::move(double left, double top, double width, double height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    apply();
}

void ControlGeometry::apply()
{
    // Edges are rounded rather than sizes, so that controls that touch at
    // design still touch on the screen.
    const int x = twipsToLogicalPixels(m_left);
    const int y = twipsToLogicalPixels(m_top);
    const int right = twipsToLogicalPixels(m_left + m_width);
    const int bottom = twipsToLogicalPixels(m_top + m_height);
    m_widget->setGeometry(x, y, right - x, bottom - y);
}

} // namespace forms
