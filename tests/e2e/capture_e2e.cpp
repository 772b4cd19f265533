// --capture: on X the root window, and the desktop's portal (a stand-in on a
// private session bus) only for a pick; on Wayland the portal.
#include "tests/e2e/Desktop.h"
#include "tests/support/Files.h"
#include "tests/support/TestSettings.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace e2e;

namespace {

QImage picture()
{
    QImage image(150, 90, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x, 255 - y, (x * y) & 0xFF));
    return image;
}

QString portalServer()
{
    return QString::fromLocal8Bit(qgetenv("QORIX_PORTAL_SERVER"));
}

TEST(Capture, OnXTheRootWindowElseThePortalAndEveryAnswerIsSaid)
{
    if (!onPrivateBus("Capture.OnX*"))
        return;
    QTemporaryDir dir;
    const QString shot = dir.filePath("shot.BMP"), given = dir.filePath("given.png");
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("shot"));
    testing_support::storeSetting("Defaults", "AutoIncrement", "0");
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    ASSERT_TRUE(picture().save(given));
    // The root window of the X server shows the picture too.
    runCommand("display", {"-window", "root", given});
    const Compositor weston;
    const struct {
        const char* name;
        int code, delayMs; // the portal's answer (-1: none) and when
        QStringList arguments;
        bool wayland;
        const char* permission; // stored for screenshots
        int exitCode;
        QString said; // on standard error
        bool older = false; // the portal names the request's object its own way
    } cases[] = {
        {"the whole screen on X, the portal not asked", 0, 0, {}, false, "yes", 0, ""},
        {"picked on X after a while", 0, 1500, {"--interactive", "--delay", "1"}, false, "no", 0, ""},
        {"cancelled", 1, 0, {"--interactive"}, false, "yes", 1, "cancelled"},
        {"no pick served on X: the whole screen", 2, 0, {"--interactive"}, false, "yes", 0, "the whole screen was taken"},
        {"taken on Wayland", 0, 0, {}, true, "yes", 0, ""},
        {"failed on Wayland", 2, 0, {}, true, "yes", 1, "(its answer: 2); on sway, picking needs the program slurp"},
        {"no answer on Wayland: given up, the request closed", -1, 0, {}, true, "yes", 1, "did not answer within 20 seconds"},
        {"not allowed yet: the desktop asks the person", 0, 25000, {}, true, "no", 0, "The desktop asks whether"},
        {"an older portal, answering on its own object", 0, 500, {}, true, "yes", 0, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(shot);
        qputenv("PORTAL_PERMISSION", c.permission);
        if (c.older)
            qputenv("PORTAL_OLDER", "1");
        else
            qunsetenv("PORTAL_OLDER");
        FakeService portal(portalServer(), {QString::number(c.code), QString::number(c.delayMs), given});
        QProcessEnvironment environment = weston.session();
        if (c.wayland)
            environment.remove("DISPLAY");
        else
            environment.insert("QT_QPA_PLATFORM", "xcb");
        Program program(QStringList{"--capture", "--quiet"} + c.arguments, environment);
        ASSERT_TRUE(program.waitForExit(90000));
        const QString errors = QString::fromLocal8Bit(program.errors());
        EXPECT_EQ(program.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        QList<QJsonObject> requests = portal.received();
        const qsizetype closed = requests.removeIf([](const QJsonObject& line) { return line.contains("closed"); });
        EXPECT_EQ(closed, c.code < 0 ? 1 : 0);
        ASSERT_EQ(requests.size(), c.wayland || !c.arguments.isEmpty() ? 1 : 0);
        for (const QJsonObject& request : requests) {
            EXPECT_TRUE(request["handle"].toString().endsWith("/" + request["handle_token"].toString()));
            EXPECT_FALSE(request["handle_token"].toString().isEmpty());
            EXPECT_EQ(request["interactive"].toBool(), c.arguments.contains("--interactive"));
            if (c.code == 0) {
                EXPECT_FALSE(QFile::exists(request["file"].toString())) << "the portal's file is left behind";
            }
        }
        if (c.exitCode == 0) {
            EXPECT_EQ(QImage(shot).copy(QRect(QPoint(0, 0), picture().size())).convertToFormat(QImage::Format_RGB32),
                      picture());
        } else {
            EXPECT_FALSE(QFile::exists(shot));
        }
    }
    testing_support::clearSettings();
}

// The portal's file is removed once read only when the portal made it for
// the request: a regular file, in a temporary folder once the links of its
// path are resolved. Any other file is left as it was.
TEST(Capture, OnlyTheFileThePortalMadeForTheRequestIsRemoved)
{
    if (!onPrivateBus("Capture.OnlyTheFile*"))
        return;
    // Outside /tmp, which is a temporary folder itself.
    QTemporaryDir dir("/var/tmp/qorix-capture-XXXXXX");
    const QString given = dir.filePath("given.png"), temporary = dir.filePath("tmp"),
                  runtime = dir.filePath("run/user/1000");
    for (const QString folder : {"tmp", "run/user/1000", "run/user/10001", "tmpshots", "victim", "Pictures"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(picture().save(given));
    ASSERT_TRUE(QFile::link(dir.filePath("victim"), temporary + "/linkdir"));
    ASSERT_TRUE(QFile::copy(given, temporary + "/old.png"));
    ASSERT_EQ(mkfifo(QFile::encodeName(temporary + "/pipe.png").constData(), 0600), 0);
    const struct {
        const char* name;
        QString uri;
        bool removed;
        int exitCode;
        QString said;
    } cases[] = {
        {"made in the temporary folder", temporary + "/shot.png", true, 0, ""},
        {"made in the runtime folder", runtime + "/shot.png", true, 0, ""},
        {"made through a link to another folder", temporary + "/linkdir/precious.png", false, 0, ""},
        {"made before the request", temporary + "/old.png", false, 0, ""},
        {"a pipe", temporary + "/pipe.png", false, 1, "named pipe"},
        {"in the person's own folder", dir.filePath("Pictures/shot.png"), false, 0, ""},
        {"in a folder whose name begins like the temporary one", dir.filePath("tmpshots/shot.png"), false, 0, ""},
        {"in a folder whose name begins like the runtime one", dir.filePath("run/user/10001/shot.png"), false, 0, ""},
        {"not a file", "https://example.org/shot.png", false, 1, "gave no file (https://example.org/shot.png)"},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("TMPDIR", temporary);
    environment.insert("XDG_RUNTIME_DIR", runtime);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString uri = c.uri.startsWith('/') ? QUrl::fromLocalFile(c.uri).toString() : c.uri;
        FakeService portal(portalServer(), {"0", "0", given, uri});
        Program program({"--capture", "--interactive", "--quiet", "--output", dir.filePath("shot.bmp")}, environment);
        ASSERT_TRUE(program.waitForExit());
        const QString errors = QString::fromLocal8Bit(program.errors());
        EXPECT_EQ(program.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        if (c.uri.startsWith('/')) {
            EXPECT_EQ(QFileInfo::exists(c.uri), !c.removed);
        }
    }
    EXPECT_EQ(testing_support::readAll(temporary + "/old.png"), testing_support::readAll(given));
}

} // namespace
