// --capture: the screenshot taken through a fake desktop portal on a private
// session bus, and from the X root window where no portal answers.
#include "tests/e2e/Desktop.h"
#include "tests/support/TestSettings.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Portal {
    int code;     // 0 taken, 1 cancelled, 2 refused, -1 no answer
    int delayMs;
};

struct Case {
    const char* name;
    Portal portal;
    QStringList arguments;
    int exitCode;
    QString said; // on standard error
};

QImage picture()
{
    QImage image(150, 90, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x, 255 - y, (x * y) & 0xFF));
    return image;
}

TEST(Capture, TheScreenIsTakenThroughThePortalOrFromTheRootWindowAndEveryAnswerIsSaid)
{
    if (!onPrivateBus("Capture.*"))
        return;
    QTemporaryDir dir;
    const QString shot = dir.filePath("shot.BMP"), given = dir.filePath("given.png");
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("shot"));
    testing_support::storeSetting("Defaults", "AutoIncrement", "0");
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    ASSERT_TRUE(picture().save(given));
    const Case cases[] = {
        {"taken", {0, 0}, {"--capture", "--quiet"}, 0, ""},
        {"picked after a while", {0, 1500}, {"--capture", "--quiet", "--interactive", "--delay", "1"}, 0, ""},
        {"cancelled", {1, 0}, {"--capture", "--quiet"}, 1, "cancelled"},
        {"refused", {2, 0}, {"--capture", "--quiet"}, 1, "refused the screenshot (its answer: 2)"},
        {"no answer", {-1, 0}, {"--capture", "--quiet"}, 1, "did not answer within 20 seconds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(shot);
        FakeService portal(QString::fromLocal8Bit(qgetenv("QORIX_PORTAL_SERVER")),
                           {QString::number(c.portal.code), QString::number(c.portal.delayMs), given});
        Program program(c.arguments);
        ASSERT_TRUE(program.waitForExit(60000));
        const QString errors = QString::fromLocal8Bit(program.errors());
        EXPECT_EQ(program.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        const QList<QJsonObject> requests = portal.received();
        ASSERT_EQ(requests.size(), 1);
        const QJsonObject& request = requests[0];
        EXPECT_TRUE(request["handle"].toString().endsWith("/" + request["handle_token"].toString()));
        EXPECT_FALSE(request["handle_token"].toString().isEmpty());
        EXPECT_EQ(request["interactive"].toBool(), c.arguments.contains("--interactive"));
        if (c.exitCode == 0) {
            EXPECT_EQ(QImage(shot).convertToFormat(QImage::Format_RGB32), picture());
            EXPECT_FALSE(QFile::exists(request["file"].toString())) << "the portal's file is left behind";
        } else {
            EXPECT_FALSE(QFile::exists(shot));
        }
    }
    // No portal: the root window of the X server, here showing the picture.
    QProcess root;
    root.start("display", {"-window", "root", given});
    ASSERT_TRUE(root.waitForFinished(20000));
    QFile::remove(shot);
    Program program({"--capture", "--quiet"});
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 0) << program.errors().toStdString();
    EXPECT_EQ(QImage(shot).copy(QRect(QPoint(0, 0), picture().size())).convertToFormat(QImage::Format_RGB32), picture());
    testing_support::clearSettings();
}

} // namespace
