#pragma once

#include "host/SmtpSender.h"
#include "host/VCard.h"

#include <QList>
#include <QSet>
#include <QString>

namespace host {

struct Recipient {
    QString address;
    QString name; // empty: shown as the address
    bool operator==(const Recipient&) const = default;
};

struct ComposedMail {
    QList<Recipient> recipients;
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
    QList<Recipient> showAddressBook(const QList<Recipient>& current);
    // The one contact whose display name (any letter case) or address is the
    // given text; an error naming it when none or several match. Entries
    // separated by ";" are resolved each on its own (an address stands for
    // itself) into one recipient of several addresses, and every entry that
    // does not resolve is named.
    Recipient resolve(const QString& nameOrAddresses) const;

    void send(qint32 session, const ComposedMail& mail);

    // Forgets the password kept in memory.
    void forgetPassword() { m_password.clear(); }

private:
    MailService() = default;
    MailAccount account() const;
    bool passwordNeeded(const MailAccount& account) const;

    QSet<qint32> m_sessions;
    qint32 m_nextSession = 1;
    QString m_password;
};

} // namespace host
