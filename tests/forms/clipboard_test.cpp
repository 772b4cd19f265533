#include "forms/Clipboard.h"
#include "host/HostError.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace host;

namespace {

TEST(ClipboardPicture, AnImageIsABitmapAndTextIsNot)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(image);
    ASSERT_TRUE(forms::ClipboardHasBitmap());
    EXPECT_EQ(forms::ClipboardGetBitmap().pixelColor(2, 1), QColor(Qt::blue));

    QGuiApplication::clipboard()->setText("just text");
    EXPECT_FALSE(forms::ClipboardHasBitmap());
    EXPECT_THROW(forms::ClipboardGetBitmap(), HostError);
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(forms::ClipboardHasBitmap());
}

} // namespace
