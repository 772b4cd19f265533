#include "dialogs/frmPicture.h"
#include "forms/Screen.h"
#include "tests/support/ModalWatcher.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace forms;
using testing_support::ModalWatcher;

namespace {

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 9) % 256, (y * 5) % 256, (x ^ y) % 256));
    return image;
}

class PictureWindow : public ::testing::Test {
protected:
    void SetUp() override { forms::setCaptionHeight(); }

    QImage source;
    frmPicture form{[this] { return source; }};
};

TEST_F(PictureWindow, OnlyABoxNarrowerThan100TwipsKeepsTheDesignLayout)
{
    EXPECT_TRUE(frmPicture::keepsDesignLayout(99));
    EXPECT_TRUE(frmPicture::keepsDesignLayout(99.9));
    EXPECT_FALSE(frmPicture::keepsDesignLayout(100));
    EXPECT_FALSE(frmPicture::keepsDesignLayout(105));
}

TEST_F(PictureWindow, AnEmptyOrTinyPictureLeavesTheDesignLayout)
{
    const double border = 2 * forms::logicalPixelsToTwips(forms::windowBorderLogicalPixels());
    for (const QImage& tiny : {QImage(), picture(2, 50)}) {
        source = tiny;
        form.Load();
        EXPECT_LT(form.Picture1->Width(), 100);
        EXPECT_EQ(form.Width(), 7152 + border);
        EXPECT_EQ(form.Height(), 4272 + border + forms::captionHeightPixels() * forms::twipsPerPixelY());
        EXPECT_EQ(form.cmdClose->Left(), 5880);
        EXPECT_EQ(form.cmdClose->Top(), 3840);
        form.Unload();
    }
}

// Around the picture where it fits; for pictures narrower than Close, a
// window as wide as Close, which stands inside it.
TEST_F(PictureWindow, TheWindowAndCloseButtonFitAroundThePicture)
{
    for (const QSize size : {QSize(3, 3), QSize(8, 40), QSize(79, 5), QSize(200, 100), QSize(1000, 700)}) {
        source = picture(size.width(), size.height());
        form.Load();
        const double boxWidth = size.width() * 15 + 2 * forms::PictureBox::borderTwips();
        const double boxHeight = size.height() * 15 + 2 * forms::PictureBox::borderTwips();
        const double row = std::max(boxWidth, form.cmdClose->Width());
        EXPECT_EQ(form.Picture1->Width(), boxWidth);
        EXPECT_EQ(form.Picture1->Left(), 120);
        EXPECT_EQ(form.Width(), row + 240);
        EXPECT_EQ(form.Height(), boxHeight + 690 + CaptionHeight);
        EXPECT_EQ(form.cmdClose->Left() + form.cmdClose->Width(), 120 + row);
        EXPECT_GE(form.cmdClose->Left(), 120) << size.width();
        EXPECT_EQ(form.cmdClose->Top(), 120 + boxHeight + 50);
        form.Unload();
    }
}

// A screen that tells no work area, as Wayland's: a picture far larger than
// it gets a window that leaves room for a desktop's panels (a 32-pixel bar
// at the top, as GNOME's, a 44-pixel one below, as KDE's), Close inside.
TEST_F(PictureWindow, WithoutAWorkAreaTheWindowLeavesRoomForPanels)
{
    const QRect output = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), output);
    source = picture(output.width() * 2, output.height() * 2);
    form.Show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(output.adjusted(0, 32, 0, -44).contains(form.window()->frameGeometry()))
        << form.window()->frameGeometry().height();
    EXPECT_TRUE(form.window()->rect().contains(form.cmdClose->geometry()));
    form.Unload();
}

// Pictures a little wider than the screen and about as tall as the room
// below the caption: the bar across takes height, and the window still fits
// the screen with every pixel reachable.
TEST_F(PictureWindow, APictureJustLargerThanTheScreenFitsWithItsScrollBarsCounted)
{
    const QRect screen = forms::availableScreenArea(nullptr);
    for (int height = 995; height <= 1005; ++height) {
        source = picture(screen.width() + 300, height);
        form.Show();
        QCoreApplication::processEvents();
        EXPECT_LE(forms::twipsToLogicalPixels(form.Width()), screen.width()) << height;
        EXPECT_LE(forms::twipsToLogicalPixels(form.Height()), screen.height()) << height;
        EXPECT_TRUE(screen.contains(form.window()->geometry())) << height;
        EXPECT_TRUE(form.window()->rect().contains(form.cmdClose->geometry())) << height;
        auto* scroller = form.window()->findChild<QScrollArea*>("pictureScroller");
        ASSERT_NE(scroller, nullptr);
        EXPECT_GE(scroller->viewport()->width() + scroller->horizontalScrollBar()->maximum(), form.Picture1->width()) << height;
        EXPECT_GE(scroller->viewport()->height() + scroller->verticalScrollBar()->maximum(), form.Picture1->height()) << height;
        form.Unload();
    }
}

TEST_F(PictureWindow, OnePicturePixelIsOneScreenPixel)
{
    source = picture(120, 80);
    form.Show();
    const QImage shown = form.window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = form.Picture1->mapTo(form.window(), form.Picture1->contentsRect().topLeft());
    for (const QPoint p : {QPoint(0, 0), QPoint(119, 79), QPoint(57, 33), QPoint(1, 78)})
        EXPECT_EQ(shown.pixel(origin + p), source.pixel(p)) << p.x() << "," << p.y();
    form.Unload();
}

TEST_F(PictureWindow, CloseAndTheCloseBoxBothUnloadAndTheCallerResumes)
{
    source = picture(50, 50);
    ModalWatcher watcher;
    watcher.queue([this](QWidget*) { QTest::mouseClick(form.cmdClose, Qt::LeftButton); });
    form.Show(forms::ShowMode::Modal);
    EXPECT_FALSE(form.IsLoaded());
    watcher.queue([](QWidget* window) { window->close(); });
    form.Show(forms::ShowMode::Modal);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(watcher.pendingAnswers(), 0);
}

TEST_F(PictureWindow, EachOpeningTakesTheCurrentPictureAndTheDesignCaption)
{
    source = picture(40, 30);
    form.Load();
    form.setCaption("/some/file.bmp");
    form.Unload();
    source = picture(60, 20);
    form.Load();
    EXPECT_EQ(form.Caption(), "Actual Size Bitmap");
    EXPECT_EQ(form.Picture1->Picture(), source);
    form.Unload();
}

} // namespace
