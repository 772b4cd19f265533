#include "host/Files.h"
#include "host/HostError.h"
#include "host/SyncAhead.h"

#include "tests/support/Files.h"
#include "tests/support/Processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace host;

using testing_support::readAll;
using testing_support::writeFile;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(FileLookup, OnlyAnOrdinaryFileOfExactlyThatNameExists)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("shot001.BMP"), "x");
    QDir(dir.path()).mkdir("folder.BMP");
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe.BMP")).constData(), 0600), 0);
    QFile::link(dir.filePath("shot001.BMP"), dir.filePath("link.BMP"));
    EXPECT_TRUE(FileExists(dir.filePath("shot001.BMP")));
    EXPECT_TRUE(FileExists(dir.filePath("link.BMP")));
    EXPECT_FALSE(FileExists(dir.filePath("pipe.BMP")));
    EXPECT_FALSE(FileExists(dir.filePath("shot00?.BMP")));
    EXPECT_FALSE(FileExists(dir.filePath("shot*.BMP")));
    EXPECT_FALSE(FileExists(dir.filePath("shot002.BMP")));
    EXPECT_FALSE(FileExists(dir.filePath("folder.BMP")));
    EXPECT_FALSE(FileExists(QString()));
}

TEST(FileRead, AFileOfExactlyTheLimitIsReadAndOneByteMoreIsNot)
{
    QTemporaryDir dir;
    for (const qint64 size : {0, 1, 4095, 4096, 100000}) {
        writeFile(dir.filePath("f"), QByteArray(size, 'x'));
        EXPECT_EQ(readFile(dir.filePath("f"), size), QByteArray(size, 'x')) << size;
        EXPECT_EQ(readFile(dir.filePath("f"), size - 1), std::nullopt) << size;
    }
}

TEST(FileDelete, DeletesTheOneFileAndReportsAMissingOne)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a*"), "x");
    writeFile(dir.filePath("ab"), "x");
    DeleteFile(dir.filePath("a*"));
    EXPECT_EQ(entries(dir.path()), QStringList{"ab"});
    EXPECT_THROW(DeleteFile(dir.filePath("a*")), HostError);
}

TEST(AppFolderPath, IsCreatedAndHasNoTrailingSeparator)
{
    const QString folder = AppFolder();
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_FALSE(folder.endsWith('/'));
    EXPECT_TRUE(folder.endsWith("QORIX-Capture")) << folder.toStdString();
}

TEST(AtomicWrite, ReplacesALongerFileCompletely)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    writeFile(path, QByteArray(1000, 'o'));
    AtomicFile file(path);
    file.write("new", 3);
    file.write(QByteArray("er"));
    file.commit();
    EXPECT_EQ(readAll(path), "newer");
    EXPECT_EQ(entries(dir.path()), QStringList{"out.bmp"});
}

TEST(AtomicWrite, AnUncommittedFileLeavesTheOldOneAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    writeFile(path, "old");
    {
        AtomicFile file(path);
        file.write("partial", 7);
    }
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(entries(dir.path()), QStringList{"out.bmp"});
}

// Large enough that the data is synced on another thread while it is
// written: committed, every byte is in place; not committed, none is.
TEST(AtomicWrite, ALargeFileIsCompleteOrAbsentWhileItIsSyncedAhead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    QByteArray data(8 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 / 4096);
    for (const bool commit : {false, true}) {
        writeFile(path, "old");
        {
            AtomicFile file(path);
            for (qsizetype at = 0; at < data.size(); at += 100000)
                file.write(data.mid(at, 100000));
            if (commit)
                file.commit();
        }
        EXPECT_EQ(readAll(path) == data, commit);
        EXPECT_EQ(entries(dir.path()), QStringList{"out.bmp"});
    }
}

TEST(AtomicWrite, AFailedSyncAheadIsReported)
{
    SyncAhead sync(-1);
    sync.written(8 << 20);
    EXPECT_EQ(sync.finish(), EBADF);
}

// Killed before it is put in place, a file leaves nothing behind.
TEST(AtomicWrite, AKilledWriteLeavesNothingBehind)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("out.bmp"), "old");
    for (const auto existing : {AtomicFile::Existing::Replace, AtomicFile::Existing::Keep}) {
        const auto killed = [&] {
            AtomicFile file(dir.filePath("out.bmp"), existing);
            file.write("new", 3);
            _exit(7);
            return 0;
        };
        EXPECT_EQ(testing_support::runInChild(killed, false), 7);
        EXPECT_EQ(entries(dir.path()), QStringList{"out.bmp"});
    }
}

// Names as long as the file system allows (255 bytes, fewer characters
// when they take several bytes) are written, by either commit; a link to a
// file stays a link, and the file it names is replaced.
TEST(AtomicWrite, TheLongestNamesAndLinksToFilesAreWritten)
{
    QTemporaryDir dir;
    for (const QString& name : {QString(255, 'l'), QString(127, QChar(0xE9)) + "x"}) {
        AtomicFile kept(dir.filePath(name), AtomicFile::Existing::Keep);
        kept.write("kept", 4);
        EXPECT_TRUE(kept.commitIfFree(dir.filePath(name)));
        ASSERT_TRUE(QFile::link(dir.filePath(name), dir.filePath(name.left(10))));
        AtomicFile replaced(dir.filePath(name.left(10)));
        replaced.write("replaced", 8);
        replaced.commit();
        EXPECT_EQ(readAll(dir.filePath(name)), "replaced");
        EXPECT_TRUE(QFileInfo(dir.filePath(name.left(10))).isSymLink());
        EXPECT_THROW(AtomicFile(dir.filePath(name + "x")), HostError);
    }
    EXPECT_EQ(entries(dir.path()).size(), 4);
}

struct Refusal {
    const char* name;
    std::function<QString(const QString& dir)> prepare; // gives the target
    const char* reason;
};

TEST(AtomicWrite, RefusesWithAReasonAndTouchesNothing)
{
    const QList<Refusal> cases = {
        {"read-only file",
         [](const QString& dir) {
             const QString path = dir + "/ro.bmp";
             writeFile(path, "old");
             QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
             return path;
         },
         "read-only"},
        {"missing folder", [](const QString& dir) { return dir + "/missing/x.bmp"; }, "does not exist"},
        {"name of a folder",
         [](const QString& dir) {
             QDir(dir).mkdir("sub.bmp");
             return dir + "/sub.bmp";
         },
         "folder"},
        {"socket",
         [](const QString& dir) {
             sockaddr_un address{AF_UNIX, {}};
             std::strncpy(address.sun_path, QFile::encodeName(dir + "/s.bmp").constData(), sizeof address.sun_path - 1);
             bind(socket(AF_UNIX, SOCK_STREAM, 0), reinterpret_cast<sockaddr*>(&address), sizeof address);
             return dir + "/s.bmp";
         },
         "socket"},
        {"link that leads nowhere", [](const QString& dir) { QFile::link("/media/gone/x.bmp", dir + "/g.bmp"); return dir + "/g.bmp"; },
         "/media/gone/x.bmp, which does not exist"},
        {"link loop", [](const QString& dir) { QFile::link(dir + "/a.bmp", dir + "/a.bmp"); return dir + "/a.bmp"; }, "link"},
    };
    for (const Refusal& c : cases) {
        QTemporaryDir dir;
        const QString target = c.prepare(dir.path());
        const QStringList before = entries(dir.path());
        const bool file = QFileInfo(target).isFile();
        try {
            AtomicFile file(target);
            FAIL() << c.name << ": no error";
        } catch (const HostError& error) {
            EXPECT_TRUE(error.description().contains(c.reason)) << c.name << ": " << error.description().toStdString();
            EXPECT_TRUE(error.description().contains(QDir::toNativeSeparators(target))) << c.name;
        }
        EXPECT_EQ(entries(dir.path()), before) << c.name;
        EXPECT_EQ(QFileInfo(target).isFile(), file) << c.name;
    }
}

} // namespace
