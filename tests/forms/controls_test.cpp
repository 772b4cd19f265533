#include "forms/Controls.h"
#include "forms/ImageControl.h"
#include "forms/PictureBox.h"
#include "host/HostError.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace host;

namespace {

struct Group {
    QWidget window;
    forms::Frame* frame = new forms::Frame(&window, "frame", "Colour", {0, 0, 3000, 2000});
    forms::OptionButton* a = new forms::OptionButton(frame, "a", "A", {100, 200, 1000, 240}, true);
    forms::OptionButton* b = new forms::OptionButton(frame, "b", "B", {100, 500, 1000, 240});
    forms::OptionButton* c = new forms::OptionButton(frame, "c", "C", {100, 800, 1000, 240});
    // A button in another container belongs to another group.
    forms::OptionButton* elsewhere = new forms::OptionButton(&window, "elsewhere", "D", {0, 2100, 1000, 240}, true);

    QString state() const
    {
        return QString("%1%2%3%4").arg(a->Value()).arg(b->Value()).arg(c->Value()).arg(elsewhere->Value());
    }
};

TEST(OptionGroup, SettingOneTrueClearsTheOthersOfItsFrameOnly)
{
    Group g;
    EXPECT_EQ(g.state(), "1001");
    g.b->setValue(true);
    EXPECT_EQ(g.state(), "0101");
    g.c->setValue(true);
    EXPECT_EQ(g.state(), "0011");
}

TEST(OptionGroup, SettingOneFalseClearsOnlyItAndMayLeaveNoneSelected)
{
    Group g;
    g.b->setValue(false);
    EXPECT_EQ(g.state(), "1001");
    g.a->setValue(false);
    EXPECT_EQ(g.state(), "0001");
    g.b->setValue(true);
    g.b->setValue(true);
    EXPECT_EQ(g.state(), "0101");
}

TEST(OptionGroup, AClickSelectsAndAClickOnTheSelectedButtonKeepsIt)
{
    Group g;
    g.window.show();
    QTest::mouseClick(g.c, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(g.state(), "0011");
    QTest::mouseClick(g.c, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(g.state(), "0011");
    g.c->setFocus();
    QTest::keyClick(g.b, Qt::Key_Space);
    EXPECT_EQ(g.state(), "0101");
}

TEST(CheckBoxStates, ZeroOneTwoAreShownAndOthersRefused)
{
    QWidget window;
    forms::CheckBox box(&window, "box", "Tick", {0, 0, 2000, 240}, 1);
    EXPECT_EQ(box.Value(), 1);
    box.setValue(2);
    EXPECT_EQ(box.Value(), 2);
    EXPECT_EQ(box.checkState(), Qt::PartiallyChecked);
    box.setValue(0);
    EXPECT_EQ(box.checkState(), Qt::Unchecked);
    for (int bad : {3, -1, 7}) {
        box.setValue(1);
        EXPECT_THROW(box.setValue(bad), HostError);
        EXPECT_EQ(box.Value(), 1);
    }
}

TEST(CheckBoxStates, ClicksTickAndUntickAndAGreyedBoxBecomesTicked)
{
    QWidget window;
    forms::CheckBox box(&window, "box", "Tick", {0, 0, 2000, 240}, 2);
    window.show();
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(box.Value(), 1);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(box.Value(), 0);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(box.Value(), 1);
}

TEST(LabelText, ALongCaptionShowsElidedWithTheWholeTextInItsTooltip)
{
    QWidget window;
    forms::Label label(&window, "lblLastMade", "Last Made:", {0, 0, 1500, 276});
    label.setElideMode(Qt::ElideMiddle);
    const QString path = "/home/someone/.local/share/QORIX-Capture/tolvo.bmp";
    label.setCaption(path);
    EXPECT_EQ(label.Caption(), path);
    EXPECT_NE(label.text(), path);
    EXPECT_TRUE(label.text().contains(QChar(0x2026)));
    EXPECT_TRUE(label.text().endsWith("bmp"));
    EXPECT_EQ(label.toolTip(), path);
    label.setCaption("short");
    EXPECT_EQ(label.text(), "short");
    EXPECT_TRUE(label.toolTip().isEmpty());

    // A button stacked over the label's end: the text stops before it.
    forms::CommandButton over(&window, "cmdView", "&View", {900, 0, 600, 350});
    label.setCaption(path);
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), over.x() - label.x());
    EXPECT_TRUE(label.text().endsWith("bmp"));
}

TEST(ControlPlacement, TwipsAreKeptExactlyAndMappedToPixels)
{
    QWidget window;
    forms::CommandButton button(&window, "cmd", "&Close", {120, 1392, 1560, 350});
    EXPECT_EQ(button.Left(), 120);
    EXPECT_EQ(button.Height(), 350);
    EXPECT_EQ(button.geometry(), QRect(8, 93, 104, 23));
    button.setWidth(1000);
    EXPECT_EQ(button.Width(), 1000);
    EXPECT_EQ(button.width(), 67);
}

QImage solid(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

TEST(ImageControlSize, StretchOffTakesThePictureSizeStretchOnKeepsTheControlSize)
{
    QWidget window;
    forms::ImageControl image(&window, "Image1", {120, 240, 4836, 2580}, true);
    image.setPicture(solid(40, 30));
    EXPECT_EQ(image.Width(), 4836);
    EXPECT_EQ(image.Height(), 2580);
    image.setStretch(false);
    EXPECT_EQ(image.Width(), 600);
    EXPECT_EQ(image.Height(), 450);
    image.setPicture(solid(10, 20));
    EXPECT_EQ(image.Width(), 150);
    image.setStretch(true);
    image.setPicture(solid(100, 100));
    EXPECT_EQ(image.Width(), 150);
    EXPECT_EQ(image.Left(), 120);
}

TEST(PictureBoxSize, AutoSizeFitsPictureAndBorderAndScalesInPixels)
{
    QWidget window;
    forms::PictureBox box(&window, "Picture1", {120, 120, 6900, 3612}, true);
    const double border = 2 * forms::PictureBox::borderTwips();
    box.setPicture(solid(517, 33));
    EXPECT_EQ(box.Width(), 517 * 15 + border);
    EXPECT_EQ(box.Height(), 33 * 15 + border);
    EXPECT_EQ(box.Left(), 120);
    box.setScaleMode(forms::ScaleMode::Pixels);
    EXPECT_EQ(box.ScaleWidth(), 517.0f);
    EXPECT_EQ(box.ScaleHeight(), 33.0f);
    EXPECT_EQ(box.Image().size(), QSize(517, 33));
    box.setScaleMode(forms::ScaleMode::Twips);
    EXPECT_EQ(box.ScaleWidth(), 517.0f * 15);
}

TEST(PictureBoxSize, FixedBoxImageIsItsInnerAreaWithThePictureTopLeft)
{
    QWidget window;
    forms::PictureBox box(&window, "Picture1", {0, 0, 20 * 15 + 2 * forms::PictureBox::borderTwips(), 10 * 15 + 2 * forms::PictureBox::borderTwips()}, false);
    box.setPicture(solid(5, 5));
    const QImage image = box.Image();
    ASSERT_EQ(image.size(), QSize(20, 10));
    EXPECT_EQ(image.pixelColor(4, 4), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(6, 6), QColor(Qt::red));
}

} // namespace
