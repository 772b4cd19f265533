#pragma once

#include "mail/Contact.h"
#include "mail/Prompts.h"
#include "mail/SmtpSender.h"

#include <QList>
#include <QSet>
#include <QString>

namespace mail {

struct ComposedMail {
    QList<Contact> recipients;
    QString subject;
    QString noteText;
    QString attachmentPath;
};

// The program's messaging service: mail account and sessions, the address
// book, name resolution and sending. The account lives in the settings store
// (section "Mail": "Server", "From", "User", "AddressBook", and the time-outs
// "ConnectTimeout" and "TransferTimeout" in seconds); a password that is not
// in ~/.netrc is asked for once and kept in memory for the run.
class MailService {
public:
    static MailService& instance();

    // Checks the account, asking for what is missing. Raises an error when
    // the user cancels the sign-on.
    qint32 signOn();
    void signOff(qint32 session);
    void checkSession(qint32 session) const;

    QString addressBookPath() const;
    // The address book; raises a cancel error when the user cancels.
    QList<Contact> showAddressBook(const QList<Contact>& current);
    // The one contact whose display name (any letter case) or address is the
    // given text; an error naming it when none or several match. Entries
    // separated by ";" are resolved each on its own (an address stands for
    // itself) into one recipient of several addresses, and every entry that
    // does not resolve is named.
    Contact resolve(const QString& nameOrAddresses) const;

    void send(qint32 session, const ComposedMail& mail);

    // Forgets the password kept in memory.
    void forgetPassword() { m_password.clear(); }

    // What asks the person and shows progress, until released by its owner;
    // without one, nothing is asked.
    void setPrompts(Prompts& prompts) { m_prompts = &prompts; }
    void releasePrompts(const Prompts& prompts)
    {
        if (m_prompts == &prompts)
            m_prompts = &m_noPrompts;
    }

private:
    MailService() = default;
    MailAccount account() const;
    bool passwordNeeded(const MailAccount& account) const;

    QSet<qint32> m_sessions;
    qint32 m_nextSession = 1;
    QString m_password;
    bool m_offerWays = false; // the server takes no passwords: the next sign-on asks
    NoPrompts m_noPrompts;
    Prompts* m_prompts = &m_noPrompts;
};

// Whether the account details can be used: an smtp:// or smtps:// server with
// a host, and a plain sender address. Empty when they can.
QString accountProblem(const QString& server, const QString& from);

} // namespace mail
