#include "forms/CommonDialog.h"
#include "host/HostError.h"
#include "tests/support/ModalWatcher.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace host;
using testing_support::ModalWatcher;

namespace {

const QString kFilter = "Images (*.BMP;*.JPG;*.PCX;)|*.BMP;*.JPG;*.PCX;|All Files (*.*)|*.*";

TEST(FileDialogFilter, PatternsMatchAnyLetterCaseAndAllFilesMatchesEveryName)
{
    EXPECT_EQ(forms::CommonDialog::toNameFilters(kFilter),
              QStringList({"Images (*.BMP;*.JPG;*.PCX;) (*.[bB][mM][pP] *.[jJ][pP][gG] *.[pP][cC][xX])",
                           "All Files (*.*) (*)"}));
    EXPECT_EQ(forms::CommonDialog::toNameFilters(""), QStringList());
}

QStringList listedFiles(QFileDialog* dialog)
{
    auto* view = dialog->findChild<QListView*>("listView");
    QStringList names;
    QElapsedTimer timer;
    timer.start();
    // The folder is read in the background; wait until its files show.
    while (timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names << view->model()->index(row, 0, root).data().toString();
        if (!names.isEmpty() && timer.elapsed() > 300)
            break;
    }
    names.sort();
    return names;
}

TEST(FileDialog, ListsImagesOfAnyCaseAndAllFilesThenCancelRaises)
{
    QTemporaryDir dir;
    for (const char* name : {"shot.bmp", "SHOT2.BMP", "photo.Jpg", "old.pcx", "notes.txt", "README"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    forms::CommonDialog dialog;
    dialog.DialogTitle = "View file for: ";
    dialog.Filter = kFilter;
    dialog.InitDir = dir.path();
    dialog.CancelError = true;
    dialog.Flags = forms::CommonDialog::cdlOFNFileMustExist | forms::CommonDialog::cdlOFNHideReadOnly;

    QStringList images, all;
    QString title;
    ModalWatcher watcher;
    watcher.queue([&](QWidget* window) {
        auto* fileDialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(fileDialog, nullptr);
        title = fileDialog->windowTitle();
        images = listedFiles(fileDialog);
        fileDialog->selectNameFilter(fileDialog->nameFilters().at(1));
        all = listedFiles(fileDialog);
        fileDialog->reject();
    });
    try {
        dialog.ShowOpen();
        FAIL() << "no cancel error";
    } catch (const HostError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::Cancel);
    }
    EXPECT_EQ(title, "View file for: ");
    EXPECT_EQ(images, QStringList({"SHOT2.BMP", "old.pcx", "photo.Jpg", "shot.bmp"}));
    EXPECT_EQ(all, QStringList({"README", "SHOT2.BMP", "notes.txt", "old.pcx", "photo.Jpg", "shot.bmp"}));
}

TEST(FileDialog, ChoosingAFileGivesItsFullPath)
{
    QTemporaryDir dir;
    QFile(dir.filePath("a.BMP")).open(QIODevice::WriteOnly);
    forms::CommonDialog dialog;
    dialog.Filter = kFilter;
    dialog.InitDir = dir.path();
    ModalWatcher watcher;
    watcher.queue([&](QWidget* window) {
        auto* fileDialog = qobject_cast<QFileDialog*>(window);
        fileDialog->selectFile("a.BMP");
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName, dir.filePath("a.BMP"));
}

} // namespace
