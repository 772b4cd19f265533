#pragma once

#include <QList>
#include <QString>

namespace mail {

// A person to write to: a display name (empty: shown as the address) and an
// e-mail address. Made with designated initializers ({.name = ..., .address
// = ...}), so that the two cannot be swapped unseen.
struct Contact {
    QString name;
    QString address;
    bool operator==(const Contact&) const = default;
};

// A message as it goes: to plain addresses (with the names the address book
// has), its subject, its text and the file attached.
struct OutgoingMail {
    QList<Contact> to;
    QString subject;
    QString body;
    QString attachment; // full path of a file to attach as image/bmp, or empty
};

} // namespace mail
