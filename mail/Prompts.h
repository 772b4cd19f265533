#pragma once

#include "host/HostError.h"
#include "mail/Contact.h"

#include <QCoreApplication>

#include <QList>
#include <QString>
#include <optional>

namespace mail {

// The way mail is sent, and for a mail server the account.
struct SignOnDetails {
    // Through the desktop's mail program, signed in already, instead of a
    // server of the program's own.
    bool mailProgram = false;
    QString server;
    QString from;
    QString user;
    QString password;
};

// What the messaging service asks a person, or shows while it works: the
// e-mail windows implement it. The service itself has no windows.
class Prompts {
public:
    virtual ~Prompts() = default;

    // The mail account, starting from what is known and saying what is
    // wrong with it; nullopt on Cancel.
    virtual std::optional<SignOnDetails> askSignOn(const SignOnDetails& known, const QString& problem) = 0;

    // Recipients picked from the address book file, where new contacts may
    // be added; the ticked ones start ticked. nullopt on Cancel, or when the
    // address book cannot be shown (the window has said why).
    virtual std::optional<QList<Contact>> pickRecipients(const QString& addressBook, const QList<Contact>& ticked) = 0;

    // Called every few milliseconds while a message travels to the server,
    // with the bytes sent so far and in all (0 when not known yet): keeps the
    // windows alive, shows the progress once the transfer takes a while.
    // True when the person stops the transfer.
    virtual bool transferring(const QString& server, qint64 sent, qint64 total) = 0;
    // The transfer is over: whatever it showed goes.
    virtual void transferEnded() = 0;

    // Opens the desktop's mail program with the message filled in, for the
    // person to send there. Raises an error when none can be opened.
    virtual void handToMailProgram(const OutgoingMail& mail) = 0;
};

// Asks nothing and shows nothing: what the service uses when no windows are
// there to ask.
class NoPrompts : public Prompts {
public:
    std::optional<SignOnDetails> askSignOn(const SignOnDetails&, const QString&) override { return std::nullopt; }
    std::optional<QList<Contact>> pickRecipients(const QString&, const QList<Contact>&) override { return std::nullopt; }
    bool transferring(const QString&, qint64, qint64) override { return false; }
    void transferEnded() override {}
    void handToMailProgram(const OutgoingMail&) override
    {
        host::raiseError(host::ErrorKind::Messaging, QCoreApplication::translate("mail", "No mail program can be opened "
                                                                                         "without the windows."));
    }
};

} // namespace mail
