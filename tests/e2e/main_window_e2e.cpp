#include "tests/e2e/Desktop.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {


TEST(MainWindowOnX, ThumbnailClickChangesHeightAndCloseWritesTheSettings)
{
    testing_support::clearSettings();
    Program program;
    const QString window = waitForWindow(testing_support::kMainWindowTitle);
    ASSERT_FALSE(window.isEmpty()) << program.errors().toStdString();
    const QRect tall = windowGeometry(window);

    // "Thumbnail Preview": frameFilename at (120, 96), the box at (3240, 1032) inside it.
    clickAtTwips(window, 120 + 3240, 96 + 1032);
    const QRect shortened = windowGeometry(window);
    EXPECT_NEAR(tall.height() - shortened.height(), (6446 - 3470) / 15.0, 1);
    EXPECT_EQ(shortened.width(), tall.width());

    // "&Close": Frame3 at (3408, 1488), the button at (120, 1392) inside it.
    clickAtTwips(window, 3408 + 120, 1488 + 1392);
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(testing_support::storedSettings("Defaults").value("Thumbnail"), "0");
    EXPECT_EQ(testing_support::storedSettings("Defaults").value("16Colours"), "True");
}

} // namespace
