#include "host/Application.h"

#include "host/Accessibility.h"
#include "host/Settings.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QMutex>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace host {
namespace {

// The messages Qt gives while it connects to the display: held back, and
// replaced by one line of ours should the connection fail.
struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage> heldMessages;
QMutex heldMessagesLock; // the platform's own threads may report too
QString failureLine;

void holdOrFail(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        const QMutexLocker locker(&heldMessagesLock);
        heldMessages.append({type, text});
        return;
    }
    printError(failureLine);
    std::_Exit(1);
}

} // namespace

void setUpCore(QCoreApplication& application)
{
    application.setApplicationName(applicationName());
    application.setOrganizationName(QString());
    installTranslation(QLocale::system());
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef __GLIBC__
    // A save's working buffers, tens of megabytes for a large screen, go
    // back to the allocator and not to the system when it ends, so that the
    // next save finds them in memory instead of faulting in fresh pages, which
    // costs more than the conversion itself. Only larger blocks (a picture of
    // a whole 4K screen) are mapped and returned each time.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

void setUpApplication(QApplication& application)
{
    setUpCore(application);
    application.setDesktopFileName(QStringLiteral("org.qorix.Capture"));
    application.setFont(windowFont());
    presentControlsToScreenReaders();
}

QFont windowFont()
{
    // The windows are laid out for a compact sans-serif face of Arial's
    // widths; wider faces would cut captions off. Every property is set, so
    // that none comes from a desktop theme's font.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(8);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setStretch(QFont::Unstretched);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setLetterSpacing(QFont::PercentageSpacing, 100);
    font.setWordSpacing(0);
    font.setCapitalization(QFont::MixedCase);
    return font;
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

QString missingDisplay()
{
    // A platform chosen on purpose (offscreen, say) needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QCoreApplication::translate("host", "no display: neither DISPLAY nor WAYLAND_DISPLAY is set.");
    return QString();
}

QString displayFailure()
{
    const char* variable = qEnvironmentVariableIsEmpty("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
    return QCoreApplication::translate("host", "cannot open the display \"%1\" (%2).")
        .arg(qEnvironmentVariable(variable), QLatin1String(variable));
}

std::unique_ptr<QApplication> openDisplay(int& argc, char** argv, const QString& failure)
{
    failureLine = failure;
    const QtMessageHandler previous = qInstallMessageHandler(holdOrFail);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    const QList<HeldMessage> held = [] {
        const QMutexLocker locker(&heldMessagesLock);
        return std::exchange(heldMessages, {});
    }();
    for (const HeldMessage& message : held)
        qt_message_output(message.type, QMessageLogContext(), message.text);
    setUpApplication(*application);
    return application;
}

} // namespace host
