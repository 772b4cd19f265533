#include "host/HostError.h"
#include "pictures/PcxReader.h"
#include "pictures/Picture.h"
#include "tests/support/Files.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace host;
using testing_support::readAll;

namespace {

const QString kData = QStringLiteral(QORIX_TEST_DATA "/pcx");

// The pixels alone: the PNG's gamma note is not part of the picture.
QImage expected(const QString& name)
{
    QImage image = QImageReader(kData + "/" + name + ".png").read().convertToFormat(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace());
    return image;
}

TEST(PcxReader, EachKindDecodesToTheSourcePixels)
{
    for (const char* kind : {"mono-1bit", "colours16-4plane", "colours8-3plane", "colours256-8bit",
                             "truecolour-24bit", "runs-24bit"}) {
        SCOPED_TRACE(kind);
        const QByteArray data = readAll(kData + "/" + kind + ".pcx");
        ASSERT_TRUE(pictures::looksLikePcx(data));
        const QImage pixels = expected(kind);
        ASSERT_FALSE(pixels.isNull());
        EXPECT_EQ(pictures::decodePcx(data), pixels);
        // Many programs leave a monochrome file's header palette all zero.
        if (QByteArray(kind) == "mono-1bit") {
            EXPECT_EQ(pictures::decodePcx(data.left(16) + QByteArray(48, '\0') + data.mid(64)), pixels);
        }
        // Through the program's picture loader too, by content.
        EXPECT_EQ(pictures::LoadPicture(kData + "/" + kind + ".pcx").convertToFormat(QImage::Format_RGB32), pixels);
    }
}

TEST(PcxReader, EveryTruncationIsAnErrorNeverACrash)
{
    for (const char* file : {"mono-1bit", "colours16-4plane", "colours256-8bit", "truecolour-24bit"}) {
        const QByteArray data = readAll(kData + "/" + file + ".pcx");
        for (qsizetype length = 0; length < data.size(); ++length) {
            try {
                const QImage image = pictures::decodePcx(data.left(length));
                // Cutting off only padding at the end may still leave a whole picture.
                EXPECT_FALSE(image.isNull());
            } catch (const HostError& error) {
                EXPECT_EQ(error.kind(), ErrorKind::Picture);
            }
        }
    }
}

void setWord(QByteArray& data, int offset, quint16 value)
{
    qToLittleEndian(value, data.data() + offset);
}

struct Lie {
    const char* name;
    std::function<void(QByteArray&)> change;
    const char* says;
};

TEST(PcxReader, LyingHeadersAreRefusedBeforeAnyLargeAllocation)
{
    const QByteArray good = readAll(kData + "/truecolour-24bit.pcx");
    const QList<Lie> lies = {
        {"huge picture", [](QByteArray& d) { setWord(d, 8, 8191); setWord(d, 10, 8191); setWord(d, 66, 8192); },
         "too large (8192 x 8192 pixels)"},
        {"many rows for little data", [](QByteArray& d) { setWord(d, 10, 20000); }, "truncated"},
        {"wide rows for little data", [](QByteArray& d) { setWord(d, 66, 60000); }, "truncated"},
        {"rows shorter than the width", [](QByteArray& d) { setWord(d, 66, 10); }, "shorter"},
        {"inverted bounds", [](QByteArray& d) { setWord(d, 4, 50); }, "inverted"},
        {"five planes", [](QByteArray& d) { d[65] = 5; }, "planes"},
        {"unknown encoding", [](QByteArray& d) { d[2] = 7; }, "not a PCX header"},
        {"eight bits without a palette", [](QByteArray& d) { d[65] = 1; d.chop(100); }, "palette"},
        {"header only", [](QByteArray& d) { d.truncate(128); }, "truncated"},
    };
    for (const Lie& lie : lies) {
        QByteArray data = good;
        lie.change(data);
        try {
            pictures::decodePcx(data);
            ADD_FAILURE() << lie.name << ": no error";
        } catch (const HostError& error) {
            EXPECT_TRUE(error.description().contains(lie.says)) << lie.name << ": " << error.description().toStdString();
        }
    }
}

TEST(PcxReader, DamagedBytesGiveAPictureOrAnErrorNeverACrash)
{
    const QByteArray good = readAll(kData + "/colours16-4plane.pcx");
    quint32 state = 12345;
    for (int trial = 0; trial < 3000; ++trial) {
        QByteArray data = good;
        for (int k = 0; k < 4; ++k) {
            state = state * 1664525u + 1013904223u;
            data[qsizetype(state % quint32(data.size()))] = char(state >> 24);
        }
        try {
            pictures::decodePcx(data);
        } catch (const HostError&) {
        }
    }
}

TEST(PcxReader, TheLoaderNamesTheFileThatCannotBeRead)
{
    QTemporaryDir dir;
    QByteArray data = readAll(kData + "/colours256-8bit.pcx");
    data.chop(800);
    const QString path = dir.filePath("broken.PCX");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    try {
        pictures::LoadPicture(path);
        FAIL() << "no error";
    } catch (const HostError& error) {
        EXPECT_TRUE(error.description().contains(QDir::toNativeSeparators(path)));
        EXPECT_TRUE(error.description().contains("PCX"));
    }
}

} // namespace
