#include "tests/e2e/Desktop.h"
#include "tests/support/BitmapFiles.h"
#include "tests/support/Files.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace e2e;

namespace {


// A capture of a few dozen flat colours.
QImage capture()
{
    QImage image(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            image.setPixel(x, y, x < 150 ? qRgb(240, 240, 240) : qRgb(x / 30 * 40, y / 40 * 50, 128));
    return image;
}

TEST(SaveOnX, TwoSavesWriteNumberedFilesAndTextOnTheClipboardWritesNothing)
{
    testing_support::clearSettings();
    QTemporaryDir dir;
    const QImage picture = capture();
    Program program;
    const QString window = waitForWindow(testing_support::kMainWindowTitle);
    ASSERT_FALSE(window.isEmpty()) << program.errors().toStdString();

    // The Filename box: frameFilename at (120, 96), the box at (1128, 216) in it.
    clickAtTwips(window, 120 + 1128, 96 + 216);
    pressKeys(window, "ctrl+a");
    typeText(window, dir.filePath("cap"));
    // "256 Colours": frameColourOptions at (120, 1488), the button at (312, 744) in it.
    clickAtTwips(window, 120 + 312, 1488 + 744);

    {
        ClipboardOwner owner(picture);
        // "Save to File" (Frame3 at (3408, 1488), the button at (120, 624)): a click, then Space on it.
        clickAtTwips(window, 3408 + 120, 1488 + 624);
        pressKeys(window, "space");
        for (int i = 0; i < 100 && QDir(dir.path()).entryList(QDir::Files).size() < 2; ++i)
            QThread::msleep(50);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"cap001.BMP", "cap002.BMP"}));
    for (const QString name : {"cap001.BMP", "cap002.BMP"}) {
        const QString path = dir.filePath(name);
        EXPECT_EQ(testing_support::bmpBitCount(path), 8) << name.toStdString();
        // The capture has fewer than 256 colours: it comes back exactly.
        EXPECT_EQ(QImageReader(path).read().convertToFormat(QImage::Format_RGB32), picture) << name.toStdString();
    }

    {
        ClipboardOwner owner("just some text", "UTF8_STRING");
        clickAtTwips(window, 3408 + 120, 1488 + 624);
        const QString message = waitForWindow("QORIX-Capture");
        EXPECT_FALSE(message.isEmpty()) << "no message box";
        if (!message.isEmpty()) {
            pressKeys(message, "Return");
            EXPECT_TRUE(waitForWindowGone("QORIX-Capture"));
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    clickAtTwips(window, 3408 + 120, 1488 + 1392);
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(testing_support::storedSettings("Defaults").value("256Colurs"), "True");
    EXPECT_EQ(testing_support::storedSettings("Defaults").value("Filename"), dir.filePath("cap"));
}

// The keyboard shortcut while the window is open: the window saves, with the
// Filename it shows though it was never stored; without the window the
// command saves by itself, with the stored one.
TEST(SaveOnX, TheShortcutSavesWithTheOptionsTheWindowShows)
{
    if (!onPrivateBus("SaveOnX.TheShortcutSaves*"))
        return;
    QTemporaryDir dir;
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "Filename", dir.filePath("stored"));
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    const ClipboardOwner owner(capture());
    const auto shortcut = [] {
        Program save({"--save", "--quiet"});
        EXPECT_TRUE(save.waitForExit());
        EXPECT_EQ(save.exitCode(), 0) << save.errors().toStdString();
        return QString::fromLocal8Bit(save.output()).trimmed();
    };
    EXPECT_EQ(shortcut(), dir.filePath("stored001.BMP"));
    Program window;
    const QString id = waitForWindow(testing_support::kMainWindowTitle);
    clickAtTwips(id, 120 + 1128, 96 + 216);
    pressKeys(id, "ctrl+a");
    typeText(id, dir.filePath("typed"));
    EXPECT_EQ(shortcut(), dir.filePath("typed001.BMP"));
    EXPECT_EQ(QImageReader(dir.filePath("typed001.BMP")).read().convertToFormat(QImage::Format_RGB32), capture());
    testing_support::clearSettings();
}

// A clipboard owner that offers the picture in several formats, a poor one
// first (as a clipboard manager holding a Qt program's picture does):
// --save and the window take the best one, fetch only it, and write the
// picture's own colours; with nothing but a 1-bit format, that one.
TEST(SaveOnX, TheClipboardsBestFormatIsTakenAndOnlyItIsFetched)
{
    QTemporaryDir dir;
    const QImage picture = capture();
    picture.save(dir.filePath("picture.png"));
    const QList<std::pair<QStringList, QString>> cases = {
        {{"image/x-xbitmap", "image/x-portable-graymap", "image/bmp", "image/png"}, "image/png"},
        {{"image/x-xpixmap", "image/tiff", "image/x-MS-bmp"}, "image/x-MS-bmp"},
        {{"image/x-xbitmap"}, "image/x-xbitmap"},
    };
    for (const auto& [offered, best] : cases) {
        SCOPED_TRACE(offered.join(' ').toStdString());
        testing_support::clearSettings();
        testing_support::storeSetting("Defaults", "Filename", dir.filePath("cap"));
        testing_support::storeSetting("Defaults", "16Colours", "False");
        testing_support::storeSetting("Defaults", "DisplayColours", "True");
        QFile::remove(dir.filePath("asked"));
        QProcess owner;
        QProcessEnvironment onX = QProcessEnvironment::systemEnvironment();
        onX.insert("QT_QPA_PLATFORM", "xcb");
        owner.setProcessEnvironment(onX);
        owner.start(qEnvironmentVariable("QORIX_CLIPBOARD_OWNER"), QStringList{dir.filePath("picture.png"), dir.filePath("asked")} + offered);
        ASSERT_TRUE(owner.waitForReadyRead(10000));
        {
            Program save({"--save"});
            ASSERT_TRUE(save.waitForExit());
        }
        Program program;
        const QString window = waitForWindow(testing_support::kMainWindowTitle);
        pressKeys(window, "ctrl+s");
        for (int i = 0; i < 100 && !QFile::exists(dir.filePath("cap002.BMP")); ++i)
            QThread::msleep(50);
        pressKeys(window, "alt+c");
        EXPECT_TRUE(program.waitForExit());
        for (const QString name : {"cap001.BMP", "cap002.BMP"}) {
            const QImage written = QImageReader(dir.filePath(name)).read().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(written == picture, best != "image/x-xbitmap") << name.toStdString();
            QFile::remove(dir.filePath(name));
        }
        EXPECT_EQ(QString::fromUtf8(testing_support::readAll(dir.filePath("asked"))).split('\n', Qt::SkipEmptyParts),
                  QStringList({best, best}));
        owner.kill();
        owner.waitForFinished();
    }
}

// Noise: a PNG of several megabytes, more than one read of a property takes.
QImage noise(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, random.generate() | 0xFF000000u);
    return picture;
}

// A large picture, which the clipboard's owner sends in pieces: --save,
// reading the X clipboard itself, writes it whole.
TEST(SaveOnX, APictureSentInPiecesIsSavedWhole)
{
    QTemporaryDir dir;
    const QImage picture = noise(1200, 900);
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    ClipboardOwner owner(picture);
    Program save({"--save", "--quiet", "--output", dir.filePath("whole.bmp")});
    ASSERT_TRUE(save.waitForExit());
    EXPECT_EQ(save.exitCode(), 0) << save.errors().toStdString();
    EXPECT_EQ(QImageReader(dir.filePath("whole.bmp")).read().convertToFormat(QImage::Format_RGB32), picture);
}

// Owners that lie, stall, trickle and flood: every --save ends soon, in the
// memory a picture file's limit bounds, with the picture whole (and one bell)
// or a message that says what went wrong.
TEST(SaveOnX, HostileOwnersNeitherHoldTheSaveUpNorFloodItsMemory)
{
    QTemporaryDir dir;
    const QImage picture = noise(1400, 1100);
    ASSERT_TRUE(picture.save(dir.filePath("noise.png")));
    testing_support::clearSettings();
    testing_support::storeSetting("Defaults", "16Colours", "False");
    testing_support::storeSetting("Defaults", "DisplayColours", "True");
    const QString hostile = QORIX_TEST_SOURCE "/e2e/hostile_owner.py";
    FakeService bells("/usr/bin/python3", {hostile, "--bells"});
    const QStringList png = {"--offer", "image/png", "--picture", dir.filePath("noise.png")};
    QStringList sameTwenty, twenty;
    for (int i = 0; i < 20; ++i) {
        sameTwenty << "--offer" << "image/png";
        twenty << "--offer" << QString("image/x-kind-%1").arg(i);
    }
    const struct {
        const char* name;
        QStringList owner;
        int exitCode;
        const char* said;
    } cases[] = {
        {"one format listed twenty times, never sent", sameTwenty + QStringList{"--never"}, 1, "does not answer"},
        {"twenty formats, none sent", twenty + QStringList{"--never"}, 1, "does not answer"},
        {"no answer to the list", {"--silent-targets"}, 1, "(python3, process"},
        {"answers after two seconds", png + QStringList{"--delay", "2000"}, 0, ""},
        {"a slow trickle of pieces", png + QStringList{"--piece", "65536", "--interval", "80"}, 0, ""},
        {"each piece in two changes", png + QStringList{"--piece", "65536", "--split"}, 0, ""},
        {"over 4 MB in one property", png, 0, ""},
        {"pieces without end", png + QStringList{"--piece", "200000", "--endless"}, 1, "larger than"},
        {"a list without end", png + QStringList{"--piece", "4096", "--endless-targets"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess owner;
        owner.start("/usr/bin/python3", QStringList{hostile} + c.owner);
        ASSERT_TRUE(owner.waitForReadyRead(10000));
        const QString file = dir.filePath("hostile.bmp");
        QFile::remove(file);
        QProcess save;
        QProcessEnvironment onX = QProcessEnvironment::systemEnvironment();
        onX.insert("QT_QPA_PLATFORM", "xcb");
        save.setProcessEnvironment(onX);
        save.start("/usr/bin/time", {"-f", "%M", "-o", dir.filePath("peak"), qEnvironmentVariable("QORIX_PROGRAM"),
                                     "--save", "--quiet", "--output", file});
        EXPECT_TRUE(save.waitForFinished(60000)) << "still waiting";
        save.kill();
        save.waitForFinished();
        const QString errors = QString::fromLocal8Bit(save.readAllStandardError());
        EXPECT_EQ(save.exitCode(), c.exitCode) << errors.toStdString();
        EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
        EXPECT_LT(testing_support::readAll(dir.filePath("peak")).trimmed().toLongLong(), 600 * 1024) << "kilobytes";
        EXPECT_EQ(QImageReader(file).read().convertToFormat(QImage::Format_RGB32) == picture, c.exitCode == 0);
        EXPECT_EQ(bells.received(c.exitCode == 0 ? 1 : 0).size(), c.exitCode == 0 ? 1 : 0);
        owner.kill();
        owner.waitForFinished();
    }
}

} // namespace
