#include "app/CommandLine.h"
#include "app/ShortcutSave.h"
#include "app/frmMain.h"
#include "forms/Sound.h"
#include "host/Files.h"
#include "tests/support/BitmapFiles.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/Processes.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>

using namespace testing_support;

namespace {

const QString kNoFileName = "Prompt to save is OFF and not filename has been entered.";
const QString kNumbersUsedUp = "Already 10000 files with that prefix - use new prefix";

QImage capturePicture()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb((x / 16) * 80, (y / 12) * 60, 200));
    return image;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

class SaveCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        QGuiApplication::clipboard()->setImage(capture);
        form.Show();
        form.txtFileName->setText(dir.filePath("shot"));
    }

    void TearDown() override
    {
        form.Unload();
        clearSettings();
        QDir::setCurrent(QDir::homePath());
    }

    void save() { QTest::mouseClick(form.cmdSave, Qt::LeftButton); }

    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }


    const QImage capture = capturePicture();
    QTemporaryDir dir;
    frmMain form;
    ModalWatcher watcher;
    QSignalSpy beeps{&forms::Sound::instance(), &forms::Sound::beeped};
};

struct NamingCase {
    const char* name;
    QString box;             // "%1" stands for the test folder
    int autoIncrement;
    int existingNumbers;     // shot001.BMP .. shotNNN.BMP exist beforehand
    QString expected;        // the file the save writes, in the test folder
};

class SaveNaming : public SaveCommand, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(SaveNaming, WritesTheExpectedFileShowsItAndBeepsOnce)
{
    const NamingCase& c = GetParam();
    for (int n = 1; n <= c.existingNumbers; ++n)
        touch(dir.filePath(QString("shot%1.BMP").arg(n, 3, 10, QLatin1Char('0'))));
    form.txtFileName->setText(c.box.arg(dir.path()));
    form.chkAutoIncrementFilename->setValue(c.autoIncrement);
    save();
    const QString expected = dir.filePath(c.expected);
    EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
    EXPECT_EQ(testing_support::bmpBitCount(expected), 4);
    EXPECT_EQ(files().size(), c.existingNumbers + 1);
    EXPECT_EQ(form.lblLastMade->Caption(), expected);
    EXPECT_EQ(beeps.count(), 1);
    EXPECT_TRUE(form.Picture1->Picture().isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SaveNaming,
    ::testing::Values(NamingCase{"FirstNumber", "%1/shot", 1, 0, "shot001.BMP"},
                      NamingCase{"AfterNine", "%1/shot", 1, 9, "shot010.BMP"},
                      NamingCase{"AfterNineHundredNinetyNine", "%1/shot", 1, 999, "shot1000.BMP"},
                      NamingCase{"NumberedPrefixTrimmed", "  %1/shot  ", 1, 2, "shot003.BMP"},
                      NamingCase{"PlainNameGetsBmp", "%1/shot", 0, 0, "shot.BMP"},
                      NamingCase{"LowerCaseBmpKept", "%1/shot.bmp", 0, 0, "shot.bmp"},
                      NamingCase{"MixedCaseBmpKept", "%1/Shot.bMp", 0, 0, "Shot.bMp"},
                      NamingCase{"PlainNameTrimmed", "  %1/shot  ", 0, 0, "shot.BMP"},
                      NamingCase{"DatedPrefix", "%1/shot-%Y-", 1, 0, QString("shot-%1-001.BMP").arg(QDate::currentDate().year())},
                      NamingCase{"DatedName", "%1/shot-%Y", 0, 0, QString("shot-%1.BMP").arg(QDate::currentDate().year())}),
    [](const ::testing::TestParamInfo<NamingCase>& info) { return std::string(info.param.name); });

// The keyboard shortcut handed to the window: saved where it says, with the
// window's options, and shown as the window's own save.
TEST_F(SaveCommand, ASaveAskedFromOutsideIsShownAsTheWindowsOwn)
{
    const QString given = dir.filePath("given.bmp");
    EXPECT_EQ(form.saveFor(given, std::nullopt), given);
    EXPECT_EQ(form.lblLastMade->Caption(), given);
    EXPECT_EQ(testing_support::bmpBitCount(given), 4);
    EXPECT_EQ(beeps.count(), 1);
}

TEST_F(SaveCommand, WhenAllTenThousandAndOneNumbersAreTakenItSaysSoAndWritesNothing)
{
    for (int n = 1; n <= 10001; ++n)
        touch(dir.filePath(QString("shot%1.BMP").arg(n, 3, 10, QLatin1Char('0'))));
    save();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].text, kNumbersUsedUp);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(files().size(), 10001);
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
}

TEST_F(SaveCommand, TenThousandTakenLeavesTheLastNumberFree)
{
    for (int n = 1; n <= 10000; ++n)
        touch(dir.filePath(QString("shot%1.BMP").arg(n, 3, 10, QLatin1Char('0'))));
    save();
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_EQ(testing_support::bmpBitCount(dir.filePath("shot10001.BMP")), 4);
}

TEST_F(SaveCommand, AnExistingFileIsReplacedWithoutAQuestion)
{
    form.chkAutoIncrementFilename->setValue(0);
    QFile old(dir.filePath("shot.BMP"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    // A file the person made private stays so.
    old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    save();
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_EQ(testing_support::bmpBitCount(dir.filePath("shot.BMP")), 4);
    EXPECT_LT(QFileInfo(dir.filePath("shot.BMP")).size(), 100000);
    EXPECT_EQ(QFileInfo(dir.filePath("shot.BMP")).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST_F(SaveCommand, ABoxOfBlanksIsNoNameAndWritesNothingInTheCurrentFolder)
{
    QDir::setCurrent(dir.path());
    form.txtFileName->setText("   ");
    for (int numbered : {0, 1}) {
        form.chkAutoIncrementFilename->setValue(numbered);
        save();
    }
    EXPECT_EQ(watcher.texts(), QStringList({kNoFileName, kNoFileName}));
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(SaveCommand, MessagesForAMissingCaptureAndAMissingNameHaveNoIcon)
{
    QGuiApplication::clipboard()->setText("text only");
    save();
    QGuiApplication::clipboard()->setImage(capture);
    form.txtFileName->setText(QString());
    save();
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_EQ(watcher.messages()[0].text, kNoCapture);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.messages()[0].title, "QORIX-Capture");
    EXPECT_EQ(watcher.messages()[1].text, kNoFileName);
    EXPECT_EQ(watcher.messages()[1].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(beeps.count(), 0);
}

TEST_F(SaveCommand, ThePromptOpensEmptyAndItsNameIsWrittenAsTyped)
{
    form.chkPrompt->setValue(1);
    QString shownName = "not read";
    watcher.queue([&](QWidget* window) {
        auto* text = window->findChild<forms::TextBox*>("txtFileName");
        shownName = text->Text();
        QTest::keyClicks(text, dir.filePath("a"));
        QTest::keyClick(text, Qt::Key_Return);
    });
    save();
    EXPECT_EQ(shownName, "");
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_EQ(files(), QStringList{"a"});
    EXPECT_EQ(testing_support::bmpBitCount(dir.filePath("a")), 4);
    EXPECT_EQ(form.lblLastMade->Caption(), dir.filePath("a"));
    EXPECT_EQ(beeps.count(), 1);
}

TEST_F(SaveCommand, ThePromptWorksWithAnEmptyFilenameBoxAndAnEmptyAnswerFailsCritically)
{
    form.chkPrompt->setValue(1);
    form.txtFileName->setText(QString());
    watcher.queue([](QWidget* window) { window->findChild<QPushButton*>("cmdOK")->click(); });
    save();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.messages()[0].text.contains("no file name")) << watcher.messages()[0].text.toStdString();
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
}

TEST_F(SaveCommand, CancelAndTheCloseBoxOfThePromptEndTheSaveSilently)
{
    form.chkPrompt->setValue(1);
    watcher.queue([](QWidget* window) { window->findChild<QPushButton*>("cmdCancel")->click(); });
    save();
    watcher.queue([](QWidget* window) { window->close(); });
    save();
    EXPECT_EQ(watcher.pendingAnswers(), 0);
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(beeps.count(), 0);
}

TEST_F(SaveCommand, TheOneShotFlagWritesTheFixedFileWhateverTheOptionsAndOnlyOnce)
{
    const QString fixed = CaptureFilePath();
    QFile::remove(fixed);
    form.chkPrompt->setValue(1);
    form.txtFileName->setText(QString());
    form.SaveToAppFolder = true;
    save();
    EXPECT_FALSE(form.SaveToAppFolder);
    EXPECT_EQ(testing_support::bmpBitCount(fixed), 4);
    EXPECT_EQ(form.lblLastMade->Caption(), fixed);
    EXPECT_TRUE(fixed.endsWith("/QORIX-Capture/tolvo.bmp")) << fixed.toStdString();

    // The next save is an ordinary one again: it asks for the name.
    form.chkPrompt->setValue(0);
    form.txtFileName->setText(dir.filePath("shot"));
    save();
    EXPECT_EQ(files(), QStringList{"shot001.BMP"});
    EXPECT_TRUE(watcher.messages().isEmpty());
    QFile::remove(fixed);
}

TEST_F(SaveCommand, TheOneShotFlagIsClearedEvenWithoutACapture)
{
    QGuiApplication::clipboard()->setText("no picture");
    form.SaveToAppFolder = true;
    save();
    EXPECT_FALSE(form.SaveToAppFolder);
    EXPECT_EQ(watcher.texts(), QStringList{kNoCapture});
    EXPECT_FALSE(QFile::exists(CaptureFilePath()));
}

struct DepthCase {
    const char* option;
    int bits;
};

TEST_F(SaveCommand, EachColourOptionWritesItsDepthAndTheDisplayDepthDecodesToTheCapture)
{
    form.chkAutoIncrementFilename->setValue(0);
    for (const DepthCase& d : {DepthCase{"OptMonochrome", 1}, DepthCase{"opt16", 4}, DepthCase{"opt256", 8},
                               DepthCase{"optDisplayCard", 24}}) {
        form.window()->findChild<forms::OptionButton*>(d.option)->setValue(true);
        form.txtFileName->setText(dir.filePath(d.option));
        save();
        const QString path = dir.filePath(QString(d.option) + ".BMP");
        EXPECT_EQ(testing_support::bmpBitCount(path), d.bits) << d.option;
        if (d.bits >= 4) {
            EXPECT_EQ(QImageReader(path).read().convertToFormat(QImage::Format_RGB32), capture) << d.option;
        }
    }
    EXPECT_EQ(beeps.count(), 4);
    EXPECT_TRUE(watcher.messages().isEmpty());
}

TEST_F(SaveCommand, WithNoColourOptionSelectedItSaysSoAndWritesNothing)
{
    form.opt16->setValue(false);
    save();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("No colour depth is selected"));
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
}

TEST_F(SaveCommand, TheThumbnailTakesTheCaptureOnlyWhenTicked)
{
    QImage previous(10, 10, QImage::Format_RGB32);
    previous.fill(Qt::green);
    for (int thumbnail : {0, 2, 1}) {
        form.Image1->setPicture(previous);
        form.chkThumbnail->setValue(thumbnail);
        save();
        EXPECT_EQ(form.Image1->Picture() == capture, thumbnail == 1) << "thumbnail " << thumbnail;
    }
    // A refresh replaces the picture only: stretching and size stay.
    EXPECT_TRUE(form.Image1->Stretch());
    EXPECT_EQ(form.Image1->Width(), 4836);
}

TEST_F(SaveCommand, AGreyedNumberingBoxBuildsNoNameAndTheWriteFailsCritically)
{
    form.chkAutoIncrementFilename->setValue(2);
    save();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(beeps.count(), 0);
    // Nothing is undone: the thumbnail and Picture1 keep the capture.
    EXPECT_EQ(form.Image1->Picture(), capture);
    EXPECT_EQ(form.Picture1->Picture(), capture);
    EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
}

TEST_F(SaveCommand, AFailedWriteShowsTheCriticalErrorNamingTheFile)
{
    form.txtFileName->setText(dir.filePath("missing/shot"));
    save();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.messages()[0].text.contains(dir.filePath("missing/shot001.BMP")))
        << watcher.messages()[0].text.toStdString();
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_EQ(form.lblLastMade->Caption(), "Last Made:");
}

// The capture of copy `copy` in round `round`: a colour of its own.
QRgb captureColour(int copy, int round)
{
    return qRgb(40 + copy * 60, round, 90);
}

// Copies of the program save to one numbered prefix at the same moment,
// round after round: every capture is kept in a file of its own, and each
// copy's "Last Made:" names the file that holds its capture.
// A save without the window shows no window but the prompt, and stores nothing.
TEST(ShortcutSave, ShowsNoWindowButThePromptWithTheStoredOptions)
{
    clearSettings();
    QTemporaryDir dir;
    storeSetting("Defaults", "SavePrompt", "1");
    storeSetting("Defaults", "256Colurs", "True");
    const QMap<QString, QString> stored = storedSettings("Defaults");
    QGuiApplication::clipboard()->setImage(capturePicture());
    ModalWatcher watcher;
    QStringList windows, prompts;
    watcher.queue([&](QWidget* prompt) {
        prompts << prompt->windowTitle();
        for (const QWidget* window : QApplication::topLevelWidgets())
            windows << window->windowTitle();
        auto* text = prompt->findChild<forms::TextBox*>("txtFileName");
        QTest::keyClicks(text, dir.filePath("asked"));
        QTest::keyClick(text, Qt::Key_Return);
    });
    cli::Request quiet;
    quiet.quiet = true;
    EXPECT_EQ(saveFromShortcut(quiet), 0);
    EXPECT_EQ(windows, prompts);
    EXPECT_EQ(testing_support::bmpBitCount(dir.filePath("asked")), 8);
    EXPECT_EQ(storedSettings("Defaults"), stored);
    clearSettings();
}

TEST(NumberedSavesOfSeveralCopies, NeverReplaceOneAnother)
{
    constexpr int kCopies = 3, kRounds = 20;
    if (const QByteArray copy = qgetenv("QORIX_COPY"); !copy.isEmpty()) {
        ModalWatcher watcher;
        frmMain form;
        form.Show();
        form.opt256->setValue(true);
        std::string prefix;
        for (int round = 0; std::getline(std::cin, prefix); ++round) {
            QImage capture(320, 240, QImage::Format_RGB32);
            capture.fill(captureColour(copy.toInt(), round));
            QGuiApplication::clipboard()->setImage(capture);
            form.txtFileName->setText(QString::fromStdString(prefix));
            form.cmdSave_Click();
            std::cout << "Last Made: " << form.lblLastMade->Caption().toStdString() << std::endl;
        }
        EXPECT_TRUE(watcher.messages().isEmpty());
        form.Unload();
        return;
    }
    QTemporaryDir dir;
    QProcess copies[kCopies];
    for (int copy = 0; copy < kCopies; ++copy)
        testing_support::startTest(copies[copy], "NumberedSavesOfSeveralCopies.*", {QString("QORIX_COPY=%1").arg(copy)}, false);
    for (int round = 0; round < kRounds; ++round) {
        const QString prefix = dir.filePath(QString("round%1-shot").arg(round));
        for (QProcess& copy : copies)
            copy.write(prefix.toUtf8() + "\n");
        for (QProcess& copy : copies)
            copy.waitForBytesWritten();
        for (int copy = 0; copy < kCopies; ++copy) {
            QString made;
            while (!made.startsWith("Last Made: ")) {
                while (!copies[copy].canReadLine())
                    ASSERT_TRUE(copies[copy].waitForReadyRead(20000)) << "round " << round;
                made = QString::fromUtf8(copies[copy].readLine()).trimmed();
            }
            made.remove(0, 11);
            EXPECT_TRUE(made.startsWith(prefix)) << made.toStdString();
            EXPECT_EQ(QImage(made).pixel(0, 0), captureColour(copy, round)) << made.toStdString();
        }
        // Every capture kept, and no temporary file left behind.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), (round + 1) * kCopies) << "round " << round;
    }
    for (QProcess& copy : copies) {
        copy.closeWriteChannel();
        EXPECT_TRUE(copy.waitForFinished(20000));
        EXPECT_EQ(copy.exitCode(), 0);
    }
}

} // namespace
