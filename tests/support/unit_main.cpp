#include "tests/support/Home.h"
#ifdef QORIX_TEST_HOST
#include "host/Process.h"
#endif

#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <vector>
#ifdef QORIX_TEST_GUI
#include <QGuiApplication>
#else
#include <QCoreApplication>
#endif

// The main of the tests of units without windows: no display and no
// platform is needed. Pictures are drawn (text too) on Qt's offscreen
// platform, chosen here. A unit on the platform layer runs it set up as the
// program does.
int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    testing_support::useHomeIn(home);
#ifdef QORIX_TEST_GUI
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, {platform, offscreen});
    int count = int(arguments.size());
    QGuiApplication application(count, arguments.data());
#else
    QCoreApplication application(argc, argv);
#endif
#ifdef QORIX_TEST_HOST
    host::setUpCore(application);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
