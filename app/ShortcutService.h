#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QDBusMessage;

namespace cli {
struct Request;
}

// The program that runs (the window, or the clipboard watch) answers a
// keyboard shortcut's --save and --capture on the session bus: it saves with
// the options it has now, as its own "Save to File" does, and answers with
// the file written or the messages that say why none was, which the command
// prints. Only programs of the same user are answered, and only with what
// their command line could ask for.
class ShortcutService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.qorix.Capture.Shortcut")
public:
    // A save of the clipboard's capture, or of the screenshot given, to the
    // file named (where the options say when none is): the file written;
    // empty when none was, after the messages that say why.
    using Saver = std::function<QString(const QString& output, std::optional<QImage> screenshot)>;
    // Which requests the program serves (a screenshot or not); the others
    // are left to the command: a program without a screen takes no
    // screenshots, nor asks for a name.
    using Serves = std::function<bool(bool screenshot)>;
    ShortcutService(Saver save, Serves serves);
    ~ShortcutService() override;
    // False where another program answers already, or there is no bus.
    bool answering() const { return m_answering; }

public slots:
    QString Hello();
    void Save(const QString& output, const QDBusMessage& message);
    void Capture(bool interactive, const QString& output, const QDBusMessage& message);

private:
    // Runs the save for the request's sender: its messages are the answer.
    void answer(const QDBusMessage& message, const QString& output, const std::function<QString(QStringList&)>& save);

    Saver m_save;
    Serves m_serves;
    bool m_answering = false;
    bool m_busy = false;
};

// What a running program answered a command's request: whether it saved, and
// the file written or the messages. None when no program answers at once (or
// one is busy with a dialog): the command then saves by itself.
struct RunningAnswer {
    bool saved;
    QString text;
};
std::optional<RunningAnswer> askRunningProgram(const cli::Request& request);
