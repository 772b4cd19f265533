#include "tests/e2e/Desktop.h"
#include "tests/support/TestSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

// A keyboard shortcut's --save in a Wayland session: the compositor gives its
// clipboard only to the window in focus, so the picture is read through the
// X display; without one, and without the platform's plugin, the reason is
// said instead of "no capture".
TEST(SaveOnWayland, TheClipboardIsReadThroughXWaylandAndEveryFailureIsNamed)
{
    testing_support::clearSettings();
    QTemporaryDir dir;
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("shot"));
    testing_support::storeSetting("Defaults", "AutoIncrement", "0");
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    QImage picture(97, 61, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 2, y * 4, (x * y) % 256));
    const ClipboardOwner owner(picture);
    const Weston weston;

    struct Case {
        const char* name;
        QStringList unset, set;
        int exitCode;
        QString said; // on standard error
    } cases[] = {
        {"X display too", {}, {"LD_DEBUG=files"}, 0, ""},
        {"Wayland alone", {"DISPLAY"}, {}, 1, "no X display (XWayland, DISPLAY)"},
        {"no plugin", {}, {"QT_QPA_PLATFORM=nosuch"}, 1, "the Qt platform plugin \"nosuch\" is not installed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath("shot.BMP"));
        QProcessEnvironment environment = weston.session();
        for (const QString& name : c.unset)
            environment.remove(name);
        for (const QString& setting : c.set)
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        Program save({"--save"}, environment);
        ASSERT_TRUE(save.waitForExit());
        const QString errors = QString::fromLocal8Bit(save.errors());
        EXPECT_EQ(save.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        if (c.exitCode == 0) {
            EXPECT_EQ(QImage(dir.filePath("shot.BMP")).convertToFormat(QImage::Format_RGB32), picture);
            // Read straight from the X server: no display plugin is loaded.
            EXPECT_FALSE(errors.contains("/platforms/")) << errors.toStdString();
        } else {
            EXPECT_FALSE(QFile::exists(dir.filePath("shot.BMP")));
        }
    }
    testing_support::clearSettings();
}

} // namespace
