#pragma once

#include "host/VCard.h"

#include <QList>
#include <QString>
#include <optional>

// The messaging service's own windows: the sign-on and the address book.
namespace host {

struct SignOnDetails {
    QString server;
    QString from;
    QString user;
    QString password;
};

// Asks for the mail account, starting from what is known. nullopt on Cancel.
std::optional<SignOnDetails> askSignOn(const SignOnDetails& known, const QString& problem);

// Whether the account details can be used: an smtp:// or smtps:// server with
// a host, and a plain sender address. Empty when they can.
QString accountProblem(const QString& server, const QString& from);

// Lets the user tick contacts of the address book file, type further
// addresses and add contacts to the file. The ticked and typed recipients on
// OK; nullopt on Cancel.
std::optional<QList<Contact>> pickRecipients(const QString& addressBook, const QList<Contact>& ticked);

} // namespace host
