#include "tests/support/Home.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace testing_support {

void useHomeIn(const QTemporaryDir& home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toLocal8Bit());
    QDir(home.path()).mkpath("config");
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace testing_support
