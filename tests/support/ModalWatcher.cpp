#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QPushButton>

namespace testing_support {

ModalWatcher::ModalWatcher()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start(5);
}

void ModalWatcher::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    // A window is answered once; a new window may reuse an old one's address.
    if (modal->property("answeredByWatcher").toBool())
        return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        modal->setProperty("answeredByWatcher", true);
        m_messages.append({box->text(), box->windowTitle(), box->icon()});
        box->button(QMessageBox::Ok)->click();
        return;
    }
    if (m_answers.isEmpty())
        return;
    modal->setProperty("answeredByWatcher", true);
    Answer answer = m_answers.takeFirst();
    answer(modal);
}

QStringList ModalWatcher::texts() const
{
    QStringList texts;
    for (const ShownMessage& message : m_messages)
        texts << message.text;
    return texts;
}

} // namespace testing_support
