#include "mail/Netrc.h"

#include "host/HostError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace mail {

using namespace host;
namespace {

struct Entry {
    bool isDefault = false;
    QString machine;
    std::optional<QString> login;
    std::optional<QString> password;
};

class Tokens {
public:
    explicit Tokens(const QString& text) : m_text(text) {}

    // The next token; nullopt at the end of the text.
    std::optional<QString> next()
    {
        for (;;) {
            while (m_at < m_text.size() && m_text[m_at].isSpace())
                ++m_at;
            if (m_at >= m_text.size())
                return std::nullopt;
            if (m_text[m_at] != QLatin1Char('#'))
                break;
            while (m_at < m_text.size() && m_text[m_at] != QLatin1Char('\n'))
                ++m_at;
        }
        QString token;
        if (m_text[m_at] != QLatin1Char('"')) {
            while (m_at < m_text.size() && !m_text[m_at].isSpace())
                token += m_text[m_at++];
            return token;
        }
        for (++m_at; m_at < m_text.size() && m_text[m_at] != QLatin1Char('"'); ++m_at) {
            if (m_text[m_at] == QLatin1Char('\\') && m_at + 1 < m_text.size()) {
                const QChar c = m_text[++m_at];
                token += c == QLatin1Char('n') ? QChar(QLatin1Char('\n'))
                         : c == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                         : c == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                                                 : c;
            } else {
                token += m_text[m_at];
            }
        }
        ++m_at; // the closing quote
        return token;
    }

    // A macro definition runs to the next empty line.
    void skipMacro()
    {
        const qsizetype end = m_text.indexOf(QRegularExpression(QStringLiteral("\\n[ \\t\\r]*\\n")), m_at);
        m_at = end < 0 ? m_text.size() : end + 1;
    }

private:
    const QString& m_text;
    qsizetype m_at = 0;
};

QList<Entry> parse(const QString& text)
{
    QList<Entry> entries;
    Tokens tokens(text);
    while (const std::optional<QString> token = tokens.next()) {
        if (*token == QLatin1String("machine")) {
            entries.append({false, tokens.next().value_or(QString()), {}, {}});
        } else if (*token == QLatin1String("default")) {
            entries.append({true, QString(), {}, {}});
        } else if (*token == QLatin1String("macdef")) {
            tokens.next();
            tokens.skipMacro();
        } else if (*token == QLatin1String("login") || *token == QLatin1String("password")
                   || *token == QLatin1String("account")) {
            const QString value = tokens.next().value_or(QString());
            if (entries.isEmpty())
                continue;
            if (*token == QLatin1String("login"))
                entries.last().login = value;
            else if (*token == QLatin1String("password"))
                entries.last().password = value;
        }
    }
    return entries;
}

} // namespace

std::optional<NetrcLogin> netrcLogin(const QString& host, const QString& user)
{
    QFile file(QDir::home().filePath(QStringLiteral(".netrc")));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<Entry> entries = parse(QString::fromUtf8(file.readAll()));
    const bool holdsPassword = std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.password.has_value(); });
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (holdsPassword && (file.permissions() & others))
        raiseError(ErrorKind::Messaging,
                   QCoreApplication::translate("mail", "The file %1 holds passwords that other users may read, so it is not used. Let only "
                                  "yourself read it (chmod 600 %1), then try again.")
                       .arg(QDir::toNativeSeparators(file.fileName())));
    const bool named = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return !e.isDefault && e.machine.compare(host, Qt::CaseInsensitive) == 0;
    });
    for (const Entry& e : entries) {
        const bool forHost = named ? !e.isDefault && e.machine.compare(host, Qt::CaseInsensitive) == 0 : e.isDefault;
        if (forHost && (user.isEmpty() || e.login == user))
            return NetrcLogin{e.login.value_or(QString()), e.password.value_or(QString()), file.fileName()};
    }
    return std::nullopt;
}

} // namespace mail
