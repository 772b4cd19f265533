#include "forms/Clipboard.h"
#include "tests/e2e/Desktop.h"
#include "tests/support/Processes.h"
#include "tests/support/TestSettings.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <optional>

using namespace e2e;

namespace {

QImage picture(int seed)
{
    QImage image(97, 61, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 2 + seed, y * 4, (x * y + seed) % 256));
    return image;
}

// Copies a picture to a compositor's clipboard, as a screenshot tool does.
struct WaylandCopy {
    WaylandCopy(const Compositor& compositor, const QImage& image)
    {
        process.setProcessEnvironment(compositor.session());
        process.start("wl-copy", {"--foreground", "--type", "image/png"});
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        process.write(png.data());
        while (process.bytesToWrite() > 0 && process.waitForBytesWritten(5000)) {
        }
        process.closeWriteChannel();
        process.waitForFinished(500); // it serves until it is ended
    }
    ~WaylandCopy() { process.kill(), process.waitForFinished(); }
    QProcess process;
};

// A keyboard shortcut's --save in a Wayland session, which gives its
// clipboard only to the window in focus: read through the compositor's
// data-control where it offers that (sway), before any X display; else
// through the X display (XWayland) where it holds the picture; else the
// reason is said, never "no capture".
TEST(SaveOnWayland, TheClipboardIsReadThroughDataControlOrXWaylandAndEveryFailureIsNamed)
{
    if (!onPrivateBus("SaveOnWayland.*")) // for mutter
        return;
    testing_support::clearSettings();
    QTemporaryDir dir;
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("shot"));
    testing_support::storeSetting("Defaults", "AutoIncrement", "0");
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    const QImage onWayland = picture(0), onX = picture(100);
    const Compositor weston, sway(Compositor::Kind::Sway), kwin(Compositor::Kind::KWin), mutter(Compositor::Kind::Mutter);
    const WaylandCopy copied(sway, onWayland), copiedOnKwin(kwin, onWayland);

    struct Case {
        const char* name;
        const Compositor& compositor;
        QStringList unset, set;
        bool xPicture; // the X display's clipboard holds the other picture, or text
        int exitCode;
        QString said; // on standard error
        const QImage* saved;
    } cases[] = {
        {"sway alone", sway, {"DISPLAY"}, {"LD_DEBUG=files"}, true, 0, "", &onWayland},
        {"sway with an X display, nothing in focus", sway, {}, {"LD_DEBUG=files"}, true, 0, "", &onWayland},
        {"kwin alone", kwin, {"DISPLAY"}, {}, true, 0, "", &onWayland},
        {"kwin with an X display, nothing in focus", kwin, {}, {}, true, 0, "", &onWayland},
        {"weston with an X display that holds the picture", weston, {}, {"LD_DEBUG=files"}, true, 0, "", &onX},
        {"mutter with an X display that holds the picture", mutter, {}, {}, true, 0, "", &onX},
        {"mutter alone", mutter, {"DISPLAY"}, {}, true, 1, "no X display (XWayland, DISPLAY)", nullptr},
        {"weston with an X display that does not", weston, {}, {}, false, 1, "its X display (XWayland) holds no picture", nullptr},
        {"weston alone", weston, {"DISPLAY"}, {}, true, 1, "no X display (XWayland, DISPLAY)", nullptr},
        {"no plugin", weston, {}, {"QT_QPA_PLATFORM=nosuch"}, true, 1, "the Qt platform plugin \"nosuch\" is not installed", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath("shot.BMP"));
        const ClipboardOwner owner = c.xPicture ? ClipboardOwner(onX) : ClipboardOwner("text", "text/plain");
        QProcessEnvironment environment = c.compositor.session();
        for (const QString& name : c.unset)
            environment.remove(name);
        for (const QString& setting : c.set)
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        Program save({"--save"}, environment);
        ASSERT_TRUE(save.waitForExit());
        const QString errors = QString::fromLocal8Bit(save.errors());
        EXPECT_EQ(save.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        if (c.saved) {
            EXPECT_EQ(QImage(dir.filePath("shot.BMP")).convertToFormat(QImage::Format_RGB32), *c.saved);
            // Read straight from where the clipboard is kept: no display plugin is loaded.
            EXPECT_FALSE(errors.contains("/platforms/")) << errors.toStdString();
        } else {
            EXPECT_FALSE(QFile::exists(dir.filePath("shot.BMP")));
        }
    }
    testing_support::clearSettings();
}

// The windows on sway read the clipboard through data-control: Qt's own
// Wayland clipboard comes only to a window in focus, which a window that
// closes may leave elsewhere. Here no window has the focus at all.
TEST(WindowsOnWayland, ReadTheClipboardWithNothingInFocus)
{
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == "wayland") {
        EXPECT_EQ(forms::ClipboardGetBitmap().convertToFormat(QImage::Format_RGB32), picture(0));
        return;
    }
    const Compositor sway(Compositor::Kind::Sway);
    const WaylandCopy copied(sway, picture(0));
    QProcess inside;
    inside.setProcessChannelMode(QProcess::ForwardedChannels);
    testing_support::startTest(inside, "WindowsOnWayland.*",
                               QStringList{"QT_QPA_PLATFORM=wayland", "DISPLAY="} + sway.session().toStringList(), false);
    ASSERT_TRUE(inside.waitForFinished(60000));
    EXPECT_EQ(inside.exitCode(), 0);
}

// --watch saves each new picture once, in order, under the numbered
// Filename: on X told by XFIXES, on sway by data-control. The same pixels
// offered again by another program (as a clipboard manager does) are not
// saved twice, and an ending during a save leaves only whole files.
TEST(Watch, EachNewPictureIsSavedOnceAndAnEndingLeavesOnlyWholeFiles)
{
    const Compositor sway(Compositor::Kind::Sway);
    const QImage pictures[] = {picture(0), picture(60), picture(120)};
    for (const bool onSway : {false, true}) {
        SCOPED_TRACE(onSway ? "sway" : "X");
        QTemporaryDir dir;
        testing_support::clearSettings();
        testing_support::storeSetting("Defaults", "Filename", dir.filePath("w"));
        testing_support::storeSetting("Defaults", "16Colours", "False");
        testing_support::storeSetting("Defaults", "DisplayColours", "True");
        const auto files = [&dir] { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
        const auto waitForFiles = [&files](qsizetype count) {
            for (int i = 0; i < 200 && files().size() < count; ++i)
                QThread::msleep(50);
        };
        std::optional<ClipboardOwner> onX;
        std::optional<WaylandCopy> onWayland;
        const auto offer = [&](const QImage& image) {
            onX.reset();
            onWayland.reset();
            onSway ? (void)onWayland.emplace(sway, image) : (void)onX.emplace(image);
        };
        QProcessEnvironment environment = onSway ? sway.session() : QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", onSway ? "wayland" : "xcb");
        if (onSway)
            environment.remove("DISPLAY");
        Program watch({"--watch", "--quiet"}, environment);
        QThread::msleep(1000); // for the watch to start
        for (const QImage& image : pictures) {
            const qsizetype before = files().size();
            offer(image);
            waitForFiles(before + 1);
        }
        offer(pictures[1]);
        QThread::msleep(1000);
        EXPECT_EQ(files(), QStringList({"w001.BMP", "w002.BMP", "w003.BMP"}));
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(QImage(dir.filePath(QString("w00%1.BMP").arg(n + 1))).convertToFormat(QImage::Format_RGB32), pictures[n]);
        QImage large(1600, 1200, QImage::Format_RGB32);
        large.fill(Qt::darkCyan);
        offer(large);
        watch.terminate();
        ASSERT_TRUE(watch.waitForExit());
        EXPECT_EQ(watch.exitCode(), 0);
        for (const QString& name : files())
            EXPECT_FALSE(QImage(dir.filePath(name)).isNull()) << name.toStdString();
        EXPECT_LE(files().size(), 4);
    }
    testing_support::clearSettings();
}

} // namespace
