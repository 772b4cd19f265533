#include "app/frmMain.h"
#include "host/Files.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {


QImage picture(int width, int height, QRgb colour = qRgb(10, 120, 230))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    return image;
}

struct Thumbnail {
    QImage picture;
    bool stretch;
    double left, top, width, height;
    bool operator==(const Thumbnail&) const = default;
};

class Viewing : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        form.Show();
    }
    void TearDown() override
    {
        form.Unload();
        clearSettings();
    }

    Thumbnail thumbnail() const
    {
        const auto& i = *form.Image1;
        return {i.Picture(), i.Stretch(), i.Left(), i.Top(), i.Width(), i.Height()};
    }

    // Answers the actual-size window: notes its caption and closes it.
    void expectPictureWindow(QString* caption)
    {
        watcher.queue([caption](QWidget* window) {
            *caption = window->windowTitle();
            window->close();
        });
    }

    // Answers the file dialog: notes how it opened, then picks a file or cancels.
    void answerFileDialog(const QString& fileName, QString* folder = nullptr, QStringList* selected = nullptr)
    {
        watcher.queue([=](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            ASSERT_NE(dialog, nullptr);
            if (folder)
                *folder = dialog->directory().absolutePath();
            if (selected)
                *selected = dialog->selectedFiles();
            if (fileName.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(fileName);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    frmMain form;
    ModalWatcher watcher;
};

struct FitCase {
    int width, height;
    double expectedWidth, expectedHeight;
};

TEST_F(Viewing, PreviewFitsTheCaptureIntoTheThumbnail)
{
    const QList<FitCase> table = {
        {100, 50, 1500, 750},    // smaller: its own size
        {322, 172, 4830, 2580},  // as tall as the box: kept (strictly greater only)
        {323, 100, 4836, 2580},  // wider only: the box
        {300, 173, 4836, 2580},  // taller only: the box
        {1920, 1080, 4836, 2580} // a full screen: the box
    };
    for (const FitCase& c : table) {
        SCOPED_TRACE(QString("%1x%2").arg(c.width).arg(c.height).toStdString());
        const QImage capture = picture(c.width, c.height);
        QGuiApplication::clipboard()->setImage(capture);
        QString caption;
        expectPictureWindow(&caption);
        QTest::mouseClick(form.cmdPreview, Qt::LeftButton);
        EXPECT_EQ(caption, "Actual Size Bitmap");
        EXPECT_EQ(thumbnail(), (Thumbnail{capture, true, 120, 240, c.expectedWidth, c.expectedHeight}));
    }
    EXPECT_TRUE(watcher.messages().isEmpty());
}

TEST_F(Viewing, PreviewWithTextOnTheClipboardOnlySaysSo)
{
    QGuiApplication::clipboard()->setText("text");
    const Thumbnail before = thumbnail();
    QString caption = "not shown";
    expectPictureWindow(&caption);
    QTest::mouseClick(form.cmdPreview, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].text, kNoCapture);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(caption, "not shown");
    EXPECT_EQ(thumbnail(), before);
}

TEST_F(Viewing, ViewThenCancelChangesNothingAndSaysNothing)
{
    const Thumbnail before = thumbnail();
    QString folder;
    QStringList selected;
    answerFileDialog(QString(), &folder, &selected);
    QTest::mouseClick(form.cmdView, Qt::LeftButton);
    EXPECT_EQ(watcher.pendingAnswers(), 0);
    EXPECT_EQ(folder, host::AppFolder());
    EXPECT_TRUE(selected.isEmpty() || selected == QStringList{host::AppFolder()}) << selected.join(",").toStdString();
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_EQ(thumbnail(), before);
}

TEST_F(Viewing, AFileThatIsNotAPictureGivesTheCriticalMessageAndKeepsTheThumbnail)
{
    // A small picture first: the thumbnail then has its own size.
    QGuiApplication::clipboard()->setImage(picture(40, 30));
    QString caption;
    expectPictureWindow(&caption);
    QTest::mouseClick(form.cmdPreview, Qt::LeftButton);
    const Thumbnail before = thumbnail();

    const QString notes = QDir(host::AppFolder()).filePath("notes.txt");
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();
    answerFileDialog(notes);
    QString unexpected = "not shown";
    expectPictureWindow(&unexpected);
    QTest::mouseClick(form.cmdView, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.messages()[0].text.contains(notes)) << watcher.messages()[0].text.toStdString();
    EXPECT_EQ(unexpected, "not shown");
    EXPECT_EQ(thumbnail(), before);
    QFile::remove(notes);
}

TEST_F(Viewing, AViewedFileShowsWithItsPathAsCaptionAndTheThumbnailClickWithTheDesignCaption)
{
    const QString path = QDir(host::AppFolder()).filePath("seen.bmp");
    const QImage shot = picture(500, 100, qRgb(1, 2, 3));
    ASSERT_TRUE(shot.save(path, "BMP"));
    for (const QString& file : {path, QString(QORIX_TEST_DATA "/pcx/colours16-4plane.pcx")}) {
        answerFileDialog(file);
        QString caption;
        expectPictureWindow(&caption);
        QTest::mouseClick(form.cmdView, Qt::LeftButton);
        EXPECT_EQ(caption, file);
        EXPECT_TRUE(watcher.messages().isEmpty());
    }
    EXPECT_EQ(form.Image1->Picture().size(), QSize(37, 23));
    EXPECT_EQ(form.Image1->Width(), 37 * 15);

    QString caption;
    expectPictureWindow(&caption);
    QTest::mouseClick(form.Image1, Qt::LeftButton);
    EXPECT_EQ(caption, "Actual Size Bitmap");

    // Every opening starts in the program's folder with no file chosen.
    QString folder;
    QStringList selected;
    answerFileDialog(QString(), &folder, &selected);
    QTest::mouseClick(form.cmdView, Qt::LeftButton);
    EXPECT_EQ(folder, host::AppFolder());
    EXPECT_FALSE(selected.contains(path));
    QFile::remove(path);
}

TEST_F(Viewing, AThumbnailClickBeforeAnyPictureOpensAnEmptyWindow)
{
    QString caption;
    expectPictureWindow(&caption);
    QTest::mouseClick(form.Image1, Qt::LeftButton);
    EXPECT_EQ(caption, "Actual Size Bitmap");
    EXPECT_TRUE(watcher.messages().isEmpty());
}

} // namespace
