#include "tests/e2e/Desktop.h"

#include "tests/support/Files.h"
#include "tests/support/Processes.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <cmath>
#include <csignal>
#include <unistd.h>

namespace e2e {

CommandResult runCommand(const QString& program, const QStringList& arguments, const QByteArray& input,
                         int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << "could not start " << program.toStdString();
        return {};
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString() << " did not finish";
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput()};
}

namespace {

QString findWindow(const QString& title)
{
    const QString pattern = "^" + QRegularExpression::escape(title) + "$";
    const CommandResult result = runCommand("xdotool", {"search", "--onlyvisible", "--name", pattern});
    return QString::fromLatin1(result.output).split('\n', Qt::SkipEmptyParts).value(0);
}

void pause(int ms)
{
    QThread::msleep(ms);
    QCoreApplication::processEvents();
}

} // namespace

QString waitForWindow(const QString& title, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QString window = findWindow(title);
        if (!window.isEmpty())
            return window;
        pause(50);
    }
    return {};
}

bool waitForWindowGone(const QString& title, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (findWindow(title).isEmpty())
            return true;
        pause(50);
    }
    return false;
}

QRect windowGeometry(const QString& window)
{
    // xwininfo rather than xdotool, which counts a window manager's frame twice.
    const QString info = QString::fromLatin1(runCommand("xwininfo", {"-id", window}).output);
    const auto value = [&info](const QString& name) {
        return QRegularExpression("  " + QRegularExpression::escape(name) + ":\\s+(-?\\d+)").match(info).captured(1).toInt();
    };
    return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")};
}

QMargins frameExtents(const QString& window)
{
    const QString text = QString::fromLatin1(runCommand("xprop", {"-id", window, "_NET_FRAME_EXTENTS"}).output);
    const QStringList numbers = text.section('=', 1).split(',', Qt::SkipEmptyParts);
    if (numbers.size() != 4)
        return {};
    return {numbers[0].trimmed().toInt(), numbers[2].trimmed().toInt(), numbers[1].trimmed().toInt(),
            numbers[3].trimmed().toInt()};
}

QImage screenshot()
{
    return QImage::fromData(runCommand("import", {"-window", "root", "png:-"}).output, "PNG");
}

void click(const QString& window, QPoint point)
{
    // No --sync: it waits forever when the pointer is already there.
    runCommand("xdotool", {"mousemove", "--window", window, QString::number(point.x()), QString::number(point.y()),
                           "click", "1"});
    pause(100);
}

void clickAtTwips(const QString& window, double left, double top)
{
    // 15 twips per pixel on the 96-DPI test screen; a few pixels inside the control.
    click(window, QPoint(int(std::lround(left / 15)) + 6, int(std::lround(top / 15)) + 7));
}

void typeText(const QString& window, const QString& text)
{
    runCommand("xdotool", {"windowfocus", "--sync", window});
    runCommand("xdotool", {"type", "--delay", "20", text});
    pause(100);
}

void pressKeys(const QString& window, const QString& keys)
{
    runCommand("xdotool", {"windowfocus", "--sync", window});
    runCommand("xdotool", {"key", "--delay", "30", keys});
    pause(100);
}

bool onPrivateBus(const QString& filter)
{
    if (qEnvironmentVariableIsSet("QORIX_PRIVATE_BUS"))
        return true;
    // The bus's own configuration names no service folder of the machine's:
    // only what the test starts, or puts in the bus's folder, answers.
    QTemporaryDir bus;
    const QString services = bus.filePath("services");
    QDir().mkpath(services);
    testing_support::writeFile(bus.filePath("session.conf"), QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%1</listen>
  <auth>EXTERNAL</auth>
  <servicedir>%2</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)").arg(bus.path(), services).toUtf8());
    QProcess inside;
    inside.setProcessChannelMode(QProcess::ForwardedChannels);
    testing_support::startTest(inside, filter, {"QORIX_PRIVATE_BUS=1", "QORIX_BUS_SERVICES=" + services}, false,
                               {"dbus-run-session", "--config-file=" + bus.filePath("session.conf"), "--"});
    EXPECT_TRUE(inside.waitForFinished(240000));
    EXPECT_EQ(inside.exitCode(), 0);
    return false;
}

FakeService::FakeService(const QString& program, const QStringList& arguments)
{
    m_process.start(program, arguments);
    EXPECT_TRUE(m_process.waitForReadyRead(10000) && m_process.readLine().trimmed() == "ready") << program.toStdString();
}

FakeService::~FakeService()
{
    m_process.kill();
    m_process.waitForFinished();
}

void FakeService::freeze()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

QList<QJsonObject> FakeService::received(int expected)
{
    QList<QJsonObject> lines;
    QElapsedTimer waited;
    waited.start();
    do {
        m_process.waitForReadyRead(300);
        while (m_process.canReadLine())
            lines << QJsonDocument::fromJson(m_process.readLine()).object();
    } while (lines.size() < expected && waited.elapsed() < 5000);
    return lines;
}

Program::Program(const QStringList& arguments)
    : Program(arguments, [] {
          QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
          environment.insert("QT_QPA_PLATFORM", "xcb");
          return environment;
      }())
{
}

Program::Program(const QStringList& arguments, const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.start(QString::fromLocal8Bit(qgetenv("QORIX_PROGRAM")), arguments);
    EXPECT_TRUE(m_process.waitForStarted()) << "QORIX_PROGRAM: " << qgetenv("QORIX_PROGRAM").toStdString();
}

Program::~Program()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Program::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

ClipboardOwner::ClipboardOwner(const QByteArray& data, const QString& mimeType)
{
    m_xclip.start("xclip", {"-selection", "clipboard", "-t", mimeType, "-i", "-quiet"});
    EXPECT_TRUE(m_xclip.waitForStarted());
    m_xclip.write(data);
    // A picture of megabytes takes more than one write to reach xclip.
    while (m_xclip.bytesToWrite() > 0 && m_xclip.waitForBytesWritten(5000)) {
    }
    m_xclip.closeWriteChannel();
    pause(300);
}

ClipboardOwner::ClipboardOwner(const QImage& picture)
    : ClipboardOwner(
          [&picture] {
              QByteArray bytes;
              QBuffer buffer(&bytes);
              buffer.open(QIODevice::WriteOnly);
              picture.save(&buffer, "PNG");
              return bytes;
          }(),
          "image/png")
{
}

ClipboardOwner::~ClipboardOwner()
{
    m_xclip.kill();
    m_xclip.waitForFinished();
}

Compositor::Compositor(Kind kind)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    // Not nested in another compositor; KWin, a Qt program, brings its own platform.
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    QStringList command = {"weston", "--backend=headless-backend.so", "--socket=wayland-qorix-test", "--idle-time=0"};
    if (kind == Kind::Mutter)
        command = {"mutter", "--headless", "--wayland", "--no-x11", "--wayland-display=wayland-qorix-test"};
    if (kind == Kind::KWin) {
        // A copy without the binary's file capability, which a container may
        // not grant and then refuses to start it.
        const QString kwin = m_runtime.filePath("kwin_wayland");
        EXPECT_TRUE(QFile::copy("/usr/bin/kwin_wayland", kwin) &&
                    QFile::setPermissions(kwin, QFile::ReadOwner | QFile::ExeOwner));
        command = {kwin, "--virtual", "--socket=wayland-qorix-test"};
    }
    if (kind == Kind::Sway) {
        testing_support::writeFile(m_runtime.filePath("sway.conf"), "xwayland disable\n");
        for (const char* setting : {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"})
            environment.insert(QString(setting).section('=', 0, 0), QString(setting).section('=', 1));
        command = {"sway", "-c", m_runtime.filePath("sway.conf")};
        if (geteuid() == 0) {
            for (const QString& path : {m_runtime.path(), m_runtime.filePath("sway.conf")})
                EXPECT_EQ(chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
            command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
        }
    }
    m_process.setProcessEnvironment(environment);
    m_process.start(command.first(), command.mid(1));
    for (int i = 0; i < 100 && m_socket.isEmpty(); ++i) {
        QThread::msleep(50);
        m_socket = QDir(m_runtime.path()).entryList({"wayland-*"}, QDir::System).filter(QRegularExpression("^wayland-[^.]*$")).value(0);
    }
    EXPECT_FALSE(m_socket.isEmpty()) << m_process.readAllStandardError().toStdString();
}

Compositor::~Compositor()
{
    m_process.terminate();
    m_process.waitForFinished();
}

QProcessEnvironment Compositor::session() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    // A path of its own: a test program may have a runtime folder of its own.
    environment.insert("WAYLAND_DISPLAY", m_runtime.filePath(m_socket));
    environment.insert("XDG_SESSION_TYPE", "wayland");
    return environment;
}

} // namespace e2e
