#include "capture/modcap.h"
#include "forms/PictureBox.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "palette/Workspace.h"

#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace host;

using testing_support::readAll;
using testing_support::writeFile;

namespace {

QImage patterned(int width, int height, int colours)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int k = (x * 7 + y * 13) % colours;
            image.setPixel(x, y, qRgb((k * 53) % 256, (k * 101) % 256, (k * 197 + 31) % 256));
        }
    return image;
}

quint32 le32(const QByteArray& bytes, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(offset + i));
    return value;
}

quint16 le16(const QByteArray& bytes, int offset)
{
    return quint16(quint8(bytes.at(offset)) | quint8(bytes.at(offset + 1)) << 8);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class SaveBitmapTest : public ::testing::Test {
protected:
    QString write(const QImage& image, qint16 depthCode, const QString& name = "out.bmp")
    {
        box.setPicture(image);
        const QString path = dir.filePath(name);
        capture::SaveBitmap(box, path, depthCode);
        return path;
    }

    QTemporaryDir dir;
    QWidget window;
    forms::PictureBox box{&window, "Picture1", {2736, 1920, 516, 324}, true};
};

struct Geometry {
    int width, height;
    qint16 depthCode;
    int bitCount, stride, offBits;
};

TEST_F(SaveBitmapTest, FileLayoutFollowsTheGeometryTable)
{
    const QList<Geometry> table = {
        {800, 600, 2, 1, 100, 62},  {1024, 768, 8, 8, 1024, 1078}, {517, 3, 4, 4, 260, 118},
        {520, 3, 4, 4, 260, 118},   {33, 3, 4, 4, 20, 118},        {516, 2, 8, 8, 516, 1078},
        {517, 2, 8, 8, 520, 1078},  {1, 5, 2, 1, 4, 62},           {1, 5, 4, 4, 4, 118},
        {1, 5, 8, 8, 4, 1078},      {5, 2, 1, 1, 4, 62},           {5, 2, 16, 4, 4, 118},
        {5, 2, 256, 8, 8, 1078},    {7, 3, 24, 1, 4, 62},          {7, 3, 32, 1, 4, 62},
        {7, 3, 0, 1, 4, 62},        {7, 3, -1, 1, 4, 62},
    };
    for (const Geometry& g : table) {
        SCOPED_TRACE(QString("%1x%2 depth code %3").arg(g.width).arg(g.height).arg(g.depthCode).toStdString());
        const QByteArray file = readAll(write(patterned(g.width, g.height, 3), g.depthCode));
        const int imageSize = g.stride * g.height;
        ASSERT_EQ(file.size(), g.offBits + imageSize);
        EXPECT_EQ(file.left(2), "BM");
        EXPECT_EQ(le32(file, 2), quint32(file.size()));
        EXPECT_EQ(le16(file, 6), 0);
        EXPECT_EQ(le16(file, 8), 0);
        EXPECT_EQ(le32(file, 10), quint32(g.offBits));
        EXPECT_EQ(le32(file, 14), 40u);
        EXPECT_EQ(le32(file, 18), quint32(g.width));
        EXPECT_EQ(le32(file, 22), quint32(g.height));
        EXPECT_EQ(le16(file, 26), 1);
        EXPECT_EQ(le16(file, 28), g.bitCount);
        EXPECT_EQ(le32(file, 30), 0u);
        EXPECT_EQ(le32(file, 34), quint32(imageSize));
        EXPECT_EQ(le32(file, 38), 0u);
        EXPECT_EQ(le32(file, 42), 0u);
        EXPECT_EQ(le32(file, 46), 0u);
        EXPECT_EQ(le32(file, 50), 0u);
        EXPECT_EQ(g.offBits, 54 + 4 * (1 << g.bitCount));
        EXPECT_EQ(box.scaleMode(), forms::ScaleMode::Pixels);
    }
    EXPECT_EQ(readAll(dir.filePath("out.bmp")).size(), 62 + 4 * 3);
}

TEST_F(SaveBitmapTest, DepthCodesOneAndTwoGiveTheSameFileAsDoSixteenAndFour)
{
    const QImage image = patterned(41, 17, 40);
    EXPECT_EQ(readAll(write(image, 1, "a.bmp")), readAll(write(image, 2, "b.bmp")));
    EXPECT_EQ(readAll(write(image, 4, "c.bmp")), readAll(write(image, 16, "d.bmp")));
    EXPECT_EQ(readAll(write(image, 8, "e.bmp")), readAll(write(image, 256, "f.bmp")));
    EXPECT_EQ(readAll(write(image, 24, "g.bmp")), readAll(write(image, 2, "h.bmp")));
}

TEST_F(SaveBitmapTest, PaddingBytesOfEveryRowAreZero)
{
    const QImage white = [] {
        QImage image(9, 4, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(0, 0, qRgb(0, 0, 0));
        return image;
    }();
    for (qint16 depth : {2, 4, 8}) {
        const QByteArray file = readAll(write(white, depth));
        const int off = int(le32(file, 10));
        const int bits = le16(file, 28);
        const int stride = ((9 * bits + 31) / 32) * 4;
        const int used = (9 * bits + 7) / 8;
        for (int row = 0; row < 4; ++row)
            for (int i = used; i < stride; ++i)
                EXPECT_EQ(file[off + row * stride + i], 0) << "depth " << depth << " row " << row;
        // Within the last used byte, the bits past the last pixel are zero too.
        if ((9 * bits) % 8)
            for (int row = 0; row < 4; ++row) {
                const quint8 last = quint8(file[off + row * stride + used - 1]);
                EXPECT_EQ(last & ((1 << (8 - (9 * bits) % 8)) - 1), 0) << "depth " << depth;
            }
    }
}

TEST_F(SaveBitmapTest, OverwritingALongerFileLeavesExactlyTheNewFile)
{
    const QString path = dir.filePath("out.bmp");
    writeFile(path, QByteArray(1'000'000, 'x'));
    const QByteArray file = readAll(write(patterned(10, 10, 2), 2));
    EXPECT_EQ(file.size(), 62 + 4 * 10);
    EXPECT_EQ(le32(file, 2), quint32(file.size()));
    EXPECT_EQ(entries(dir.path()), QStringList{"out.bmp"});
}

TEST_F(SaveBitmapTest, RefusedTargetsRaiseADescribedErrorAndTouchNothing)
{
    const QString readOnly = dir.filePath("ro.bmp");
    writeFile(readOnly, "keep me");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    box.setPicture(patterned(8, 8, 2));
    for (const QString& target : {readOnly, dir.filePath("no/such/folder/x.bmp"), dir.path()}) {
        try {
            capture::SaveBitmap(box, target, 8);
            FAIL() << "no error for " << target.toStdString();
        } catch (const HostError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::File);
            EXPECT_TRUE(error.description().contains(QDir::toNativeSeparators(target)))
                << error.description().toStdString();
        }
    }
    EXPECT_EQ(readAll(readOnly), "keep me");
    EXPECT_EQ(entries(dir.path()), QStringList{"ro.bmp"});
}

// A depth that is none of the four, forced in from outside, is refused and
// nothing is written.
TEST_F(SaveBitmapTest, AnUnknownDepthIsNeverWritten)
{
    palette::Workspace workspace;
    host::AtomicFile file(dir.filePath("x.bmp"));
    EXPECT_THROW(capture::WriteBitmap(patterned(8, 8, 2), static_cast<capture::Depth>(4), file, workspace), HostError);
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

TEST_F(SaveBitmapTest, SizeErrorsComeBeforeTheFileIsTouchedAndBeforeAnyLargeAllocation)
{
    const QString path = dir.filePath("old.bmp");
    writeFile(path, "old");

    struct Case {
        double widthPixels, heightPixels;
        qint16 depthCode;
        ErrorKind kind;
        const char* says;
    };
    const QList<Case> cases = {
        {0, 10, 8, ErrorKind::Picture, "empty"},
        {10, 0, 2, ErrorKind::Picture, "empty"},
        {32765, 1, 8, ErrorKind::Overflow, "32764"},
        {262113, 1, 2, ErrorKind::Overflow, "32764"},
        {32764, 65545, 8, ErrorKind::Overflow, "2147483647"},
    };
    for (const Case& c : cases) {
        // A box of that inner size without a picture: the size alone must stop the write.
        const double border = 2 * forms::PictureBox::borderTwips();
        forms::PictureBox sized(&window, "sized", {0, 0, c.widthPixels * 15 + border, c.heightPixels * 15 + border}, false);
        try {
            capture::SaveBitmap(sized, path, c.depthCode);
            FAIL() << "no error for " << c.widthPixels << "x" << c.heightPixels;
        } catch (const HostError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.description().toStdString();
            EXPECT_TRUE(error.description().contains(c.says)) << error.description().toStdString();
        }
        EXPECT_EQ(readAll(path), "old");
    }
    // The widest rows that fit are written.
    EXPECT_EQ(readAll(write(patterned(32764, 1, 2), 8)).size(), 1078 + 32764);
    EXPECT_EQ(readAll(write(patterned(262112, 1, 2), 2)).size(), 62 + 32764);
}

TEST_F(SaveBitmapTest, AWriteThatFailsMidwayLeavesTheOldFileAndNoTemporaryFile)
{
    const QString path = dir.filePath("capture.bmp");
    writeFile(path, QByteArray(5000, 'o'));
    box.setPicture(patterned(1000, 1000, 200));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program ignores SIGXFSZ, so a write past the limit fails with an error.
        rlimit limit{200'000, 200'000};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            capture::SaveBitmap(box, path, 8);
        } catch (const HostError& error) {
            _exit(error.description().contains(path) ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(path), QByteArray(5000, 'o'));
    EXPECT_EQ(entries(dir.path()), QStringList{"capture.bmp"});
}

// Pixels as an independent decoder sees them: Qt's BMP reader, and ImageMagick.
QImage decodeWithQt(const QString& path)
{
    QImageReader reader(path, "bmp");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QImage decodeWithImageMagick(const QString& path)
{
    QProcess convert;
    convert.start("convert", {path, "-depth", "8", "ppm:-"});
    if (!convert.waitForFinished(30000) || convert.exitCode() != 0)
        return {};
    return QImage::fromData(convert.readAllStandardOutput(), "ppm").convertToFormat(QImage::Format_RGB32);
}

QImage colourPicture(int width, int height, int colours)
{
    // Distinct colours in a deterministic scatter, each used at least once.
    QImage image(width, height, QImage::Format_RGB32);
    for (int i = 0; i < width * height; ++i) {
        const int k = i < colours ? i : (i * 2654435761u) % colours;
        image.setPixel(i % width, i / width, qRgb((k * 37) % 256, (k * 91 + 11) % 256, (k * 173 + 5) % 256));
    }
    return image;
}

TEST_F(SaveBitmapTest, PicturesWithAtMostNColoursComeBackExactlyFromIndependentDecoders)
{
    for (int bits : {1, 4, 8}) {
        const int n = 1 << bits;
        for (int colours : {1, n - 1, n}) {
            SCOPED_TRACE(QString("%1 colours at %2 bits").arg(colours).arg(bits).toStdString());
            const QImage image = colourPicture(37, 29, colours);
            const QString path = write(image, qint16(bits));
            EXPECT_EQ(decodeWithQt(path), image);
            EXPECT_EQ(decodeWithImageMagick(path), image);
        }
    }
    // More lines than are packed and written at a time.
    const QImage tall = colourPicture(1031, 1100, 256);
    EXPECT_EQ(decodeWithQt(write(tall, 8)), tall);
}

} // namespace
