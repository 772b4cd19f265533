#include "dialogs/frmPrompt.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using testing_support::ModalWatcher;

namespace {

// Shows the prompt as the save command does and answers it with keys.
struct PromptRun {
    bool accepted = false;
    QString name;
    bool stillLoaded = false;
};

PromptRun runPrompt(frmPrompt& prompt, const std::function<void(QWidget*)>& answer)
{
    ModalWatcher watcher;
    watcher.queue([&](QWidget* window) {
        QApplication::setActiveWindow(window);
        answer(window);
    });
    prompt.Load();
    prompt.txtFileName->setText(QString());
    prompt.Show(forms::ShowMode::Modal);
    PromptRun run;
    run.accepted = PromptAccepted;
    run.stillLoaded = prompt.IsLoaded();
    if (PromptAccepted)
        run.name = prompt.txtFileName->Text();
    prompt.Unload();
    return run;
}

TEST(PromptDialog, HasItsDesignCaptionControlsAndTabOrder)
{
    frmPrompt prompt;
    prompt.Load();
    EXPECT_EQ(prompt.Caption(), "QORIX Capture - Prompt to Save");
    EXPECT_EQ(prompt.txtFileName->Text(), "C:\\Pravlek");
    EXPECT_EQ(prompt.cmdOK->Top(), 96);
    EXPECT_EQ(prompt.cmdCancel->Top(), 504);
    EXPECT_EQ(prompt.Label1->Left(), 0);
    EXPECT_TRUE(prompt.cmdOK->isDefault());
    EXPECT_EQ(prompt.txtFileName->nextInFocusChain(), prompt.cmdCancel.data());
    EXPECT_EQ(prompt.cmdCancel->nextInFocusChain(), prompt.cmdOK.data());
    EXPECT_FALSE(prompt.window()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    prompt.Unload();
}

TEST(PromptDialog, EnterInTheTextBoxAcceptsTheNameExactlyAsTyped)
{
    frmPrompt prompt;
    const PromptRun run = runPrompt(prompt, [&](QWidget*) {
        QTest::keyClicks(prompt.txtFileName, "  /tmp/my shot  ");
        QTest::keyClick(prompt.txtFileName, Qt::Key_Return);
    });
    EXPECT_TRUE(run.accepted);
    EXPECT_TRUE(run.stillLoaded);
    EXPECT_EQ(run.name, "  /tmp/my shot  ");
}

TEST(PromptDialog, OkWithAnEmptyBoxAcceptsTheEmptyName)
{
    frmPrompt prompt;
    const PromptRun run = runPrompt(prompt, [&](QWidget*) { QTest::mouseClick(prompt.cmdOK, Qt::LeftButton); });
    EXPECT_TRUE(run.accepted);
    EXPECT_EQ(run.name, "");
}

TEST(PromptDialog, EscDoesNothingAndCancelThenAnswersNo)
{
    frmPrompt prompt;
    bool openAfterEsc = false;
    const PromptRun run = runPrompt(prompt, [&](QWidget* window) {
        QTest::keyClicks(prompt.txtFileName, "x");
        QTest::keyClick(prompt.txtFileName, Qt::Key_Escape);
        openAfterEsc = window->isVisible() && prompt.IsLoaded();
        QTest::mouseClick(prompt.cmdCancel, Qt::LeftButton);
    });
    EXPECT_TRUE(openAfterEsc);
    EXPECT_FALSE(run.accepted);
    EXPECT_TRUE(run.stillLoaded);
}

TEST(PromptDialog, AltOAcceptsAndAltCCancels)
{
    frmPrompt prompt;
    PromptRun run = runPrompt(prompt, [&](QWidget* window) {
        QTest::keyClicks(prompt.txtFileName, "a");
        QTest::keyClick(window, Qt::Key_O, Qt::AltModifier);
    });
    EXPECT_TRUE(run.accepted);
    EXPECT_EQ(run.name, "a");
    run = runPrompt(prompt, [&](QWidget* window) { QTest::keyClick(window, Qt::Key_C, Qt::AltModifier); });
    EXPECT_FALSE(run.accepted);
}

TEST(PromptDialog, TheCloseBoxAnswersNoAndUnloadsSoTheCallersUnloadDoesNothing)
{
    frmPrompt prompt;
    const PromptRun run = runPrompt(prompt, [&](QWidget* window) {
        QTest::keyClicks(prompt.txtFileName, "typed");
        window->close();
    });
    EXPECT_FALSE(run.accepted);
    EXPECT_FALSE(run.stillLoaded);
}

TEST(PromptDialog, AnAcceptanceNeverCarriesIntoTheNextPrompt)
{
    frmPrompt prompt;
    EXPECT_TRUE(runPrompt(prompt, [&](QWidget*) { prompt.cmdOK->click(); }).accepted);
    EXPECT_FALSE(runPrompt(prompt, [&](QWidget*) { prompt.cmdCancel->click(); }).accepted);
    EXPECT_FALSE(runPrompt(prompt, [&](QWidget* window) { window->close(); }).accepted);
}

} // namespace
