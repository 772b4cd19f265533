#pragma once

#include "mail/Contact.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The address book as a vCard file (versions 2.1, 3.0 and 4.0): display
// name (FN, or else the name parts of N) and e-mail addresses, folded lines,
// UTF-8, or quoted-printable values in the CHARSET they name (2.1). A contact
// with several addresses gives one entry for each.
namespace mail {

// One card: its display name (empty when it has none) and its addresses,
// the preferred one first (PREF=1, TYPE=pref or a bare PREF), the rest in
// the card's order. Cards without an address are left out.
struct Card {
    QString name;
    QStringList addresses;
};
QList<Card> parseCards(const QByteArray& text);
QList<Card> readCards(const QString& path);

// Every address of every card as a contact of its own, named by its card
// (or by the address, for a card without a name).
QList<Contact> parseVCards(const QByteArray& text);

// The text of a new vCard 3.0 for a contact, with its values escaped.
QByteArray formatVCard(const Contact& contact);

// Adds a contact at the end of the address book file, keeping everything
// already in it byte for byte; creates the file when there is none.
void appendContact(const QString& path, const Contact& contact);

QList<Contact> readAddressBook(const QString& path);

} // namespace mail
