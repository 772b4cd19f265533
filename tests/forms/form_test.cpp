#include "forms/Controls.h"
#include "forms/EventHandlers.h"
#include "forms/Form.h"
#include "forms/Screen.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace host;
using testing_support::ModalWatcher;

namespace {

class TestForm : public forms::Form {
public:
    explicit TestForm(bool withCancel = false)
        : forms::Form({.caption = "Test", .clientWidth = 3000, .clientHeight = 1500}), m_withCancel(withCancel)
    {
    }

    int loads = 0;
    int unloads = 0;
    int oks = 0;
    int cancels = 0;
    int cancelUnload = 0;
    QPointer<forms::TextBox> text;
    QPointer<forms::CommandButton> ok;
    QPointer<forms::CommandButton> cancel;

protected:
    void createControls(QWidget* window) override
    {
        text = new forms::TextBox(window, "text", "design", {100, 100, 1500, 288, 0});
        cancel = new forms::CommandButton(window, "cancel", "&Cancel", {1700, 500, 1200, 350, 1});
        ok = new forms::CommandButton(window, "ok", "&OK", {1700, 100, 1200, 350, 2});
        setDefaultButton(ok);
        if (m_withCancel)
            setCancelButton(cancel);
        connect(ok, &QPushButton::clicked, this, forms::handler([this] {
            ++oks;
            Hide();
        }));
        connect(cancel, &QPushButton::clicked, this, forms::handler([this] {
            ++cancels;
            Hide();
        }));
    }
    void Form_Load() override { ++loads; }
    void Form_Unload(int& cancelIt) override
    {
        ++unloads;
        cancelIt = cancelUnload;
    }

private:
    bool m_withCancel;
};

TEST(FormLifecycle, LoadCreatesControlsAtDesignValuesAndRunsFormLoadOnce)
{
    TestForm form;
    EXPECT_FALSE(form.IsLoaded());
    form.Load();
    form.Load();
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.text->Text(), "design");
    EXPECT_EQ(form.Caption(), "Test");
}

TEST(FormLifecycle, UnloadDiscardsWindowAndControlsButKeepsMembers)
{
    TestForm form;
    form.Load();
    form.text->setText("typed");
    form.oks = 5;
    form.Unload();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.unloads, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.text.isNull());
    EXPECT_EQ(form.oks, 5);
    form.Load();
    EXPECT_EQ(form.text->Text(), "design");
    EXPECT_EQ(form.loads, 2);
    form.Unload();
    form.Unload();
    EXPECT_EQ(form.unloads, 2);
}

TEST(FormLifecycle, ModalShowWaitsUntilHiddenAndControlsStayReadable)
{
    TestForm form;
    ModalWatcher watcher;
    watcher.queue([&](QWidget*) {
        QTest::keyClicks(form.text, " more");
        form.ok->click();
    });
    form.Show(forms::ShowMode::Modal);
    EXPECT_EQ(form.oks, 1);
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_FALSE(form.window()->isVisible());
    EXPECT_EQ(form.text->Text(), "design more");
}

TEST(FormLifecycle, CloseBoxUnloadsAndEndsTheModalWait)
{
    TestForm form;
    ModalWatcher watcher;
    watcher.queue([](QWidget* window) { window->close(); });
    form.Show(forms::ShowMode::Modal);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.unloads, 1);
    EXPECT_EQ(form.oks + form.cancels, 0);
}

TEST(FormLifecycle, FormUnloadMayCancelTheUnload)
{
    TestForm form;
    form.Load();
    form.cancelUnload = 1;
    form.window()->close();
    EXPECT_TRUE(form.IsLoaded());
    form.cancelUnload = 0;
    form.window()->close();
    EXPECT_FALSE(form.IsLoaded());
}

TEST(FormKeys, EnterPressesTheDefaultOrTheFocusedButtonEscOnlyACancelButton)
{
    for (bool withCancel : {false, true}) {
        TestForm form(withCancel);
        form.Show();
        QApplication::setActiveWindow(form.window());
        form.text->setFocus();
        QTest::keyClick(form.text, Qt::Key_Escape);
        EXPECT_EQ(form.cancels, withCancel ? 1 : 0);
        form.Show();
        QTest::keyClick(form.text, Qt::Key_Return);
        EXPECT_EQ(form.oks, 1);
        form.Show();
        form.cancel->setFocus();
        QTest::keyClick(form.cancel, Qt::Key_Return);
        EXPECT_EQ(form.oks, 1);
        EXPECT_EQ(form.cancels, withCancel ? 2 : 1);
        form.Unload();
    }
}

TEST(FormKeys, TabFollowsTheTabIndexAndFocusStartsAtTheLowest)
{
    TestForm form;
    form.Show();
    QApplication::setActiveWindow(form.window());
    EXPECT_EQ(QApplication::focusWidget(), form.text.data());
    EXPECT_EQ(form.text->nextInFocusChain(), form.cancel.data());
    EXPECT_EQ(form.cancel->nextInFocusChain(), form.ok.data());
    form.Unload();
}

TEST(FormSize, OuterSizeInTwipsIsKeptAndTheClientFollows)
{
    TestForm form;
    form.Load();
    const double caption = forms::captionHeightPixels() * forms::twipsPerPixelY();
    const double border = 2 * forms::logicalPixelsToTwips(forms::windowBorderLogicalPixels());
    EXPECT_DOUBLE_EQ(form.Width(), 3000 + border);
    EXPECT_DOUBLE_EQ(form.Height(), 1500 + caption + border);
    EXPECT_EQ(form.window()->size(), QSize(200, 100));
    form.setHeight(3000 + caption + border);
    EXPECT_DOUBLE_EQ(form.Height(), 3000 + caption + border);
    EXPECT_EQ(form.window()->height(), 200);
    EXPECT_EQ(form.window()->width(), 200);
}

} // namespace
