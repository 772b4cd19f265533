#include "host/Application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

// Every test program runs with a home and XDG folders of its own, so that no
// test reads or writes a real settings store or data folder.
int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toLocal8Bit());
    QDir(home.path()).mkpath("config");
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QApplication application(argc, argv);
    host::setUpApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Worker threads end before the program does, so that the leak check
    // at exit never meets a thread on its way out.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
