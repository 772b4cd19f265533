#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QEventLoop;
class QPushButton;

namespace forms {

class Form;

// The real window of a loaded form.
class FormWindow : public QWidget {
    Q_OBJECT
public:
    FormWindow(Form* form, Qt::WindowFlags flags);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Form* m_form;
};

enum class ShowMode { Modeless, Modal };

enum class StartPosition { CenterScreen, CenterOwner };

// How a window looks when it is loaded: its design values.
struct WindowDesign {
    QString caption;
    double clientWidth = 0;  // twips
    double clientHeight = 0; // twips
    bool minimizeButton = false;
    StartPosition startPosition = StartPosition::CenterOwner;
};

// A form object outlives its window. Load creates the window and its
// controls at their design values and runs Form_Load; a modal show waits
// until the window is hidden or unloaded; hide ends that wait and keeps the
// controls readable; unload runs Form_Unload and discards window and
// controls, while the object's own members stay.
class Form : public QObject {
    Q_OBJECT
public:
    explicit Form(WindowDesign design, QObject* parent = nullptr);
    ~Form() override;

    void Load();
    // Loads the form when needed, then shows it; a modal show returns when
    // the window is hidden or unloaded. The owner is the window it centres on.
    void Show(ShowMode mode = ShowMode::Modeless, QWidget* owner = nullptr);
    void Hide();
    void Unload();
    bool IsLoaded() const { return !m_window.isNull(); }

    QString Caption() const;
    void setCaption(const QString& caption);

    // Outer size in twips, caption bar and borders included.
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    void setWidth(double twips);
    void setHeight(double twips);

    QWidget* window() const { return m_window; }

signals:
    void unloaded();

protected:
    // Creates the controls on the freshly made window, at design values.
    virtual void createControls(QWidget* window) = 0;
    virtual void Form_Load() {}
    // Setting cancel to non-zero keeps the form loaded.
    virtual void Form_Unload(int& cancel) { Q_UNUSED(cancel); }

    // Enter presses the default button, Esc the cancel button; a form
    // without one does nothing for that key.
    void setDefaultButton(QPushButton* button);
    void setCancelButton(QPushButton* button) { m_cancelButton = button; }

private:
    friend class FormWindow;
    void closeRequested();
    void keyPressed(QKeyEvent* event);
    void applySize();
    void arrangeTabOrder();
    void centre(QWidget* owner);
    double nonClientWidth() const;
    double nonClientHeight() const;

    WindowDesign m_design;
    QPointer<FormWindow> m_window;
    QPointer<QPushButton> m_defaultButton;
    QPointer<QPushButton> m_cancelButton;
    QEventLoop* m_modalLoop = nullptr;
    double m_width = 0;
    double m_height = 0;
};

} // namespace forms
