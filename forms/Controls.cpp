#include "forms/Controls.h"

#include "forms/Screen.h"
#include "host/HostError.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QStyle>

namespace forms {
namespace {

template <class W>
W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

CommandButton::CommandButton(QWidget* container, const QString& name, const QString& caption,
                             const Design& design)
    : QPushButton(caption, container), ControlGeometry(named(this, name), design)
{
}

CheckBox::CheckBox(QWidget* container, const QString& name, const QString& caption, const Design& design,
                   int value)
    : QCheckBox(caption, container), ControlGeometry(named(this, name), design)
{
    setTristate(true);
    setValue(value);
}

int CheckBox::Value() const
{
    switch (checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

void CheckBox::setValue(int value)
{
    switch (value) {
    case 0:
        setCheckState(Qt::Unchecked);
        return;
    case 1:
        setCheckState(Qt::Checked);
        return;
    case 2:
        setCheckState(Qt::PartiallyChecked);
        return;
    default:
        host::raiseError(host::ErrorKind::InvalidPropertyValue,
              QCoreApplication::translate("host", "Invalid property value: a check box is 0, 1 or 2, not %1.").arg(value));
    }
}

void CheckBox::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

OptionButton::OptionButton(QWidget* container, const QString& name, const QString& caption,
                           const Design& design, bool value)
    : QRadioButton(caption, container), ControlGeometry(named(this, name), design)
{
    setAutoExclusive(false);
    setValue(value);
}

void OptionButton::setValue(bool value)
{
    if (value && parentWidget()) {
        for (OptionButton* other : parentWidget()->findChildren<OptionButton*>(Qt::FindDirectChildrenOnly)) {
            if (other != this)
                other->setChecked(false);
        }
    }
    setChecked(value);
}

void OptionButton::nextCheckState()
{
    setValue(true);
}

TextBox::TextBox(QWidget* container, const QString& name, const QString& text, const Design& design)
    : QLineEdit(text, container), ControlGeometry(named(this, name), design)
{
}

MultiLineTextBox::MultiLineTextBox(QWidget* container, const QString& name, const QString& text,
                                   const Design& design)
    : QPlainTextEdit(text, container), ControlGeometry(named(this, name), design)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
}

Label::Label(QWidget* container, const QString& name, const QString& caption, const Design& design,
             Qt::Alignment alignment)
    : QLabel(caption, container), ControlGeometry(named(this, name), design), m_caption(caption)
{
    setAlignment(alignment | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void Label::setCaption(const QString& caption)
{
    m_caption = caption;
    showCaption();
}

void Label::setElideMode(Qt::TextElideMode mode)
{
    m_elide = mode;
    showCaption();
}

void Label::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    showCaption();
}

void Label::showCaption()
{
    if (m_elide == Qt::ElideNone) {
        setText(m_caption);
        return;
    }
    // The text ends where a control stacked above the label begins, so that
    // none of it is hidden.
    int available = contentsRect().width();
    if (parentWidget()) {
        const QObjectList& siblings = parentWidget()->children();
        for (qsizetype i = siblings.indexOf(this) + 1; i < siblings.size(); ++i) {
            auto* above = qobject_cast<QWidget*>(siblings[i]);
            if (above && !above->isHidden() && above->geometry().intersects(geometry()) && above->x() > x())
                available = std::min(available, above->x() - x() - 4);
        }
    }
    const QString shown = fontMetrics().elidedText(m_caption, m_elide, available);
    setText(shown);
    setToolTip(shown == m_caption ? QString() : m_caption);
}

Frame::Frame(QWidget* container, const QString& name, const QString& caption, const Design& design)
    : QGroupBox(caption, container), ControlGeometry(named(this, name), design)
{
}

void Frame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect box = rect().adjusted(0, metrics.height() / 2, -1, -1);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.adjusted(1, 1, 0, 0));
    if (title().isEmpty())
        return;
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().window());
    style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                          title(), QPalette::WindowText);
}

ScrollBox::ScrollBox(QWidget* container, const QString& name, const Design& design)
    : QScrollArea(container), ControlGeometry(this, design)
{
    setObjectName(name);
    setFrameShape(QFrame::NoFrame);
}

double ScrollBox::scrollBarTwips()
{
    return logicalPixelsToTwips(QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

} // namespace forms
