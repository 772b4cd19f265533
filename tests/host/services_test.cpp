#include "host/Clipboard.h"
#include "host/Handlers.h"
#include "host/HostError.h"
#include "host/MessageBox.h"
#include "host/Picture.h"
#include "host/Sound.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace host;
using testing_support::ModalWatcher;

namespace {

TEST(MessageBoxes, CarryTheApplicationTitleOneOkAndTheRequestedIcon)
{
    ModalWatcher watcher;
    MsgBox("plain");
    MsgBox("critical", MsgBoxStyle::Critical);
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_EQ(watcher.messages()[0].text, "plain");
    EXPECT_EQ(watcher.messages()[0].title, "QORIX-Capture");
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.messages()[1].icon, QMessageBox::Critical);
}

TEST(UntrappedErrors, ReachTheTopLevelHandlerWhichShowsThemAndTheProgramGoesOn)
{
    ModalWatcher watcher;
    int after = 0;
    runHandler([] { raiseError(ErrorKind::File, "Could not write /x/y.BMP: Permission denied"); });
    runHandler([] { throw std::bad_alloc(); });
    runHandler([&] { ++after; });
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_EQ(watcher.messages()[0].text, "Could not write /x/y.BMP: Permission denied");
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.messages()[1].text, "Out of memory.");
    EXPECT_EQ(after, 1);
}

TEST(UntrappedErrors, IndependentStepsSkipAFailureSilently)
{
    ModalWatcher watcher;
    QStringList ran;
    skipOnError([&] { ran << "one"; });
    const std::optional<HostError> skipped = skipOnError([&] { raiseError(ErrorKind::TypeMismatch, "bad"); });
    ASSERT_TRUE(skipped.has_value());
    EXPECT_EQ(skipped->kind(), ErrorKind::TypeMismatch);
    skipOnError([&] { ran << "three"; });
    EXPECT_EQ(ran, QStringList({"one", "three"}));
    EXPECT_TRUE(watcher.messages().isEmpty());
}

TEST(Beeping, EveryBeepIsAnnounced)
{
    QSignalSpy beeps(&Sound::instance(), &Sound::beeped);
    Beep();
    Beep();
    EXPECT_EQ(beeps.count(), 2);
}

TEST(ClipboardPicture, AnImageIsABitmapAndTextIsNot)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(image);
    ASSERT_TRUE(ClipboardHasBitmap());
    EXPECT_EQ(ClipboardGetBitmap().pixelColor(2, 1), QColor(Qt::blue));

    QGuiApplication::clipboard()->setText("just text");
    EXPECT_FALSE(ClipboardHasBitmap());
    EXPECT_THROW(ClipboardGetBitmap(), HostError);
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(ClipboardHasBitmap());
}

TEST(Pictures, TheEmptyNameGivesTheEmptyPictureAndABadFileAnErrorNamingIt)
{
    EXPECT_TRUE(LoadPicture(QString()).isNull());
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.bmp");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are not pixels");
    file.close();
    for (const QString& bad : {path, dir.filePath("missing.jpg")}) {
        try {
            LoadPicture(bad);
            FAIL() << "no error for " << bad.toStdString();
        } catch (const HostError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::Picture);
            EXPECT_TRUE(error.description().contains(QDir::toNativeSeparators(bad)));
        }
    }
}

TEST(Pictures, SavedBitmapDecodesToThePictureAndReplacesAnOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shot.bmp");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5'000'000, 'x'));
    old.close();

    QImage picture(37, 11, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 7, y * 20, (x * y) % 256));
    SavePicture(picture, path);
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, picture);
    EXPECT_LT(QFileInfo(path).size(), 5'000'000);
    EXPECT_THROW(SavePicture(QImage(), dir.filePath("empty.bmp")), HostError);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.bmp")));
}

} // namespace
