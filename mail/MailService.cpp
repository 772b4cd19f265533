#include "mail/MailService.h"

#include "host/Conversions.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "host/Settings.h"
#include "mail/MailFormat.h"
#include "mail/Netrc.h"
#include "mail/VCard.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace mail {

using namespace host;
namespace {

const char* const kSection = "Mail";
// How mail goes: through the desktop's mail program, or a server of ours.
const char* const kSendThrough = "SendThrough";
const QString kMailProgram = QStringLiteral("MailProgram");
const QString kServer = QStringLiteral("Server");

QString mailSetting(const char* key, const QString& defaultValue = QString())
{
    return GetSetting(applicationName(), kSection, key, defaultValue);
}

int seconds(const char* key, int defaultValue)
{
    try {
        return std::max(1, textToWholeNumber(mailSetting(key, wholeNumberToText(defaultValue))));
    } catch (const HostError&) {
        return defaultValue;
    }
}

[[noreturn]] void messagingError(const QString& description)
{
    raiseError(ErrorKind::Messaging, description);
}

} // namespace

QString accountProblem(const QString& server, const QString& from)
{
    const QUrl url(server.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("smtp") && url.scheme() != QLatin1String("smtps"))
        || url.host().isEmpty())
        return QCoreApplication::translate("mail", "The mail server must be an address such as smtps://mail.example.org:465 or "
                              "smtp://mail.example.org:587.");
    if (!isPlainAddress(from.trimmed()))
        return QCoreApplication::translate("mail", "The sender must be an e-mail address such as me@example.org.");
    return {};
}

MailService& MailService::instance()
{
    static MailService service;
    return service;
}

MailAccount MailService::account() const
{
    MailAccount account;
    account.server = mailSetting("Server");
    account.from = mailSetting("From");
    account.user = mailSetting("User");
    account.password = m_password;
    if (account.password.isEmpty() && !account.server.isEmpty())
        if (const std::optional<NetrcLogin> login = netrcLogin(QUrl(account.server).host(), account.user)) {
            account.user = login->login.isEmpty() ? account.user : login->login;
            account.password = login->password;
            account.passwordFile = login->password.isEmpty() ? QString() : login->file;
        }
    account.caFile = mailSetting("CAFile");
    account.connectTimeoutSeconds = seconds("ConnectTimeout", account.connectTimeoutSeconds);
    account.transferTimeoutSeconds = seconds("TransferTimeout", account.transferTimeoutSeconds);
    return account;
}

bool MailService::passwordNeeded(const MailAccount& account) const
{
    return !account.user.isEmpty() && account.password.isEmpty();
}

qint32 MailService::signOn()
{
    const auto session = [this] {
        const qint32 session = m_nextSession++;
        m_sessions.insert(session);
        return session;
    };
    if (mailSetting(kSendThrough) == kMailProgram)
        return session();
    MailAccount known = account();
    QString problem = known.server.isEmpty() ? QString() : accountProblem(known.server, known.from);
    const bool offerWays = std::exchange(m_offerWays, false);
    if (known.server.isEmpty() || !problem.isEmpty() || passwordNeeded(known) || offerWays) {
        if (problem.isEmpty() && !known.server.isEmpty())
            problem = QCoreApplication::translate("mail", "The password for %1 at %2:").arg(known.user, known.server);
        // Where no server is set, or the server took no password, the
        // desktop's mail program is the way offered first.
        const std::optional<SignOnDetails> details =
            m_prompts->askSignOn({.mailProgram = known.server.isEmpty() || offerWays, .server = known.server, .from = known.from,
                                  .user = known.user, .password = known.password},
                                 problem);
        if (!details)
            messagingError(QCoreApplication::translate("mail", "Sign-on was cancelled: no e-mail account is set up."));
        SaveSetting(applicationName(), kSection, kSendThrough, details->mailProgram ? kMailProgram : kServer);
        if (details->mailProgram)
            return session();
        SaveSetting(applicationName(), kSection, "Server", details->server);
        SaveSetting(applicationName(), kSection, "From", details->from);
        SaveSetting(applicationName(), kSection, "User", details->user);
        m_password = details->password;
    }
    return session();
}

void MailService::signOff(qint32 session)
{
    checkSession(session);
    m_sessions.remove(session);
}

void MailService::checkSession(qint32 session) const
{
    if (!m_sessions.contains(session))
        messagingError(QCoreApplication::translate("mail", "There is no e-mail session: sign on first."));
}

QString MailService::addressBookPath() const
{
    const QString path = mailSetting("AddressBook");
    return path.isEmpty() ? QDir(AppFolder()).filePath(QStringLiteral("contacts.vcf")) : path;
}

QList<Contact> MailService::showAddressBook(const QList<Contact>& current)
{
    QList<Contact> ticked = current;
    for (Contact& c : ticked)
        c.name = c.name.isEmpty() ? c.address : c.name;
    const std::optional<QList<Contact>> picked = m_prompts->pickRecipients(addressBookPath(), ticked);
    if (!picked)
        raiseError(ErrorKind::Cancel, QCoreApplication::translate("mail", "The address book was cancelled."));
    return *picked;
}

Contact MailService::resolve(const QString& nameOrAddresses) const
{
    // Several entries, as a pick leaves them in the To box: each is resolved
    // on its own, and addresses stand for themselves.
    const QStringList entries = toBoxEntries(nameOrAddresses);
    const bool several = entries.size() > 1;
    const QList<Card> book = readCards(addressBookPath());
    QStringList addresses, names, problems;
    QString advice = QCoreApplication::translate("mail", "Type e-mail addresses or pick the recipients with To:.");
    for (const QString& wanted : entries) {
        const QStringList parts = splitAddresses(wanted);
        if (several && std::all_of(parts.begin(), parts.end(), isPlainAddress)) {
            addresses << wanted;
            names << wanted;
            continue;
        }
        // A card's name stands for its first address (its preferred one);
        // the same address found twice (a book imported twice) is one match.
        QList<Contact> matches;
        for (const Card& card : book) {
            QString address;
            if (!card.name.isEmpty() && card.name.compare(wanted, Qt::CaseInsensitive) == 0)
                address = card.addresses.first();
            else if (const qsizetype at = card.addresses.indexOf(wanted, Qt::CaseInsensitive); at >= 0)
                address = card.addresses[at];
            const bool known = std::any_of(matches.begin(), matches.end(), [&](const Contact& c) {
                return c.address.compare(address, Qt::CaseInsensitive) == 0;
            });
            if (!address.isEmpty() && !known)
                matches.append({card.name.isEmpty() ? address : card.name, address});
        }
        if (matches.size() == 1) {
            addresses << matches[0].address;
            names << matches[0].name;
        } else if (matches.isEmpty()) {
            problems << QCoreApplication::translate("mail", "\"%1\" is not in the address book.").arg(wanted);
            if (!several)
                advice = QCoreApplication::translate("mail", "Type an e-mail address or pick the recipient with To:.");
        } else {
            problems << QCoreApplication::translate("mail", "\"%1\" matches %2 entries of the address book.").arg(wanted).arg(matches.size());
            if (!several)
                advice = QCoreApplication::translate("mail", "Pick the recipient with To:.");
        }
    }
    if (!problems.isEmpty())
        messagingError(problems.join(QLatin1Char(' ')) + QLatin1Char(' ') + advice);
    return {.name = names.join(QStringLiteral("; ")), .address = addresses.join(QStringLiteral("; "))};
}

void MailService::send(qint32 session, const ComposedMail& mail)
{
    checkSession(session);
    // The names the address book has go with the addresses; a book that
    // cannot be read only leaves them out.
    QList<Card> book;
    try {
        book = readCards(addressBookPath());
    } catch (const HostError&) {
    }
    const auto nameInAddressBook = [&book](const QString& address) {
        for (const Card& card : book)
            if (card.addresses.contains(address, Qt::CaseInsensitive))
                return card.name;
        return QString();
    };
    OutgoingMail out;
    for (const Contact& r : mail.recipients)
        for (const QString& address : splitAddresses(r.address)) {
            if (const QString problem = addressProblem(address); !problem.isEmpty())
                messagingError(problem);
            out.to.append({.name = nameInAddressBook(address), .address = address});
        }
    if (out.to.isEmpty())
        messagingError(QCoreApplication::translate("mail", "The message has no recipient: type an address or pick one with To:."));
    if (!mail.attachmentPath.isEmpty() && !FileExists(mail.attachmentPath))
        messagingError(QCoreApplication::translate("mail", "The attachment %1 does not exist.").arg(QDir::toNativeSeparators(mail.attachmentPath)));
    out.subject = mail.subject;
    out.body = mail.noteText;
    out.attachment = mail.attachmentPath;
    if (mailSetting(kSendThrough) == kMailProgram) {
        m_prompts->handToMailProgram(out);
        return;
    }
    const MailAccount account = this->account();
    const QString problem = accountProblem(account.server, account.from);
    if (!problem.isEmpty())
        messagingError(problem);
    try {
        sendMail(account, out, *m_prompts);
    } catch (const PasswordsRefused&) {
        // The way that works is offered at the next send.
        m_password.clear();
        m_offerWays = true;
        throw;
    } catch (const LoginRefused&) {
        // A typed password that the server refused is asked for again at
        // the next send; one from a file stays the file's to correct.
        m_password.clear();
        throw;
    }
}

} // namespace mail
