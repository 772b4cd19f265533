#pragma once

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
    int connectTimeoutSeconds = 20;
    int transferTimeoutSeconds = 60;
};

struct OutgoingMail {
    QStringList to; // plain addresses
    QString subject;
    QString body;
    QString attachment; // full path of a file to attach as image/bmp, or empty
};

// Whether the server is on this machine (then plain SMTP is allowed).
bool isLoopbackServer(const QString& server);

// Whether the connection to a server must be encrypted: an smtp:// server
// that is not on this machine must offer STARTTLS, or it sees neither the
// login nor the message.
bool encryptionRequired(const QString& server);

// Sends one message over SMTP (STARTTLS required for smtp:// unless the
// server is on this machine; smtps:// is TLS from the start). The prompts
// keep the user interface going meanwhile, show the progress and may stop
// the transfer. Raises an error with the server's or the network's
// description of any failure.
void sendMail(const MailAccount& account, const OutgoingMail& mail, Prompts& prompts);

} // namespace mail
