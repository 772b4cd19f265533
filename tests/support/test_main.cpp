#include "forms/Application.h"
#include "tests/support/Home.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

// The main of the tests with windows: the application as the program sets
// it up, with a home and XDG folders of the test's own.
int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    testing_support::useHomeIn(home);
    QApplication application(argc, argv);
    forms::setUpApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Worker threads end before the program does, so that the leak check
    // at exit never meets a thread on its way out.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
