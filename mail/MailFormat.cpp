#include "mail/MailFormat.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace mail {

QString oneLine(const QString& value)
{
    QString line = value;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

namespace {

constexpr qsizetype kLineLength = 78;
constexpr qsizetype kEncodedWordLength = 75;
const QByteArray kEncodedStart = "=?UTF-8?B?";
const QByteArray kEncodedEnd = "?=";

// Builds a header line by line: each piece goes after its white space on the
// current line when it fits, and otherwise starts a continuation line with
// that white space. The first piece always stays beside the name.
class FoldedHeader {
public:
    explicit FoldedHeader(const QByteArray& name) : m_text(name + ':'), m_line(m_text.size()) {}

    void add(const QByteArray& space, const QByteArray& piece)
    {
        if (m_pieces > 0 && m_line + space.size() + piece.size() > kLineLength) {
            m_text += "\r\n";
            m_line = 0;
        }
        m_text += space + piece;
        m_line += space.size() + piece.size();
        ++m_pieces;
    }

    // How many characters a piece after this white space has on the current
    // line, or on a new one when the current line has too few.
    qsizetype room(const QByteArray& space, qsizetype wanted) const
    {
        const qsizetype here = kLineLength - m_line - space.size();
        return here >= wanted || m_pieces == 0 ? here : kLineLength - space.size();
    }

    const QByteArray& text() const { return m_text; }

private:
    QByteArray m_text;
    qsizetype m_line;
    int m_pieces = 0;
};

// Text as encoded words, each filling what is left of its line.
void addEncoded(FoldedHeader& header, QByteArray space, const QString& text)
{
    constexpr qsizetype overhead = 12; // "=?UTF-8?B?" and "?="
    constexpr qsizetype smallest = overhead + 8; // one character of up to four bytes
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = text.mid(i, length).toUtf8();
        const qsizetype room = std::min(header.room(space, smallest), kEncodedWordLength);
        if (!chunk.isEmpty() && (chunk.size() + character.size() + 2) / 3 * 4 + overhead > room) {
            header.add(space, kEncodedStart + chunk.toBase64() + kEncodedEnd);
            space = " ";
            chunk.clear();
            continue;
        }
        chunk += character;
        i += length;
    }
    if (!chunk.isEmpty())
        header.add(space, kEncodedStart + chunk.toBase64() + kEncodedEnd);
}

// A word that can stand in a header as it is: printable ASCII, short enough
// for a line of its own, and not mistaken for an encoded word.
bool isPlainWord(const QString& word)
{
    for (const QChar c : word)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return false;
    return word.size() < kLineLength && !(word.startsWith(QLatin1String("=?")) && word.endsWith(QLatin1String("?=")));
}

} // namespace

QByteArray textHeader(const QByteArray& name, const QString& value)
{
    static const QRegularExpression words(QStringLiteral("([ \\t]*)([^ \\t]+)"));
    FoldedHeader header(name);
    // Neighbouring words that must be encoded travel together with the white
    // space between them, since white space between encoded words is dropped.
    QString run;
    QByteArray runSpace;
    for (const QRegularExpressionMatch& m : words.globalMatch(oneLine(value))) {
        const QByteArray space = m.captured(1).isEmpty() ? QByteArray(" ") : m.captured(1).toLatin1();
        const QString word = m.captured(2);
        if (!isPlainWord(word) || header.room(space, word.size()) < word.size()) {
            if (run.isEmpty())
                runSpace = space;
            run += (run.isEmpty() ? QString() : m.captured(1)) + word;
            continue;
        }
        if (!run.isEmpty())
            addEncoded(header, runSpace, run);
        run.clear();
        header.add(space, word.toLatin1());
    }
    if (!run.isEmpty())
        addEncoded(header, runSpace, run);
    return header.text();
}

QByteArray addressHeader(const QByteArray& name, const QList<Contact>& contacts)
{
    FoldedHeader header(name);
    for (qsizetype i = 0; i < contacts.size(); ++i) {
        const QString display = oneLine(contacts[i].name).trimmed();
        const QByteArray address = asciiDomain(oneLine(contacts[i].address));
        const QByteArray comma = i + 1 < contacts.size() ? "," : "";
        if (display.isEmpty() || display == contacts[i].address) {
            header.add(" ", address + comma);
            continue;
        }
        const bool ascii = std::all_of(display.begin(), display.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
        if (ascii && display.size() < kLineLength / 2)
            header.add(" ", '"' + display.toLatin1().replace('\\', "\\\\").replace('"', "\\\"") + '"');
        else
            addEncoded(header, " ", display);
        header.add(" ", "<" + address + ">" + comma);
    }
    return header.text();
}

QByteArray quotedPrintable(const QString& text)
{
    constexpr qsizetype kWidth = 76;
    QByteArrayList lines;
    for (QByteArray line : text.toUtf8().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QByteArray encoded;
        qsizetype width = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const quint8 byte = quint8(line[i]);
            const bool last = i + 1 == line.size();
            const bool plain = (byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !last);
            const QByteArray piece = plain ? QByteArray(1, char(byte)) : "=" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
            // A soft break ("=" at the end) where the line would be too long.
            if (width + piece.size() > kWidth - (last ? 0 : 1)) {
                encoded += "=\r\n";
                width = 0;
            }
            encoded += piece;
            width += piece.size();
        }
        lines << encoded;
    }
    return lines.join("\r\n");
}

QByteArray asciiDomain(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QByteArray domain = at < 0 ? QByteArray() : QUrl::toAce(address.mid(at + 1));
    if (domain.isEmpty())
        return address.toUtf8();
    return address.left(at + 1).toUtf8() + domain;
}

bool asciiLocalPart(const QString& address)
{
    const QString local = address.left(address.lastIndexOf(QLatin1Char('@')));
    return std::all_of(local.begin(), local.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QStringList splitAddresses(const QString& text)
{
    QStringList addresses;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[;,]"))))
        if (!part.trimmed().isEmpty())
            addresses << part.trimmed();
    return addresses;
}

QString toBoxEntry(const QString& name)
{
    QString entry = name;
    entry.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    entry.replace(QLatin1Char(';'), QLatin1String("\\;"));
    return entry;
}

QStringList toBoxEntries(const QString& text)
{
    QStringList entries{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size())
            entries.last() += text[++i];
        else if (text[i] == QLatin1Char(';'))
            entries << QString();
        else
            entries.last() += text[i];
    }
    for (QString& entry : entries)
        entry = entry.trimmed();
    return entries;
}

bool isPlainAddress(const QString& address)
{
    static const QRegularExpression plain(
        QStringLiteral("^[^@\\s<>()\\[\\]\\\\,;:\"\\x00-\\x1f\\x7f-\\x9f]+@[^@\\s<>()\\[\\]\\\\,;:\"\\x00-\\x1f\\x7f-\\x9f]+$"));
    return address.size() <= 254 && plain.match(address).hasMatch();
}

QString addressProblem(const QString& address)
{
    if (isPlainAddress(address))
        return {};
    QString shown;
    QStringList controls;
    for (const QChar c : address) {
        const bool control = c.category() == QChar::Other_Control;
        const QString code = QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        shown += control ? QLatin1Char('<') + code + QLatin1Char('>') : QString(c);
        if (control && !controls.contains(code))
            controls << code;
    }
    if (!controls.isEmpty())
        return QCoreApplication::translate("mail", "\"%1\" is not an e-mail address: it holds the control character %2.")
            .arg(shown, controls.join(QStringLiteral(", ")));
    return QCoreApplication::translate("mail", "\"%1\" is not an e-mail address.").arg(shown);
}

QByteArray mailDate(const QDateTime& when)
{
    const int offset = when.offsetFromUtc() / 60;
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")).toLatin1()
           + QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60)
                 .toLatin1();
}

QByteArray newMessageId(const QString& from)
{
    const QString domain = from.section(QLatin1Char('@'), -1).trimmed();
    QByteArray ace = QUrl::toAce(domain);
    if (!from.contains(QLatin1Char('@')) || !isPlainAddress(QStringLiteral("x@") + domain) || ace.isEmpty())
        ace = "qorix-capture.invalid";
    const quint64 a = QRandomGenerator::system()->generate64();
    const quint64 b = QRandomGenerator::system()->generate64();
    return "<" + QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + "." + QByteArray::number(a, 36)
           + QByteArray::number(b, 36) + "@" + ace + ">";
}

} // namespace mail
