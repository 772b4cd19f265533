#include "host/Application.h"

#include "host/Settings.h"

#include <QApplication>
#include <QFont>
#include <csignal>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace host {

void setUpApplication(QApplication& application)
{
    application.setApplicationName(applicationName());
    application.setOrganizationName(QString());
    application.setDesktopFileName(QStringLiteral("org.qorix.Capture"));
    // The windows are laid out for a compact sans-serif face of Arial's
    // widths; wider faces would cut captions off.
    QFont font = application.font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(8);
    application.setFont(font);
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

} // namespace host
