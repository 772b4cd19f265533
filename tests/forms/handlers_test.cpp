#include "forms/EventHandlers.h"
#include "host/HostError.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace host;
using testing_support::ModalWatcher;

namespace {

TEST(UntrappedErrors, ReachTheTopLevelHandlerWhichShowsThemAndTheProgramGoesOn)
{
    ModalWatcher watcher;
    int after = 0;
    forms::runHandler([] { raiseError(ErrorKind::File, "Could not write /x/y.BMP: Permission denied"); });
    forms::runHandler([] { throw std::bad_alloc(); });
    forms::runHandler([&] { ++after; });
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_EQ(watcher.messages()[0].text, "Could not write /x/y.BMP: Permission denied");
    EXPECT_EQ(watcher.messages()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.messages()[1].text, "Out of memory.");
    EXPECT_EQ(after, 1);
}

TEST(UntrappedErrors, IndependentStepsSkipAFailureSilently)
{
    ModalWatcher watcher;
    QStringList ran;
    skipOnError([&] { ran << "one"; });
    const std::optional<HostError> skipped = skipOnError([&] { raiseError(ErrorKind::TypeMismatch, "bad"); });
    ASSERT_TRUE(skipped.has_value());
    EXPECT_EQ(skipped->kind(), ErrorKind::TypeMismatch);
    skipOnError([&] { ran << "three"; });
    EXPECT_EQ(ran, QStringList({"one", "three"}));
    EXPECT_TRUE(watcher.messages().isEmpty());
}

} // namespace
