#pragma once

#include "mail/Contact.h"

#include <QByteArray>
#include <QList>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The parts of an e-mail message that we write ourselves: header values and
// address lists. Header values never hold a line break, so no value can start
// a header of its own.
namespace mail {

// A header value on one line: CR and LF become spaces.
QString oneLine(const QString& value);

// A whole header as it is sent, folded at white space so that no line is
// longer than 78 characters (RFC 5322): the name, a colon and the value.
// Plain ASCII words stay as they are; text that is not, and words too long
// for a line, travel as RFC 2047 encoded words (UTF-8, base64) of at most 75
// characters, never splitting a character.
QByteArray textHeader(const QByteArray& name, const QString& value);

// An address list header: plain addresses joined by ", ", folded after the
// commas, their domains in punycode. A contact with a display name other
// than its address goes as "Name" <address>, the name in RFC 2047 encoded
// words where it is not plain ASCII. No line is longer than 78 characters
// unless one address is.
QByteArray addressHeader(const QByteArray& name, const QList<Contact>& contacts);

// A text as quoted-printable lines (RFC 2045) of its UTF-8: each of its
// lines one CRLF line, broken softly only where longer than 76 characters;
// blanks at a line's end kept as =20.
QByteArray quotedPrintable(const QString& text);

// The address with its domain in the ASCII form that every mail server
// reads (punycode: bücher.test is xn--bcher-kva.test); the part before the
// @ as it is.
QByteArray asciiDomain(const QString& address);

// Whether the part before the @ is plain ASCII: an address whose part is not
// travels only through servers that offer SMTPUTF8.
bool asciiLocalPart(const QString& address);

// The addresses of an address text: separated by ";" or ",", blanks trimmed,
// empty ones dropped.
QStringList splitAddresses(const QString& text);

// An entry of the To box: a name that holds the box's separator ";" keeps
// it as "\;" (and "\" as "\\"), so that it stays one entry.
QString toBoxEntry(const QString& name);

// The entries of a To box text: split at every ";" that no "\" escapes,
// blanks trimmed, the escapes undone.
QStringList toBoxEntries(const QString& text);

// Whether the text is one plain address (local@domain) of at most 254
// characters, with nothing a mail server would read as more than an address:
// no white space, brackets, separators or control characters.
bool isPlainAddress(const QString& address);

// Why a text is not a plain address, for the person who typed it: control
// characters are named, as they cannot be seen. Empty for a plain address.
QString addressProblem(const QString& address);

// The Date header's value, RFC 5322: "Tue, 08 Dec 2026 09:30:00 +0100".
QByteArray mailDate(const QDateTime& when);

// A new, unique Message-ID value for a message from this sender, with the
// sender's domain in punycode.
QByteArray newMessageId(const QString& from);

} // namespace mail
