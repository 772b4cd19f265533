// What a desktop user relies on, at the normal scale and on a HiDPI screen
// (this program runs twice: once with QT_SCALE_FACTOR=2).
#include "app/frmMain.h"
#include "forms/Screen.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestSettings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

double scale()
{
    return QGuiApplication::primaryScreen()->devicePixelRatio();
}

// The width a button's caption needs: its text, and its indicator and
// spacing, or the button's margins.
int neededWidth(QAbstractButton* button)
{
    QStyle* style = button->style();
    int width = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&')));
    if (qobject_cast<QRadioButton*>(button))
        width += style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button)
                 + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button);
    else if (qobject_cast<QCheckBox*>(button))
        width += style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button)
                 + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
    else
        width += 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    return width;
}

// Every caption on the window fits its control: nothing is cut off.
void expectCaptionsFit(QWidget* window)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(window)) {
            EXPECT_LE(neededWidth(button), button->width()) << button->objectName().toStdString();
        }
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisibleTo(window) && label->toolTip().isEmpty()) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->objectName().toStdString();
        }
    }
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()) + 16, frame->width())
            << frame->objectName().toStdString();
        // The caption stays above the frame's first row.
        for (QWidget* inside : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_LE(frame->fontMetrics().height(), inside->y()) << inside->objectName().toStdString();
    }
}

class Desktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        form.Show();
        QApplication::setActiveWindow(form.window());
    }
    void TearDown() override
    {
        form.Unload();
        clearSettings();
    }

    frmMain form;
    ModalWatcher watcher;
};

TEST_F(Desktop, ControlsKeepTheirDesignPlacesAndNoCaptionIsCut)
{
    EXPECT_DOUBLE_EQ(forms::twipsPerPixelX(), 15.0 / scale());
    // Logical pixels follow the design twips whatever the scale.
    EXPECT_EQ(form.cmdClose->geometry(), QRect(8, 93, 104, 23));
    EXPECT_EQ(form.Image1->geometry(), QRect(8, 16, 322, 172));
    // The window ends 50 twips below the thumbnail frame (3360 + 2940, the
    // frames starting 96 down), less the window's own border.
    const int border = form.window()->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    EXPECT_EQ(form.window()->height(), qRound((3360 + 2940 + 96 + 50) / 15.0 - 2 * border));
    expectCaptionsFit(form.window());
    form.emailDialog().Load();
    expectCaptionsFit(form.emailDialog().window());
    form.emailDialog().Unload();
}

// A desktop theme that gives the application a larger font, before the
// windows open or while they are open: the windows keep the font they are
// laid out for, and no caption is cut.
TEST(DesktopFont, ALargerDesktopFontCutsNoCaption)
{
    const QFont own = QApplication::font();
    for (const int points : {10, 12}) {
        QApplication::setFont(QFont("DejaVu Sans", points));
        frmMain form;
        form.Show();
        QApplication::setFont(QFont("DejaVu Sans", points, QFont::Bold));
        for (forms::Form* window : {static_cast<forms::Form*>(&form), static_cast<forms::Form*>(&form.emailDialog())}) {
            window->Load();
            expectCaptionsFit(window->window());
        }
        form.emailDialog().Unload();
        form.Unload();
    }
    QApplication::setFont(own);
}

TEST_F(Desktop, TheActualSizeWindowShowsOnePicturePixelPerScreenPixel)
{
    QImage picture(90, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 90; ++x)
            picture.setPixel(x, y, qRgb(x * 2, y * 6, (x + y) % 2 ? 255 : 0));
    form.Image1->setPicture(picture);
    frmPicture& window = form.pictureWindow();
    window.Show();
    const QImage shown = window.window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin =
        window.Picture1->mapTo(window.window(), window.Picture1->contentsRect().topLeft()) * scale();
    for (const QPoint p : {QPoint(0, 0), QPoint(89, 39), QPoint(45, 20), QPoint(1, 0)})
        EXPECT_EQ(shown.pixel(origin + p), picture.pixel(p)) << p.x() << "," << p.y();
    EXPECT_DOUBLE_EQ(window.Picture1->Width(), 90 * 15 / scale() + 2 * forms::PictureBox::borderTwips());
    window.Unload();
}

TEST_F(Desktop, EveryCommandIsReachableByKeyboardAndCtrlSSaves)
{
    // Tab reaches every command, the thumbnail included.
    QStringList reached;
    QWidget* widget = form.window()->focusWidget();
    for (int i = 0; i < 40 && widget; ++i, widget = widget->nextInFocusChain())
        reached << widget->objectName();
    for (const char* command : {"cmdPreview", "cmdSave", "cmdEmail", "cmdClose", "cmdView", "Image1"})
        EXPECT_TRUE(reached.contains(command)) << command;

    QTemporaryDir dir;
    form.txtFileName->setText(dir.filePath("key"));
    QImage capture(8, 8, QImage::Format_RGB32);
    capture.fill(Qt::yellow);
    QGuiApplication::clipboard()->setImage(capture);
    QTest::keyClick(form.window(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(dir.filePath("key001.BMP")));

    QString caption;
    watcher.queue([&caption](QWidget* window) {
        caption = window->windowTitle();
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
    });
    form.Image1->setFocus();
    QTest::keyClick(form.Image1, Qt::Key_Space);
    EXPECT_EQ(caption, "Actual Size Bitmap");
    EXPECT_FALSE(form.pictureWindow().IsLoaded());
}

} // namespace
