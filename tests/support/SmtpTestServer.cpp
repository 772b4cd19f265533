#include "tests/support/SmtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

SmtpTestServer::SmtpTestServer(const QStringList& options)
{
    if (options.contains("--host"))
        m_host = options.value(options.indexOf("--host") + 1);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3", QStringList{QORIX_TEST_SOURCE "/support/smtp_server.py", "--dir", m_dir.path()} + options);
    if (!m_process.waitForStarted(10000)) {
        ADD_FAILURE() << "the test mail server did not start";
        return;
    }
    while (m_process.waitForReadyRead(15000)) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT ")) {
            m_port = line.mid(5).toInt();
            return;
        }
    }
    ADD_FAILURE() << "the test mail server did not say its port";
}

SmtpTestServer::~SmtpTestServer()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QStringList SmtpTestServer::Mail::header(const QString& name) const
{
    QStringList values;
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            values << value;
    return values;
}

QStringList SmtpTestServer::commands() const
{
    QFile file(m_dir.filePath("commands"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

QList<SmtpTestServer::Mail> SmtpTestServer::received() const
{
    QList<Mail> mails;
    for (int n = 1;; ++n) {
        QFile file(m_dir.filePath(QString("%1.json").arg(n)));
        if (!file.open(QIODevice::ReadOnly))
            return mails;
        const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
        Mail mail;
        mail.mailFrom = o["mail_from"].toString();
        for (const QJsonValue& option : o["mail_options"].toArray())
            mail.mailOptions << option.toString();
        for (const QJsonValue& name : o["to_names"].toArray())
            mail.toNames << name.toString();
        mail.textRaw = o["text_raw"].toString();
        mail.size = o["size"].toInteger();
        for (const QJsonValue& r : o["rcpt_tos"].toArray())
            mail.recipients << r.toString();
        for (const QJsonValue& h : o["headers"].toArray())
            mail.headers.append({h.toArray()[0].toString(), h.toArray()[1].toString()});
        mail.subject = o["subject"].toString();
        for (const QJsonValue& r : o["to"].toArray())
            mail.to << r.toString();
        mail.longestHeaderLine = o["longest_header_line"].toInt();
        mail.headersAscii = o["headers_ascii"].toBool();
        mail.body = o["body"].toString();
        const QJsonArray attachments = o["attachments"].toArray();
        if (!attachments.isEmpty()) {
            const QJsonObject a = attachments[0].toObject();
            mail.attachmentName = a["filename"].toString();
            mail.attachmentType = a["content_type"].toString();
            mail.attachment = QByteArray::fromBase64(a["data"].toString().toLatin1());
        }
        mails.append(mail);
    }
}
