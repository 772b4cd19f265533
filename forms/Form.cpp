#include "forms/Form.h"

#include "forms/Application.h"
#include "forms/ControlGeometry.h"
#include "forms/EventHandlers.h"
#include "forms/MessageBox.h"
#include "forms/Screen.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>

namespace forms {

FormWindow::FormWindow(Form* form, Qt::WindowFlags flags) : QWidget(nullptr, flags), m_form(form)
{
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    if (m_form)
        m_form->closeRequested();
    // The form discards its window itself when it unloads.
    event->ignore();
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    if (m_form)
        m_form->keyPressed(event);
    else
        event->ignore();
}

namespace {

Qt::WindowFlags flagsFor(const WindowDesign& design)
{
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                            | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (design.minimizeButton)
        flags |= Qt::Window | Qt::WindowMinimizeButtonHint;
    else
        flags |= Qt::Dialog;
    return flags;
}

} // namespace

Form::Form(WindowDesign design, QObject* parent) : QObject(parent), m_design(std::move(design))
{
}

Form::~Form()
{
    delete m_window.data();
}

double Form::nonClientWidth() const
{
    return 2 * logicalPixelsToTwips(windowBorderLogicalPixels());
}

double Form::nonClientHeight() const
{
    return captionHeightPixels() * twipsPerPixelY() + 2 * logicalPixelsToTwips(windowBorderLogicalPixels());
}

void Form::Load()
{
    if (IsLoaded())
        return;
    m_window = new FormWindow(this, flagsFor(m_design));
    m_window->setFont(windowFont());
    m_window->setWindowTitle(m_design.caption);
    m_width = m_design.clientWidth + nonClientWidth();
    m_height = m_design.clientHeight + nonClientHeight();
    applySize();
    createControls(m_window);
    arrangeTabOrder();
    Form_Load();
}

void Form::arrangeTabOrder()
{
    QList<QWidget*> chain;
    for (QWidget* widget : m_window->findChildren<QWidget*>()) {
        auto* control = dynamic_cast<ControlGeometry*>(widget);
        if (control && control->TabIndex() >= 0 && (widget->focusPolicy() & Qt::TabFocus))
            chain.append(widget);
    }
    std::stable_sort(chain.begin(), chain.end(), [](QWidget* a, QWidget* b) {
        return dynamic_cast<ControlGeometry*>(a)->TabIndex() < dynamic_cast<ControlGeometry*>(b)->TabIndex();
    });
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    if (!chain.isEmpty())
        m_window->setFocusProxy(chain.first());
}

void Form::applySize()
{
    if (!m_window)
        return;
    const int width = twipsToLogicalPixels(m_width - nonClientWidth());
    const int height = twipsToLogicalPixels(m_height - nonClientHeight());
    m_window->setFixedSize(std::max(width, 1), std::max(height, 1));
}

void Form::setWidth(double twips)
{
    m_width = twips;
    applySize();
}

void Form::setHeight(double twips)
{
    m_height = twips;
    applySize();
}

QString Form::Caption() const
{
    return m_window ? m_window->windowTitle() : m_design.caption;
}

void Form::setCaption(const QString& caption)
{
    if (m_window)
        m_window->setWindowTitle(caption);
}

void Form::setDefaultButton(QPushButton* button)
{
    m_defaultButton = button;
    button->setDefault(true);
}

// Centred over the owner or the screen, and always wholly on the screen.
void Form::centre(QWidget* owner)
{
    const bool overOwner = m_design.startPosition == StartPosition::CenterOwner && owner && owner->isVisible();
    const QRect screen = availableScreenArea(overOwner ? owner : nullptr);
    const QRect area = overOwner ? owner->window()->frameGeometry() : screen;
    if (area.isEmpty())
        return;
    const int width = twipsToLogicalPixels(m_width);
    const int height = twipsToLogicalPixels(m_height);
    int x = area.center().x() - width / 2;
    int y = area.center().y() - height / 2;
    if (!screen.isEmpty()) {
        x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - width));
        y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - height));
    }
    m_window->move(x, y);
}

void Form::Show(ShowMode mode, QWidget* owner)
{
    // A modal window belongs to the window it was opened from, so that it
    // cannot be hidden away on its own while that window waits for it.
    if (mode == ShowMode::Modal && !owner)
        owner = dialogOwner();
    Load();
    FormWindow* window = m_window;
    if (!window->isVisible()) {
        if (owner && mode == ShowMode::Modal)
            window->setParent(owner->window(), window->windowFlags());
        centre(owner);
    }
    if (mode == ShowMode::Modeless) {
        window->show();
        window->setFocus();
        return;
    }
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    window->raise();
    window->activateWindow();
    window->setFocus();
    QEventLoop loop;
    QEventLoop* outer = m_modalLoop;
    m_modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_modalLoop = outer;
}

void Form::Hide()
{
    if (m_window)
        m_window->hide();
    if (m_modalLoop)
        m_modalLoop->quit();
}

void Form::Unload()
{
    if (!m_window)
        return;
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0 || !m_window)
        return;
    FormWindow* window = m_window;
    m_window = nullptr;
    window->hide();
    // The window may be unloaded from one of its own handlers, so it is
    // deleted once that handler has returned.
    window->deleteLater();
    if (m_modalLoop)
        m_modalLoop->quit();
    emit unloaded();
}

void Form::closeRequested()
{
    runHandler([this] { Unload(); });
}

void Form::keyPressed(QKeyEvent* event)
{
    QPushButton* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        target = qobject_cast<QPushButton*>(m_window->focusWidget());
        if (!target)
            target = m_defaultButton;
    } else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        target = m_cancelButton;
    }
    if (target && target->isEnabled() && target->isVisible()) {
        target->click();
        event->accept();
        return;
    }
    event->ignore();
}

} // namespace forms
