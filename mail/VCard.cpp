#include "mail/VCard.h"

#include "host/Files.h"
#include "host/HostError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace mail {

using namespace host;
namespace {

struct ContentLine {
    QString property; // the name, upper case, without group or parameters
    QString value;
    int preference;   // 1 for the most preferred; kNotPreferred when none is said
};

constexpr int kNotPreferred = 101;

// How much a line is preferred among its kind: "PREF=1" (4.0), "TYPE=pref"
// (3.0) or a bare "PREF" (2.1).
int preferenceOf(const QByteArray& nameAndParameters)
{
    int preference = kNotPreferred;
    for (const QByteArray& parameter : nameAndParameters.toUpper().split(';').mid(1)) {
        if (parameter.startsWith("PREF="))
            preference = std::min(preference, std::clamp(parameter.mid(5).toInt(), 1, kNotPreferred));
        else if (parameter == "PREF" || (parameter.startsWith("TYPE=") && parameter.mid(5).split(',').contains("PREF")))
            preference = 1;
    }
    return preference;
}

bool isQuotedPrintable(const QByteArray& nameAndParameters)
{
    return nameAndParameters.toUpper().contains("QUOTED-PRINTABLE");
}

// The value as text: quoted-printable decoded (vCard 2.1), in the CHARSET
// that it names, UTF-8 when it names none.
QString decodeValue(const QByteArray& nameAndParameters, const QByteArray& value)
{
    const QByteArray bytes = isQuotedPrintable(nameAndParameters) ? QByteArray::fromPercentEncoding(value, '=') : value;
    for (const QByteArray& parameter : nameAndParameters.split(';'))
        if (parameter.toUpper().startsWith("CHARSET=")) {
            QStringDecoder decoder(parameter.mid(8).constData());
            return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
        }
    return QString::fromUtf8(bytes);
}

// The content lines with their folding undone: a line that starts with a
// blank continues the one before, and so does the line after a
// quoted-printable value that ends in a soft line break ("=").
QList<ContentLine> contentLines(const QByteArray& text)
{
    QByteArrayList lines;
    bool softBreak = false;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (softBreak) {
            lines.last().chop(1);
            lines.last() += line;
        } else if ((line.startsWith(' ') || line.startsWith('\t')) && !lines.isEmpty()) {
            lines.last() += line.mid(1);
        } else {
            lines << line;
        }
        const qsizetype colon = lines.last().indexOf(':');
        softBreak = colon >= 0 && isQuotedPrintable(lines.last().left(colon)) && lines.last().endsWith('=');
    }
    QList<ContentLine> content;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        // "item1.EMAIL;TYPE=work" names the property EMAIL.
        const QByteArray nameAndParameters = line.left(colon);
        const QString property = QString::fromLatin1(nameAndParameters.split(';').first().toUpper()).section(QLatin1Char('.'), -1);
        content.append({property, decodeValue(nameAndParameters, line.mid(colon + 1)), preferenceOf(nameAndParameters)});
    }
    return content;
}

QString unescape(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            out += (next == QLatin1Char('n') || next == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

QString escape(const QString& value)
{
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            out += QLatin1String("\\n");
            continue;
        }
        out += c;
    }
    return out;
}

// The parts of a structured value, split at unescaped semicolons.
QStringList components(const QString& value)
{
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            parts.last() += value.mid(i, 2);
            ++i;
        } else if (value[i] == QLatin1Char(';')) {
            parts << QString();
        } else {
            parts.last() += value[i];
        }
    }
    for (QString& part : parts)
        part = unescape(part);
    return parts;
}

} // namespace

QList<Card> parseCards(const QByteArray& text)
{
    QList<Card> cards;
    QString formatted, structured;
    QList<std::pair<int, QString>> addresses; // with their preference
    bool inCard = false;
    for (const auto& [property, value, preference] : contentLines(text)) {
        if (property == QLatin1String("BEGIN") && value.trimmed().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0) {
            inCard = true;
            formatted.clear();
            structured.clear();
            addresses.clear();
        } else if (!inCard) {
            continue;
        } else if (property == QLatin1String("FN")) {
            formatted = unescape(value).trimmed();
        } else if (property == QLatin1String("N")) {
            const QStringList parts = components(value);
            QStringList name;
            for (int i : {3, 1, 2, 0, 4}) // prefix, given, additional, family, suffix
                if (i < parts.size() && !parts[i].trimmed().isEmpty())
                    name << parts[i].trimmed();
            structured = name.join(QLatin1Char(' '));
        } else if (property == QLatin1String("EMAIL")) {
            QString address = unescape(value).trimmed();
            if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
                address = address.mid(7);
            if (!address.isEmpty())
                addresses.append({preference, address});
        } else if (property == QLatin1String("END")) {
            std::stable_sort(addresses.begin(), addresses.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            Card card{formatted.isEmpty() ? structured : formatted, {}};
            for (const auto& address : addresses)
                card.addresses << address.second;
            if (!card.addresses.isEmpty())
                cards.append(card);
            inCard = false;
        }
    }
    return cards;
}

namespace {

QList<Contact> contactsOf(const QList<Card>& cards)
{
    QList<Contact> contacts;
    for (const Card& card : cards)
        for (const QString& address : card.addresses)
            contacts.append({card.name.isEmpty() ? address : card.name, address});
    return contacts;
}

} // namespace

QList<Contact> parseVCards(const QByteArray& text)
{
    return contactsOf(parseCards(text));
}

QByteArray formatVCard(const Contact& contact)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:%1\r\nN:;%1;;;\r\nEMAIL;TYPE=INTERNET:%2\r\nEND:VCARD\r\n")
        .arg(escape(contact.name), escape(contact.address))
        .toUtf8();
}

QList<Card> readCards(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        raiseError(ErrorKind::File, QCoreApplication::translate("mail", "Could not read the address book %1: %2")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return parseCards(file.readAll());
}

QList<Contact> readAddressBook(const QString& path)
{
    return contactsOf(readCards(path));
}

void appendContact(const QString& path, const Contact& contact)
{
    QByteArray content;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            raiseError(ErrorKind::File, QCoreApplication::translate("mail", "Could not read the address book %1: %2")
                                            .arg(QDir::toNativeSeparators(path), existing.errorString()));
        content = existing.readAll();
        existing.close();
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += "\r\n";
    }
    content += formatVCard(contact);
    AtomicFile file(path);
    file.write(content);
    file.commit();
}

} // namespace mail
