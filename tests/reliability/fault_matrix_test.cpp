// Under faults and bad input the program goes on, tells the user clearly,
// and never loses or damages a file.
#include "app/Options.h"
#include "app/frmMain.h"
#include "capture/modcap.h"
#include "email/frmEmail.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "host/Settings.h"
#include "mail/MailService.h"
#include "pictures/Picture.h"
#include "tests/support/Files.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/PngChunks.h"
#include "tests/support/Processes.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/TestSettings.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <atomic>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

// A failing disk, where the program's files meet the system: while set, the
// sync of a file's data, or of a folder, fails as it does when the disk does.
std::atomic<bool> failDataSync{false}, failFolderSync{false};

extern "C" int fdatasync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    if (!failDataSync)
        return real(fd);
    errno = EIO;
    return -1;
}

extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    struct stat status {};
    if (!failFolderSync || fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode))
        return real(fd);
    errno = EIO;
    return -1;
}

using namespace testing_support;

using testing_support::writeFile;

namespace {

// Every file under a folder with a digest of its bytes: what "nothing lost,
// nothing damaged, nothing left behind" is checked against.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(QDir(folder).relativeFilePath(path),
                     file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                                    : QByteArray("<folder or unreadable>"));
    }
    return files;
}

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    for (int x = 0; x < width; x += 7)
        image.setPixel(x, x % height, qRgb(x % 256, 200, 100));
    return image;
}

// A PNG that claims a size in its header and holds almost nothing else.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray header(8, 0);
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header.append("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + testing_support::pngChunk("IHDR", header)
           + testing_support::pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8))
           + testing_support::pngChunk("IEND", {});
}

void putOnClipboard(const QString& format, const QByteArray& bytes)
{
    auto* data = new QMimeData;
    data->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        writeFile(dir.filePath("keep.BMP"), "an earlier capture");
        QGuiApplication::clipboard()->setImage(picture(64, 48));
        form.Show();
        form.chkAutoIncrementFilename->setValue(0);
        before = snapshot(dir.path());
    }
    void TearDown() override
    {
        form.Unload();
        clearSettings();
    }

    // Saves to a name; expects one critical message that says `says`, and the
    // folder exactly as it was.
    void expectRefusedSave(const QString& name, const QString& says)
    {
        form.txtFileName->setText(name);
        QTest::mouseClick(form.cmdSave, Qt::LeftButton);
        ASSERT_EQ(watcher.messages().size(), 1) << name.toStdString();
        EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(watcher.messages()[0].text.contains(says, Qt::CaseInsensitive))
            << watcher.messages()[0].text.toStdString();
        EXPECT_EQ(snapshot(dir.path()), before);
        EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
    }

    QTemporaryDir dir;
    frmMain form;
    ModalWatcher watcher;
    QMap<QString, QByteArray> before;
};

TEST_F(SaveFaults, AReadOnlyTargetIsRefusedAndKept)
{
    QFile::setPermissions(dir.filePath("keep.BMP"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    expectRefusedSave(dir.filePath("keep.BMP"), "read-only");
}

TEST_F(SaveFaults, AMissingFolderIsNamed)
{
    expectRefusedSave(dir.filePath("no such folder/shot"), "does not exist");
}

TEST_F(SaveFaults, ANameThatIsAFolderIsRefused)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("album.bmp"));
    before = snapshot(dir.path());
    expectRefusedSave(dir.filePath("album.bmp"), "a folder of that name");
}

TEST_F(SaveFaults, ANameTheFileSystemRefusesIsReported)
{
    expectRefusedSave(dir.filePath(QString(300, 'x')), "could not write");
}

TEST_F(SaveFaults, AClipboardPictureWithRowsTooLongIsRefusedBeforeTheFileIsTouched)
{
    QGuiApplication::clipboard()->setImage(picture(40000, 10));
    form.opt256->setValue(true);
    expectRefusedSave(dir.filePath("keep.BMP"), "32764");
}

TEST_F(SaveFaults, AHugeClipboardPictureIsRefusedBeforeItsPixelsAreRead)
{
    putOnClipboard("image/png", pngClaiming(20000, 20000));
    expectRefusedSave(dir.filePath("shot"), "too large (20000 x 20000 pixels)");
    // The preview says the same, and the thumbnail stays empty.
    watcher.clearMessages();
    QTest::mouseClick(form.cmdPreview, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("too large"));
    EXPECT_TRUE(form.Image1->Picture().isNull());
}

TEST_F(SaveFaults, AClipboardWhoseOwnerWentAwayOrWhosePictureIsDamagedIsReported)
{
    putOnClipboard("image/png", QByteArray());
    expectRefusedSave(dir.filePath("shot"), "no longer holds a picture");
    watcher.clearMessages();
    static const char damaged[] = "\x89PNG\r\n\x1a\n and then nothing sensible";
    putOnClipboard("image/png", QByteArray(damaged, sizeof(damaged) - 1));
    expectRefusedSave(dir.filePath("shot"), "cannot be read");
}

class WriterFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A folder that "nobody" may enter and read but not write.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
        writeFile(dir.filePath("keep.bmp"), "an earlier capture");
        box.setPicture(picture(300, 200));
        before = snapshot(dir.path());
    }

    QTemporaryDir dir;
    QWidget window;
    forms::PictureBox box{&window, "Picture1", {0, 0, 100, 100}, true};
    QMap<QString, QByteArray> before;
};

int describedFailure(const std::function<void()>& write, const QString& says)
{
    try {
        write();
    } catch (const host::HostError& error) {
        return error.description().contains(says, Qt::CaseInsensitive) ? 0 : 2;
    }
    return 1;
}

TEST_F(WriterFaults, AFolderThatMayNotBeWrittenKeepsItsFiles)
{
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                          | QFileDevice::ExeOther);
    const QString target = dir.filePath("keep.bmp");
    EXPECT_EQ(runInChild([&] { return describedFailure([&] { capture::SaveBitmap(box, target, 8); }, "permission"); }, true), 0);
    EXPECT_EQ(runInChild([&] { return describedFailure([&] { pictures::SavePicture(box.Picture(), target); }, "permission"); }, true), 0);
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(WriterFaults, AFileSizeLimitMidWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const QString target = dir.filePath("keep.bmp");
    for (bool displayDepth : {false, true}) {
        const int result = runInChild(
            [&] {
                rlimit limit{20'000, 20'000};
                setrlimit(RLIMIT_FSIZE, &limit);
                return describedFailure(
                    [&] {
                        if (displayDepth)
                            pictures::SavePicture(box.Picture(), target);
                        else
                            capture::SaveBitmap(box, target, 8);
                    },
                    // The file and the system's reason, at every depth.
                    QDir::toNativeSeparators(target) + ": " + strerror(EFBIG));
            },
            false);
        EXPECT_EQ(result, 0) << "display depth " << displayDepth;
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

// The disk fails at the end of a save: the sync of the file's data (the old
// file stays) or of its new name in the folder. Either is said.
TEST_F(WriterFaults, AFailingDiskAtTheLastSyncIsReported)
{
    const QString target = dir.filePath("keep.bmp");
    for (std::atomic<bool>* fault : {&failDataSync, &failFolderSync}) {
        *fault = true;
        EXPECT_EQ(describedFailure([&] { capture::SaveBitmap(box, target, 8); },
                                   QDir::toNativeSeparators(target) + ": " + strerror(EIO)),
                  0);
        *fault = false;
        if (fault == &failDataSync) {
            EXPECT_EQ(snapshot(dir.path()), before);
        }
    }
}

class SettingsFaults : public ::testing::Test {
protected:
    void SetUp() override { clearSettings(); }
    void TearDown() override { clearSettings(); }

    QByteArray storeBytes() const
    {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    ModalWatcher watcher;
};

// Damaged as our check finds it or as only Qt's reader does: told once at
// the start or by hand while the program runs, and no close in that run
// writes the file.
TEST_F(SettingsFaults, ADamagedStoreIsReportedOnceAndNeverWrittenOver)
{
    static const char binary[] = "\xff\xfe\x00\x01 binary \x00 junk [[[";
    static const char nul[] = "[Defaults]\nFilename=/keep/me\0\n";
    for (const QByteArray& damaged : {QByteArray("[Defaults]\nFilename=/keep/me\n[Mail\nServer=smtp://x:25\n"),
                                      QByteArray(binary, sizeof(binary) - 1), QByteArray(nul, sizeof(nul) - 1),
                                      QByteArray("a line before any section\n[Defaults]\nFilename=/tmp/keep\n"),
                                      QByteArray("[Defaults]\nFilename=/tmp/keep\nThumbnail\n")})
    for (const bool whileRunning : {false, true}) {
        writeFile(settingsFile(), whileRunning ? QByteArray("[Defaults]\nFilename=/keep/me\n") : damaged);
        {
            frmMain form;
            form.Show();
            if (whileRunning) {
                writeFile(settingsFile(), damaged);
            } else {
                EXPECT_EQ(form.txtFileName->Text(), "C:\\Pravlek");
                form.emailDialog().Show();
                form.emailDialog().Unload();
            }
            form.Unload();
        }
        EXPECT_EQ(storeBytes(), damaged);
        ASSERT_EQ(watcher.messages().size(), 1) << damaged.toStdString();
        EXPECT_TRUE(watcher.messages()[0].text.contains("damaged")) << watcher.messages()[0].text.toStdString();
        EXPECT_TRUE(watcher.messages()[0].text.contains("left as it is")) << watcher.messages()[0].text.toStdString();
        watcher.clearMessages();
        // Once removed, it is forgotten.
        clearSettings();
        EXPECT_EQ(host::GetSetting(host::applicationName(), "Defaults", "Filename", "none"), "none");
    }
}

// A disk with no room left says so; the store stays as it was.
TEST_F(SettingsFaults, AFullDiskIsNamedAndTheStoreKept)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(host::applicationName() + ".conf");
    const int result = runInChild(
        [&] {
            // A file system of its own, filled up: mounted where only this process sees it.
            if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                return 100;
            if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                || mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0, "size=64k") != 0)
                return 101;
            writeFile(file, "[Defaults]\nFilename=/keep/me\n");
            QFile filler(folder.filePath("filler"));
            filler.open(QIODevice::WriteOnly);
            while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {
            }
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
            const int said = describedFailure(
                [] { host::SaveSetting(host::applicationName(), "Defaults", "Filename", QString(100000, 'n')); },
                strerror(ENOSPC));
            return said != 0 ? said : testing_support::readAll(file) == "[Defaults]\nFilename=/keep/me\n" ? 0 : 3;
        },
        false);
    if (result == 100 || result == 101)
        GTEST_SKIP() << "no file system of its own can be mounted here";
    EXPECT_EQ(result, 0);
}

TEST_F(SettingsFaults, AStoreThatMayNotBeWrittenIsReportedAndKept)
{
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                             | QFileDevice::ExeOther | QFileDevice::WriteOwner);
    const QString file = folder.filePath(host::applicationName() + ".conf");
    writeFile(file, "[Defaults]\nFilename=/keep/me\n");
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                             | QFileDevice::ExeOther);
    const int result = runInChild(
        [&] {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
            if (host::GetSetting(host::applicationName(), "Defaults", "Filename") != "/keep/me")
                return 3;
            return describedFailure([] { host::SaveSetting(host::applicationName(), "Defaults", "Filename", "new"); },
                                    "read-only");
        },
        true);
    EXPECT_EQ(result, 0);
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "[Defaults]\nFilename=/keep/me\n");
}

class AddressBookFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        host::SaveSetting(host::applicationName(), "Mail", "Server", "smtp://127.0.0.1:1");
        host::SaveSetting(host::applicationName(), "Mail", "From", "me@example.org");
        host::SaveSetting(host::applicationName(), "Mail", "AddressBook", book);
        dialog.Show();
        dialog.txtDisplayName->setText("typed@example.org");
    }
    void TearDown() override
    {
        dialog.Unload();
        clearSettings();
    }

    // Opens "To:" and notes what the address book dialog says, then cancels it.
    void pickAndCancel(QString* note)
    {
        watcher.queue([note](QWidget* window) {
            auto* label = window->findChild<QLabel*>("note");
            *note = label ? label->text() : QString();
            window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    }

    QTemporaryDir dir;
    QString book = dir.filePath("contacts.vcf");
    frmPicture picture{[] { return QImage(); }};
    frmEmail dialog{picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
    ModalWatcher watcher;
};

TEST_F(AddressBookFaults, AMissingBookShowsAnEmptyListThatSaysSo)
{
    QString note;
    pickAndCancel(&note);
    EXPECT_TRUE(note.contains("empty")) << note.toStdString();
    EXPECT_FALSE(QFile::exists(book));
    EXPECT_EQ(dialog.txtDisplayName->Text(), "typed@example.org");
}

TEST_F(AddressBookFaults, AMalformedBookIsSaidSoAndKeptByteForByte)
{
    static const char raw[] = "\x00\x01\x02 not a vcard at all\r\nBEGIN:VCARD\r\nFN:Half";
    const QByteArray junk(raw, sizeof(raw) - 1);
    writeFile(book, junk);
    QString note;
    pickAndCancel(&note);
    EXPECT_TRUE(note.contains("holds no contacts that can be read")) << note.toStdString();
    QFile file(book);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), junk);
}

TEST_F(AddressBookFaults, AnUnreadableBookIsReportedAndThePickChangesNothing)
{
    ASSERT_TRUE(QDir().mkpath(book));
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("address book")) << watcher.messages()[0].text.toStdString();
    EXPECT_EQ(dialog.txtDisplayName->Text(), "typed@example.org");
}

TEST(MailFaults, AServerThatDropsTheConnectionMidTransferIsReportedAndTheDialogStaysOpen)
{
    clearSettings();
    SmtpTestServer dropping({"--drop"});
    host::SaveSetting(host::applicationName(), "Mail", "Server", dropping.url());
    host::SaveSetting(host::applicationName(), "Mail", "From", "me@example.org");
    writeFile(CaptureFilePath(), QByteArray(200'000, 'B'));
    frmPicture picture{[] { return QImage(); }};
    frmEmail dialog{picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
    ModalWatcher watcher;
    dialog.Show();
    dialog.txtDisplayName->setText("alice@example.org");
    QTest::mouseClick(dialog.cmdSend, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.startsWith("Could not send the e-mail")) << watcher.messages()[0].text.toStdString();
    EXPECT_TRUE(watcher.messages()[0].text.contains("closed the connection during the message. Trying again later may help"))
        << watcher.messages()[0].text.toStdString();
    EXPECT_TRUE(dialog.IsLoaded());
    dialog.Unload();
    QFile::remove(CaptureFilePath());
    clearSettings();
}

// An old capture that may not be removed fails like the save itself: it is
// told, the dialog opens, and that capture is never sent.
TEST(EmailFaults, AnOldCaptureThatCannotBeRemovedIsToldAndNeverSent)
{
    if (qEnvironmentVariableIsSet("QORIX_DATA")) { // run by a user who may not change the program's folder
        qputenv("XDG_DATA_HOME", qgetenv("QORIX_DATA"));
        host::SaveSetting(host::applicationName(), "Mail", "Server", qEnvironmentVariable("QORIX_SERVER"));
        host::SaveSetting(host::applicationName(), "Mail", "From", "me@example.org");
        ModalWatcher watcher;
        frmMain form;
        form.Show();
        QGuiApplication::clipboard()->setImage(picture(40, 30));
        watcher.queue([](QWidget* window) {
            window->findChild<QLineEdit*>("txtDisplayName")->setText("alice@example.org");
            QTimer::singleShot(0, window, [window] { // after this answer, so that the message it brings is answered
                window->findChild<QPushButton*>("cmdSend")->click();
                window->findChild<QPushButton*>("cmdCancel")->click();
            });
        });
        QTest::mouseClick(form.cmdEmail, Qt::LeftButton);
        ASSERT_EQ(watcher.messages().size(), 2);
        EXPECT_TRUE(watcher.messages()[0].text.startsWith("Could not delete " + CaptureFilePath()));
        EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(watcher.messages()[1].text.contains("no capture to send"));
        return form.Unload();
    }
    QTemporaryDir data;
    const QString folder = data.filePath("QORIX-Capture");
    QDir().mkpath(folder);
    writeFile(folder + "/tolvo.bmp", "an earlier capture");
    for (const QString& path : {data.path(), folder})
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther);
    const QMap<QString, QByteArray> before = snapshot(folder);
    SmtpTestServer server;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    startTest(child, "EmailFaults.*", {"QORIX_DATA=" + data.path(), "QORIX_SERVER=" + server.url()}, true);
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_EQ(snapshot(folder), before);
}

} // namespace
