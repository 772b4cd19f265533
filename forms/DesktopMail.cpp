#include "forms/DesktopMail.h"

#include "forms/Portal.h"
#include "host/Files.h"
#include "host/HostError.h"

#include <QCoreApplication>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace forms {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("forms", text);
}

[[noreturn]] void cannot(const QString& why)
{
    host::raiseError(host::ErrorKind::Messaging, why);
}

// A mail program takes a while to start, but not for ever.
constexpr std::chrono::seconds kStarting(60);
constexpr int kHelperMs = 20000;

// Through the portal; false when no portal takes the request.
bool throughPortal(const MailDraft& draft)
{
    QVariantMap options{{QStringLiteral("addresses"), draft.addresses},
                        {QStringLiteral("subject"), draft.subject},
                        {QStringLiteral("body"), draft.body}};
    QFile attachment(draft.attachment);
    if (!draft.attachment.isEmpty()) {
        if (!attachment.open(QIODevice::ReadOnly))
            cannot(tr("The attachment %1 cannot be read: %2").arg(QDir::toNativeSeparators(draft.attachment),
                                                                   attachment.errorString()));
        qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
        options.insert(QStringLiteral("attachment_fds"),
                       QVariant::fromValue(QList<QDBusUnixFileDescriptor>{QDBusUnixFileDescriptor(attachment.handle())}));
    }
    PortalRequest portal;
    if (!portal.ask(QStringLiteral("org.freedesktop.portal.Email"), QStringLiteral("ComposeEmail"), {QString()}, options))
        return false;
    if (!portal.wait(kStarting)) {
        portal.close();
        cannot(tr("The desktop's e-mail portal did not open a mail program within %1 seconds.").arg(kStarting.count()));
    }
    if (*portal.response == 2)
        cannot(tr("The desktop could not open its mail program. Check the mail program set for e-mail in the "
                  "desktop's default applications, or choose a mail server in the e-Mail Account dialog."));
    return true;
}

// The attachment as a file of its own for a mail program that reads it
// later; the copies of earlier e-mails go once they are a day old.
QString copyForMailProgram(const QString& attachment)
{
    const QDir outgoing(host::AppFolder() + QLatin1String("/outgoing"));
    if (!QDir().mkpath(outgoing.path()))
        cannot(tr("Could not create the folder %1.").arg(QDir::toNativeSeparators(outgoing.path())));
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo& old : outgoing.entryInfoList(QDir::Files))
        if (old.lastModified().addDays(1) < now)
            QFile::remove(old.filePath());
    const QString copy = outgoing.filePath(QStringLiteral("capture-%1.%2")
                                               .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")),
                                                    QFileInfo(attachment).suffix()));
    if (!QFile::copy(attachment, copy))
        cannot(tr("Could not copy the attachment to %1.").arg(QDir::toNativeSeparators(copy)));
    return copy;
}

// A helper of the desktop's (xdg-utils) run to its end; its output.
QString helper(const QString& program, const QStringList& arguments, int& exitCode)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kHelperMs)) {
        process.kill();
        process.waitForFinished();
        exitCode = -1;
        return tr("%1 did not end within %2 seconds").arg(program).arg(kHelperMs / 1000);
    }
    exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

// Through xdg-email; false when the desktop has no mail program set.
bool throughXdgEmail(const MailDraft& draft)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
        return false;
    int exitCode = 0;
    const QString handler =
        helper(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")},
               exitCode);
    if (exitCode != 0 || !handler.endsWith(QLatin1String(".desktop")))
        return false;
    QStringList arguments = {QStringLiteral("--utf8"), QStringLiteral("--subject"), draft.subject, QStringLiteral("--body"),
                             draft.body};
    if (!draft.attachment.isEmpty())
        arguments << QStringLiteral("--attach") << draft.attachment;
    const QString said = helper(QStringLiteral("xdg-email"), arguments + draft.addresses, exitCode);
    if (exitCode != 0)
        cannot(tr("The desktop's mail program %1 could not be opened: %2").arg(handler, said));
    return true;
}

} // namespace

void composeInMailProgram(const MailDraft& draft)
{
    // The mail program may read the file only when it sends: the capture
    // goes as a copy that the next e-mail's capture leaves alone (also
    // through the portal, which tells a program outside a sandbox the path).
    MailDraft copied = draft;
    if (!draft.attachment.isEmpty())
        copied.attachment = copyForMailProgram(draft.attachment);
    if (throughPortal(copied) || throughXdgEmail(copied))
        return;
    if (!copied.attachment.isEmpty())
        QFile::remove(copied.attachment);
    cannot(tr("No mail program is set up on this desktop. Choose one for e-mail in the desktop's default "
              "applications (Thunderbird, Evolution, KMail...), or choose a mail server in the e-Mail Account "
              "dialog."));
}

} // namespace forms
