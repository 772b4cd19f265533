#pragma once

#include "forms/ControlGeometry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QRadioButton>

// The standard controls of the windows, placed by design twips. Each keeps
// the behaviour a window expects of it and leaves the rest to Qt.
namespace forms {

class CommandButton : public QPushButton, public ControlGeometry {
    Q_OBJECT
public:
    CommandButton(QWidget* container, const QString& name, const QString& caption, const Design& design);
};

// States 0 (unticked), 1 (ticked) and 2 (greyed, drawn partially checked).
class CheckBox : public QCheckBox, public ControlGeometry {
    Q_OBJECT
public:
    CheckBox(QWidget* container, const QString& name, const QString& caption, const Design& design,
             int value = 0);

    int Value() const;
    // Any state but 0, 1 or 2 is refused with an error; the box keeps its state.
    void setValue(int value);

protected:
    // A click ticks or unticks; a greyed box becomes ticked.
    void nextCheckState() override;
};

// Option buttons in one container form a group: setting one true clears the
// others, setting one false clears only it, so a group may have none set.
// A click sets the button; it never clears it.
class OptionButton : public QRadioButton, public ControlGeometry {
    Q_OBJECT
public:
    OptionButton(QWidget* container, const QString& name, const QString& caption, const Design& design,
                 bool value = false);

    bool Value() const { return isChecked(); }
    void setValue(bool value);

protected:
    void nextCheckState() override;
};

class TextBox : public QLineEdit, public ControlGeometry {
    Q_OBJECT
public:
    TextBox(QWidget* container, const QString& name, const QString& text, const Design& design);

    QString Text() const { return text(); }
    void setText(const QString& text) { QLineEdit::setText(text); }
};

// A text box of several lines with a vertical scroll bar.
class MultiLineTextBox : public QPlainTextEdit, public ControlGeometry {
    Q_OBJECT
public:
    MultiLineTextBox(QWidget* container, const QString& name, const QString& text, const Design& design);

    QString Text() const { return toPlainText(); }
    void setText(const QString& text) { setPlainText(text); }
};

// A label. One that may hold long texts, such as paths, can show them elided
// (the full text in its tooltip); its caption stays the full text.
class Label : public QLabel, public ControlGeometry {
    Q_OBJECT
public:
    Label(QWidget* container, const QString& name, const QString& caption, const Design& design,
          Qt::Alignment alignment = Qt::AlignLeft);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    void setElideMode(Qt::TextElideMode mode);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showCaption();

    QString m_caption;
    Qt::TextElideMode m_elide = Qt::ElideNone;
};

// A frame draws its caption on its etched border line, whatever the style:
// the controls inside are placed for that.
class Frame : public QGroupBox, public ControlGeometry {
    Q_OBJECT
public:
    Frame(QWidget* container, const QString& name, const QString& caption, const Design& design);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A borderless box that shows one control at that control's own size and
// scrolls it when it is larger.
class ScrollBox : public QScrollArea, public ControlGeometry {
    Q_OBJECT
public:
    ScrollBox(QWidget* container, const QString& name, const Design& design);

    // The room a scroll bar takes across, in twips.
    static double scrollBarTwips();
};

} // namespace forms
