#include "host/Application.h"

#include "host/Settings.h"

#include <QApplication>
#include <QFont>
#include <csignal>

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
}

} // namespace host
