#include "app/frmMain.h"
#include "forms/Screen.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Settings = QMap<QString, QString>;

struct StoreCase {
    const char* name;
    Settings stored;
    // What the window shows after loading.
    QString filename;
    int autoIncrement;
    int prompt;
    int thumbnail;
    const char* selected; // the one selected option button, or "" for none
    bool tall;
    // What unloading writes back, all eight keys.
    Settings written;
};

Settings writtenFor(const QString& filename, const QString& autoIncrement, const QString& prompt,
                    const QString& thumbnail, const char* selected)
{
    const QString sel(selected);
    return {{"Filename", filename},
            {"AutoIncrement", autoIncrement},
            {"SavePrompt", prompt},
            {"Thumbnail", thumbnail},
            {"16Colours", sel == "opt16" ? "True" : "False"},
            {"DisplayColours", sel == "optDisplayCard" ? "True" : "False"},
            {"2Colours", sel == "OptMonochrome" ? "True" : "False"},
            {"256Colurs", sel == "opt256" ? "True" : "False"}};
}

const Settings kAllFalse = {{"16Colours", "False"}, {"DisplayColours", "False"}, {"2Colours", "False"},
                            {"256Colurs", "False"}};

Settings with(Settings base, const Settings& more)
{
    for (auto it = more.begin(); it != more.end(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

QString selectedOption(const frmMain& form)
{
    QStringList selected;
    for (auto* option : {form.OptMonochrome.data(), form.opt16.data(), form.opt256.data(), form.optDisplayCard.data()})
        if (option->Value())
            selected << option->objectName();
    return selected.join(",");
}

class MainWindowStore : public ::testing::TestWithParam<StoreCase> {
protected:
    void SetUp() override { clearSettings(); }
    void TearDown() override { clearSettings(); }
};

TEST_P(MainWindowStore, LoadShowsTheStoredOptionsAndUnloadWritesThemBack)
{
    const StoreCase& c = GetParam();
    for (auto it = c.stored.begin(); it != c.stored.end(); ++it)
        storeSetting("Defaults", it.key(), it.value());

    ModalWatcher watcher;
    frmMain form;
    form.Load();
    EXPECT_EQ(form.txtFileName->Text(), c.filename);
    EXPECT_EQ(form.chkAutoIncrementFilename->Value(), c.autoIncrement);
    EXPECT_EQ(form.chkPrompt->Value(), c.prompt);
    EXPECT_EQ(form.chkThumbnail->Value(), c.thumbnail);
    EXPECT_EQ(selectedOption(form), c.selected);
    EXPECT_EQ(form.Height(), (c.tall ? 6446 : 3470) + CaptionHeight);
    EXPECT_EQ(form.ThumbnailBoxWidth, 4836);
    EXPECT_EQ(form.ThumbnailBoxHeight, 2580);

    form.Unload();
    EXPECT_EQ(storedSettings("Defaults"), c.written);
    EXPECT_TRUE(watcher.messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MainWindowStore,
    ::testing::Values(
        StoreCase{"FirstRun", {}, "", 1, 0, 1, "opt16", true, writtenFor("", "1", "0", "1", "opt16")},
        StoreCase{"EverythingStored",
                  with(kAllFalse, {{"Filename", "/tmp/shot"}, {"AutoIncrement", "0"}, {"SavePrompt", "1"},
                                   {"Thumbnail", "1"}, {"DisplayColours", "True"}}),
                  "/tmp/shot", 0, 1, 1, "optDisplayCard", true,
                  writtenFor("/tmp/shot", "0", "1", "1", "optDisplayCard")},
        StoreCase{"ThumbnailOff", {{"Thumbnail", "0"}}, "", 1, 0, 0, "opt16", false,
                  writtenFor("", "1", "0", "0", "opt16")},
        StoreCase{"TwoAnd256BothTrue", {{"2Colours", "True"}, {"256Colurs", "True"}}, "", 1, 0, 1, "opt256", true,
                  writtenFor("", "1", "0", "1", "opt256")},
        StoreCase{"AllColoursFalse", kAllFalse, "", 1, 0, 1, "", true, writtenFor("", "1", "0", "1", "")},
        StoreCase{"SixteenAWord", with(kAllFalse, {{"16Colours", "maybe"}}), "", 1, 0, 1, "opt16", true,
                  writtenFor("", "1", "0", "1", "opt16")},
        StoreCase{"NumericBooleans", {{"16Colours", "0"}, {"2Colours", "-1"}}, "", 1, 0, 1, "OptMonochrome", true,
                  writtenFor("", "1", "0", "1", "OptMonochrome")},
        StoreCase{"ThumbnailGreyed", {{"Thumbnail", "2"}}, "", 1, 0, 2, "opt16", false,
                  writtenFor("", "1", "0", "2", "opt16")},
        StoreCase{"AutoIncrementAWord", {{"AutoIncrement", "often"}}, "", 1, 0, 1, "opt16", true,
                  writtenFor("", "1", "0", "1", "opt16")},
        StoreCase{"AutoIncrementSeven", {{"AutoIncrement", "7"}, {"SavePrompt", "7"}}, "", 1, 0, 1, "opt16", true,
                  writtenFor("", "1", "0", "1", "opt16")}),
    [](const ::testing::TestParamInfo<StoreCase>& info) { return std::string(info.param.name); });

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { clearSettings(); }
    void TearDown() override { clearSettings(); }
};

TEST_F(MainWindow, OptionsChangedByTheUserComeBackAfterARestart)
{
    {
        frmMain form;
        form.Show();
        form.txtFileName->setFocus();
        QTest::keyClicks(form.txtFileName, "/home/me/cap");
        QTest::mouseClick(form.chkAutoIncrementFilename, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(form.chkPrompt, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(form.opt256, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(form.cmdClose, Qt::LeftButton);
        EXPECT_FALSE(form.IsLoaded());
    }
    frmMain form;
    form.Load();
    EXPECT_EQ(form.txtFileName->Text(), "/home/me/cap");
    EXPECT_EQ(form.chkAutoIncrementFilename->Value(), 0);
    EXPECT_EQ(form.chkPrompt->Value(), 1);
    EXPECT_EQ(selectedOption(form), "opt256");
    form.Unload();
}

TEST_F(MainWindow, TickingAndUntickingTheThumbnailChangesOnlyTheHeight)
{
    frmMain form;
    form.Show();
    const double width = form.Width();
    const int tallPixels = form.window()->height();
    QTest::mouseClick(form.chkThumbnail, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form.chkThumbnail->Value(), 0);
    EXPECT_EQ(form.Height(), 3470 + CaptionHeight);
    EXPECT_EQ(form.Width(), width);
    EXPECT_NEAR(tallPixels - form.window()->height(), (6446 - 3470) / forms::twipsPerLogicalPixel(), 1);
    EXPECT_TRUE(form.framePreview->isVisibleTo(form.window()));
    QTest::mouseClick(form.chkThumbnail, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form.Height(), 6446 + CaptionHeight);
    EXPECT_EQ(form.window()->height(), tallPixels);
    form.Unload();
}

// Each modal window belongs to the window it is opened from and has no
// minimize or maximize button: none can be hidden while its owner waits.
TEST_F(MainWindow, ModalWindowsBelongToTheWindowTheyAreOpenedFrom)
{
    frmMain form;
    form.Show();
    QApplication::setActiveWindow(form.window());
    QStringList seen;
    const auto note = [&seen](QWidget* modal, QWidget* owner) {
        seen << QString("%1 %2 %3").arg(modal->windowTitle()).arg(modal->parentWidget() == owner)
                    .arg(bool(modal->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QTimer::singleShot(0, modal, [modal] { modal->close(); });
    };
    ModalWatcher watcher;
    watcher.queue([&](QWidget* picture) { note(picture, form.window()); });
    QTest::mouseClick(form.Image1, Qt::LeftButton);
    watcher.queue([&](QWidget* email) {
        watcher.queue([&, email](QWidget* picture) { note(picture, email); note(email, form.window()); });
        QTimer::singleShot(0, email, [email] { email->findChild<QPushButton*>("cmdPreview")->click(); });
    });
    form.emailDialog().Show(forms::ShowMode::Modal, form.window());
    EXPECT_EQ(seen, QStringList({"Actual Size Bitmap 1 0", "Actual Size Bitmap 1 0", "e-Mail Screen Capture 1 0"}));
    form.Unload();
}

TEST_F(MainWindow, TheCloseBoxUnloadsAndWritesTheOptions)
{
    frmMain form;
    form.Show();
    QTest::mouseClick(form.chkThumbnail, Qt::LeftButton, {}, QPoint(5, 5));
    form.window()->close();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(storedSettings("Defaults").value("Thumbnail"), "0");
}

TEST_F(MainWindow, AStoreThatCannotBeReadOrWrittenLeavesTheDesignStateAndSaysSoOnce)
{
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    ModalWatcher watcher;
    frmMain form;
    form.Show();
    EXPECT_EQ(form.txtFileName->Text(), "C:\\Pravlek");
    EXPECT_EQ(form.chkAutoIncrementFilename->Value(), 1);
    EXPECT_EQ(form.chkThumbnail->Value(), 0);
    EXPECT_EQ(selectedOption(form), "opt16");
    EXPECT_EQ(form.Height(), 3470 + CaptionHeight);
    form.Unload();
    EXPECT_FALSE(form.IsLoaded());
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_TRUE(watcher.messages()[0].text.startsWith("Your options could not be read"));
    EXPECT_TRUE(watcher.messages()[0].text.contains(settingsFile()));
    EXPECT_TRUE(watcher.messages()[1].text.startsWith("Your options could not be saved"));
    EXPECT_EQ(watcher.messages()[1].icon, QMessageBox::NoIcon);
}

TEST_F(MainWindow, EveryControlStandsAtItsDesignPlace)
{
    frmMain form;
    form.Load();
    struct Place {
        forms::ControlGeometry* control;
        double left, top, width, height;
    };
    const QList<Place> places = {
        {form.frameFilename, 120, 96, 5052, 1332},      {form.txtFileName, 1128, 216, 3588, 288},
        {form.lblLastMade, 1152, 552, 2988, 276},       {form.cmdView, 3384, 624, 1560, 350},
        {form.chkThumbnail, 3240, 1032, 1788, 252},     {form.optDisplayCard, 312, 984, 2388, 240},
        {form.Frame3, 3408, 1488, 1764, 1836},          {form.cmdClose, 120, 1392, 1560, 350},
        {form.framePreview, 120, 3360, 5052, 2940},     {form.Image1, 120, 240, 4836, 2580},
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.control->Left(), p.left);
        EXPECT_EQ(p.control->Top(), p.top);
        EXPECT_EQ(p.control->Width(), p.width);
        EXPECT_EQ(p.control->Height(), p.height);
    }
    EXPECT_EQ(form.cmdView->text(), "&View a File");
    EXPECT_EQ(form.cmdPreview->text(), "&Preview Clipboard");
    EXPECT_EQ(form.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_FALSE(form.Picture1->isVisibleTo(form.window()));
    EXPECT_EQ(form.Caption(), testing_support::kMainWindowTitle);
    EXPECT_FALSE(form.window()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.window()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.window()->minimumSize(), form.window()->maximumSize());
    form.Unload();
}

} // namespace
