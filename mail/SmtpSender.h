#pragma once

#include "host/HostError.h"
#include "mail/Contact.h"
#include "mail/Prompts.h"

#include <QString>
#include <QStringList>

namespace mail {

// Where and as whom mail is sent; without a user name, no login.
struct MailAccount {
    QString server; // smtp://host:port or smtps://host:port
    QString from;
    QString user;
    QString password;
    QString passwordFile; // the file the password comes from; empty when typed
    QString caFile;       // certificates trusted besides the system's, or empty
    int connectTimeoutSeconds = 20;
    int transferTimeoutSeconds = 60;
};

// The server refused the login.
class LoginRefused : public host::HostError {
public:
    using HostError::HostError;
};

// The server refused the login because it takes no passwords from programs.
class PasswordsRefused : public LoginRefused {
public:
    using LoginRefused::LoginRefused;
};

// Whether the server is on this machine (then plain SMTP is allowed).
bool isLoopbackServer(const QString& server);

// Whether the connection to a server must be encrypted: an smtp:// server
// that is not on this machine must offer STARTTLS, or it sees neither the
// login nor the message.
bool encryptionRequired(const QString& server);

// Sends one message over SMTP (STARTTLS required for smtp:// unless the
// server is on this machine; smtps:// is TLS from the start), announcing its
// size where the server takes SIZE, and stopping before the message when
// the server's limit is below it. The prompts keep the user interface going
// meanwhile, show the progress and may stop the transfer. Raises an error
// with the server's or the network's description of any failure;
// LoginRefused for a refused login.
void sendMail(const MailAccount& account, const OutgoingMail& mail, Prompts& prompts);

} // namespace mail
