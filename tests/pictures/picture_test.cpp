#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace host;

namespace {

TEST(Pictures, TheEmptyNameGivesTheEmptyPictureAndABadFileAnErrorNamingIt)
{
    EXPECT_TRUE(pictures::LoadPicture(QString()).isNull());
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.bmp");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are not pixels");
    file.close();
    for (const QString& bad : {path, dir.filePath("missing.jpg")}) {
        try {
            pictures::LoadPicture(bad);
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
    pictures::SavePicture(picture, path);
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, picture);
    EXPECT_LT(QFileInfo(path).size(), 5'000'000);
    EXPECT_THROW(pictures::SavePicture(QImage(), dir.filePath("empty.bmp")), HostError);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.bmp")));
}

// One limit for every picture decoded: captures of 8K and of three 4K screens
// load, larger pictures are refused with their size and the limit named.
TEST(PictureLoader, LoadsEveryCaptureSizeAndRefusesLargerPicturesByName)
{
    QTemporaryDir dir;
    for (const QString name : {"7680x4320.png", "11520x2160.jpg", "9000x9000.png", "8000x8000.jpg"}) {
        const QStringList size = name.section('.', 0, 0).split('x');
        QImage picture(size[0].toInt(), size[1].toInt(), QImage::Format_Grayscale8);
        picture.fill(200);
        ASSERT_TRUE(picture.save(dir.filePath(name)));
        const bool fits = picture.width() * picture.height() < 40'000'000;
        try {
            EXPECT_EQ(pictures::LoadPicture(dir.filePath(name)).size(), picture.size()) << name.toStdString();
            EXPECT_TRUE(fits) << name.toStdString();
        } catch (const HostError& error) {
            EXPECT_FALSE(fits);
            EXPECT_TRUE(error.description().contains(size.join(" x ") + " pixels): at most 50 million")) << error.description().toStdString();
        }
    }
}

} // namespace
