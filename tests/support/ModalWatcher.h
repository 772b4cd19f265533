#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace testing_support {

struct ShownMessage {
    QString text;
    QString title;
    QMessageBox::Icon icon;
};

// Answers modal windows the way a person would: every message box is read
// and its OK pressed; any other modal window is handed to the next queued
// answer. Polls the event loop, so a modal show started by a click returns.
class ModalWatcher : public QObject {
public:
    using Answer = std::function<void(QWidget* modal)>;

    ModalWatcher();

    // The answer for the next modal window that is not a message box.
    void queue(Answer answer) { m_answers.append(std::move(answer)); }

    const QList<ShownMessage>& messages() const { return m_messages; }
    QStringList texts() const;
    void clearMessages() { m_messages.clear(); }
    qsizetype pendingAnswers() const { return m_answers.size(); }

private:
    void poll();

    QTimer m_timer;
    QList<ShownMessage> m_messages;
    QList<Answer> m_answers;
};

} // namespace testing_support
