#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real mail server on the loopback address (Debian's aiosmtpd), started for
// one test and stopped after it; it records what it receives.
class SmtpTestServer {
public:
    explicit SmtpTestServer(const QStringList& options = {});
    ~SmtpTestServer();

    QString url() const { return QStringLiteral("smtp://%1:%2").arg(m_host).arg(m_port); }
    bool running() const { return m_port > 0; }

    struct Mail {
        QString mailFrom;
        QStringList mailOptions; // what MAIL FROM carried besides the address
        QStringList toNames;     // the To header's display names
        QString textRaw;         // the text part as it travelled
        qint64 size = 0;         // of the whole message
        QStringList recipients;
        QList<std::pair<QString, QString>> headers;
        QString subject;
        QStringList to; // the To header's addresses
        int longestHeaderLine = 0;
        bool headersAscii = false;
        QString body;
        QString attachmentName;
        QString attachmentType;
        QByteArray attachment;

        QStringList header(const QString& name) const;
    };
    QList<Mail> received() const;
    // The commands among AUTH and MAIL that clients gave, in order.
    QStringList commands() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 0;
};
