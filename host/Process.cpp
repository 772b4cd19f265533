#include "host/Process.h"

#include "host/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace host {

void setUpCore(QCoreApplication& application)
{
    application.setApplicationName(applicationName());
    application.setOrganizationName(QString());
    installTranslation(QLocale::system());
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

QString translationsFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1String("/../share/qorix-capture/translations"));
}

bool installTranslation(const QLocale& locale, const QString& folder)
{
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    auto* own = new QTranslator(QCoreApplication::instance());
    if (!own->load(locale, QStringLiteral("qorix-capture"), QStringLiteral("_"), folder)) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);
    return true;
}

void printError(const QString& line)
{
    std::fprintf(stderr, "qorix-capture: %s\n", qPrintable(line));
}

void endCommand(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace host
