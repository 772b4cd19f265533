#include "host/MailFormat.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace host {

QString oneLine(const QString& value)
{
    QString line = value;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

QByteArray encodeHeaderValue(const QString& value)
{
    const QString line = oneLine(value);
    bool ascii = true;
    for (const QChar c : line)
        ascii &= c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii)
        return line.toLatin1();
    // Encoded words of at most 45 bytes of text (60 of base64, 75 in all),
    // never splitting a character.
    QByteArray out;
    QByteArray chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += ' ';
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        qsizetype length = line[i].isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        const QByteArray character = line.mid(i, length).toUtf8();
        if (chunk.size() + character.size() > 45)
            flush();
        chunk += character;
        i += length - 1;
    }
    flush();
    return out;
}

QStringList splitAddresses(const QString& text)
{
    QStringList addresses;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[;,]"))))
        if (!part.trimmed().isEmpty())
            addresses << part.trimmed();
    return addresses;
}

bool isPlainAddress(const QString& address)
{
    static const QRegularExpression plain(QStringLiteral("^[^@\\s<>()\\[\\]\\\\,;:\"]+@[^@\\s<>()\\[\\]\\\\,;:\"]+$"));
    return plain.match(address).hasMatch();
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
    QString domain = from.section(QLatin1Char('@'), -1).trimmed();
    if (!from.contains(QLatin1Char('@')) || !isPlainAddress(QStringLiteral("x@") + domain))
        domain = QStringLiteral("qorix-capture.invalid");
    const quint64 a = QRandomGenerator::system()->generate64();
    const quint64 b = QRandomGenerator::system()->generate64();
    return "<" + QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + "." + QByteArray::number(a, 36)
           + QByteArray::number(b, 36) + "@" + domain.toLatin1() + ">";
}

} // namespace host
