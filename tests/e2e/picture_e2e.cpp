// The actual-size window of pictures larger than the screen; this program
// runs twice, once with QT_SCALE_FACTOR=2.
#include "tests/e2e/Desktop.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

// Every pixel tells where in the picture it is.
QImage coordinates(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x >> 8) | (y >> 8) << 4));
    return image;
}

QPoint where(QRgb pixel)
{
    return {qRed(pixel) | (qBlue(pixel) & 0xF) << 8, qGreen(pixel) | (qBlue(pixel) >> 4) << 8};
}

// First with no window manager, then under openbox; the main window stands
// near the screen's corner, so that a window centred over it would not fit.
TEST(ActualSizeOnX, APictureLargerThanTheScreenStaysUnscaledInAWindowOnTheScreenThatCloses)
{
    testing_support::clearSettings();
    Program program;
    const QString main = waitForWindow(testing_support::kMainWindowTitle);
    ASSERT_FALSE(main.isEmpty()) << program.errors().toStdString();
    const QRect screen = screenshot().rect();
    const int scale = qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2 : 1;
    QProcess windowManager;
    for (const bool managed : {false, true}) {
        if (managed) {
            windowManager.start("openbox", {});
            for (int i = 0; i < 100 && !runCommand("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).output.contains("window id"); ++i)
                QThread::msleep(50);
        }
        for (const QSize size : {QSize(3000, 500), QSize(500, 2000), QSize(3000, 2000)}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << (managed ? " under openbox" : ""));
            runCommand("xdotool", {"windowmove", main, QString::number(screen.width() - 300), QString::number(screen.height() - 300)});
            ClipboardOwner owner(coordinates(size));
            pressKeys(main, "alt+p");
            const QString shown = waitForWindow("Actual Size Bitmap");
            ASSERT_FALSE(shown.isEmpty());
            const QRect inside = windowGeometry(shown);
            EXPECT_TRUE(screen.contains(inside.marginsAdded(frameExtents(shown))));
            // One picture pixel per screen pixel, from the picture's top-left corner on.
            const QPoint corner = inside.topLeft() + QPoint(30, 30);
            QImage now = screenshot();
            for (int i = 0; i < 40 && where(now.pixel(corner + QPoint(1, 1))) != where(now.pixel(corner)) + QPoint(1, 1); ++i) {
                QThread::msleep(50); // until the window has painted
                now = screenshot();
            }
            const QPoint shownAt = where(now.pixel(corner));
            for (int dy = 0; dy < 64; dy += 7)
                for (int dx = 0; dx < 64; dx += 5)
                    ASSERT_EQ(where(now.pixel(corner + QPoint(dx, dy))), shownAt + QPoint(dx, dy)) << dx << "," << dy;
            EXPECT_LT(shownAt.x() + shownAt.y(), 64);
            // "&Close", at the window's bottom right, takes a click.
            click(shown, QPoint(inside.width() - 44 * scale, inside.height() - 19 * scale));
            EXPECT_TRUE(waitForWindowGone("Actual Size Bitmap"));
        }
    }
    pressKeys(main, "alt+c");
    EXPECT_TRUE(program.waitForExit());
    windowManager.terminate();
    windowManager.waitForFinished();
}

// Pictures opened from a file manager: each shown at actual size in turn,
// titled with its file; one that cannot be read is said, and the program
// ends with the last window.
TEST(ActualSizeOnX, PicturesGivenOnTheCommandLineAreShownOneAfterTheOther)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("first.png"), bmp = dir.filePath("second.bmp");
    ASSERT_TRUE(coordinates(QSize(200, 120)).save(png) && coordinates(QSize(90, 60)).save(bmp));
    Program program({png, dir.filePath("missing.png"), bmp});
    for (const QString& file : {png, QString(), bmp}) {
        const QString shown = waitForWindow(file.isEmpty() ? "QORIX-Capture" : file);
        ASSERT_FALSE(shown.isEmpty()) << file.toStdString() << program.errors().toStdString();
        pressKeys(shown, file.isEmpty() ? "Return" : "alt+c");
        EXPECT_TRUE(waitForWindowGone(file.isEmpty() ? "QORIX-Capture" : file));
    }
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 1);
}

} // namespace
