// What a keyboard shortcut's save tells the desktop: the notifications a
// fake notification service on a private session bus receives.
#include "tests/e2e/Desktop.h"
#include "tests/support/Files.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

using namespace e2e;

namespace {

struct Saved {
    int exitCode;
    QString errors;
};

Saved save(const QStringList& arguments)
{
    Program program(arguments);
    EXPECT_TRUE(program.waitForExit());
    return {program.exitCode(), QString::fromLocal8Bit(program.errors())};
}

// The file written, or why nothing was; nothing with --quiet; and no
// service is no error. A body goes as markup only to a server that reads it.
TEST(Notifications, ASaveWithoutAWindowTellsTheDesktopWhatItDid)
{
    if (!onPrivateBus("Notifications.ASaveWithoutAWindowTellsTheDesktopWhatItDid"))
        return;
    QTemporaryDir dir(QDir::homePath() + "/notes & shots-XXXXXX");
    const QString file = dir.filePath("cap.BMP");
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("cap"));
    testing_support::storeSetting("Defaults", "AutoIncrement", "0");
    QImage capture(40, 30, QImage::Format_RGB32);
    capture.fill(Qt::darkGreen);
    {
        FakeService server(QString::fromLocal8Bit(qgetenv("QORIX_NOTIFICATION_SERVER")), {"markup"});
        {
            const ClipboardOwner owner(capture);
            EXPECT_EQ(save({"--save"}).exitCode, 0);
            EXPECT_EQ(save({"--save", "--quiet"}).exitCode, 0);
        }
        {
            const ClipboardOwner text("text", "text/plain");
            EXPECT_EQ(save({"--save"}).exitCode, 1);
        }
        const QList<QJsonObject> received = server.received();
        ASSERT_EQ(received.size(), 2);
        EXPECT_EQ(received[0]["summary"].toString(), "Capture saved");
        EXPECT_EQ(received[0]["body"].toString(), file.toHtmlEscaped());
        EXPECT_EQ(received[0]["hint desktop-entry"].toString(), "org.qorix.Capture");
        EXPECT_EQ(received[0]["hint urgency"].toInt(), 1);
        EXPECT_EQ(received[0]["hint x-kde-urls"].toVariant().toStringList(), QStringList{QUrl::fromLocalFile(file).toString()});
        EXPECT_EQ(received[1]["summary"].toString(), "Nothing was saved");
        EXPECT_EQ(received[1]["body"].toString(), testing_support::kNoCapture);
        EXPECT_EQ(received[1]["hint urgency"].toInt(), 2);
    }
    {
        FakeService plain(QString::fromLocal8Bit(qgetenv("QORIX_NOTIFICATION_SERVER")), {});
        const ClipboardOwner owner(capture);
        EXPECT_EQ(save({"--save"}).exitCode, 0);
        const QList<QJsonObject> received = plain.received();
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received[0]["body"].toString(), file);
    }
    QFile::remove(file);
    const ClipboardOwner owner(capture);
    const Saved unheard = save({"--save"});
    EXPECT_EQ(unheard.exitCode, 0) << unheard.errors.toStdString();
    EXPECT_TRUE(QFile::exists(file));
    testing_support::clearSettings();
}

// A service that hangs, and one the bus starts that never comes up: the
// save prints its file at once and ends after the notification's short wait,
// saying which service did not answer.
TEST(Notifications, AServiceThatDoesNotAnswerHoldsTheSaveUpOnlyAMoment)
{
    if (!onPrivateBus("Notifications.AServiceThatDoesNotAnswer*"))
        return;
    QTemporaryDir dir;
    testing_support::clearSettings();
    QImage capture(40, 30, QImage::Format_RGB32);
    capture.fill(Qt::darkRed);
    const ClipboardOwner owner(capture);
    for (const bool started : {true, false}) {
        SCOPED_TRACE(started ? "a frozen service" : "a service that never starts");
        std::optional<FakeService> frozen;
        if (started) {
            frozen.emplace(QString::fromLocal8Bit(qgetenv("QORIX_NOTIFICATION_SERVER")), QStringList());
            frozen->freeze();
        } else {
            testing_support::writeFile(qEnvironmentVariable("QORIX_BUS_SERVICES") + "/never.service",
                                       "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/sleep 8\n");
        }
        const QString file = dir.filePath(started ? "frozen.bmp" : "never.bmp");
        Program program({"--save", "--output", file});
        ASSERT_TRUE(program.waitForExit(10000));
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(program.output(), file.toLocal8Bit() + "\n");
        EXPECT_TRUE(program.errors().contains("notification service did not answer"));
        EXPECT_TRUE(QFile::exists(file));
    }
    testing_support::clearSettings();
}

} // namespace
