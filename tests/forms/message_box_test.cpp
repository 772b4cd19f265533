#include "forms/MessageBox.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace forms;
using testing_support::ModalWatcher;

namespace {

TEST(MessageBoxes, CarryTheApplicationTitleOneOkAndTheRequestedIcon)
{
    ModalWatcher watcher;
    forms::MsgBox("plain");
    forms::MsgBox("critical", forms::MsgBoxStyle::Critical);
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_EQ(watcher.messages()[0].text, "plain");
    EXPECT_EQ(watcher.messages()[0].title, "QORIX-Capture");
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.messages()[1].icon, QMessageBox::Critical);
}

} // namespace
