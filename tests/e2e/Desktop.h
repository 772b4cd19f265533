#pragma once

#include <QProcess>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real X desktop as a person uses it: windows found by title, real mouse
// clicks and key presses (XTEST, through xdotool), the real clipboard (xclip).
namespace e2e {

struct CommandResult {
    int exitCode = -1;
    QByteArray output;
};

CommandResult runCommand(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                         int timeoutMs = 20000);

// The id of the visible window with exactly this title; empty after the timeout.
QString waitForWindow(const QString& title, int timeoutMs = 20000);
bool waitForWindowGone(const QString& title, int timeoutMs = 20000);
// The window's inside, and the frame the window manager puts around it.
QRect windowGeometry(const QString& window);
QMargins frameExtents(const QString& window);
// The whole screen as it shows now.
QImage screenshot();

// A left click at a point of the window, in its own pixels.
void click(const QString& window, QPoint point);
// A click at a control's design place: twips relative to the window's client area.
void clickAtTwips(const QString& window, double left, double top);
void typeText(const QString& window, const QString& text);
void pressKeys(const QString& window, const QString& keys);

// The program under test, started in the real X server with the test's HOME,
// or in the environment given.
class Program {
public:
    explicit Program(const QStringList& arguments = {});
    Program(const QStringList& arguments, const QProcessEnvironment& environment);
    ~Program();
    bool waitForExit(int timeoutMs = 20000);
    int exitCode() const { return m_process.exitCode(); }
    QByteArray errors() { return m_process.readAllStandardError(); }
    QByteArray output() { return m_process.readAllStandardOutput(); }
    // Ends it as a desktop's log-out or `kill` does (SIGTERM).
    void terminate() { m_process.terminate(); }

private:
    QProcess m_process;
};

// For a test that needs a session bus of its own: true in the run on it. The
// first run starts the tests of the filter again under dbus-run-session,
// checks that they pass and gives false. No service of the machine's is
// started on that bus; a service file put in the folder QORIX_BUS_SERVICES
// names is, when asked for.
bool onPrivateBus(const QString& filter);

// A stand-in for a desktop service on the session bus: a program that says
// "ready" once it serves, then a line of JSON for each request it gets.
class FakeService {
public:
    FakeService(const QString& program, const QStringList& arguments);
    ~FakeService();
    // The requests received so far, waiting a moment for one on its way, and
    // a few seconds for as many as expected.
    QList<QJsonObject> received(int expected = 0);
    // Stops the service as a hung program stops: it keeps its name on the bus.
    void freeze();

private:
    QProcess m_process;
};

// Puts data on the real clipboard and keeps it there (xclip stays as owner).
class ClipboardOwner {
public:
    ClipboardOwner(const QByteArray& data, const QString& mimeType);
    // A picture, offered as PNG.
    explicit ClipboardOwner(const QImage& picture);
    ~ClipboardOwner();

private:
    QProcess m_xclip;
};

// A real Wayland compositor, headless, beside the test's X server, as in a
// Wayland session with XWayland: weston and GNOME's mutter, which offer no
// data-control, or sway and KDE's KWin, which do. Sway runs only as a user
// ("nobody" for a test of root's); mutter needs the session bus.
class Compositor {
public:
    enum class Kind { Weston, Sway, KWin, Mutter };
    explicit Compositor(Kind kind = Kind::Weston);
    ~Compositor();
    // The environment of a program in its session.
    QProcessEnvironment session() const;

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
    QString m_socket;
};

} // namespace e2e
