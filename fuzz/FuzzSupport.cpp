#include "fuzz/FuzzSupport.h"

#include "forms/Application.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace fuzzing {

void setUpOnce()
{
    static QTemporaryDir home;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    static QApplication application(argc, argv);
    forms::setUpApplication(application);
}

} // namespace fuzzing
