#include "host/Process.h"

#include "host/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

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

void holdStandardStreams()
{
    // Read-only, so that a write to any of them fails rather than vanishes.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF && ::open("/dev/null", O_RDONLY) != fd)
            std::_Exit(1);
}

void keepPictureMemory()
{
#ifdef __GLIBC__
    // Blocks up to the largest picture's size come from the heap, and the
    // heap is not given back below twice that.
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
#endif
}

bool printLine(const QString& line)
{
    const QByteArray text = line.toLocal8Bit() + '\n';
    errno = 0;
    const bool written = std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout) == std::size_t(text.size())
                         && std::fflush(stdout) == 0;
    if (written)
        return true;
    const int error = errno;
    std::clearerr(stdout);
    printError(QCoreApplication::translate("host", "cannot write to standard output: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(error ? error : EIO))));
    return false;
}

void endCommand(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace host
