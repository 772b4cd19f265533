#include "mail/SmtpSender.h"

#include "host/HostError.h"
#include "mail/MailFormat.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <curl/curl.h>
#include <memory>
#include <sys/socket.h>

namespace mail {

using namespace host;
namespace {

[[noreturn]] void failed(const MailAccount& account, const QString& reason)
{
    raiseError(ErrorKind::Messaging, QCoreApplication::translate("mail", "Could not send the e-mail through %1: %2").arg(account.server, reason));
}

struct CurlHandles {
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    curl_mime* mime = nullptr;
    curl_slist* recipients = nullptr;
    curl_slist* headers = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    curl_socket_t socket = CURL_SOCKET_BAD;
    bool abandoned = false;

    ~CurlHandles()
    {
        // An abandoned transfer's connection is cut first: a polite QUIT to a
        // server that does not answer would wait for it.
        if (abandoned && socket != CURL_SOCKET_BAD)
            ::shutdown(socket, SHUT_RDWR);
        if (multi && easy)
            curl_multi_remove_handle(multi, easy);
        curl_mime_free(mime);
        curl_slist_free_all(recipients);
        curl_slist_free_all(headers);
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
    }
};

QString describe(CURLcode code, const char* detail)
{
    switch (code) {
    case CURLE_LOGIN_DENIED:
        return QCoreApplication::translate("mail", "the server refused the login. Check the user name and password.");
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        return QCoreApplication::translate("mail", "could not connect to the server (%1).").arg(QString::fromUtf8(detail));
    case CURLE_OPERATION_TIMEDOUT:
        return QCoreApplication::translate("mail", "the server did not answer in time.");
    case CURLE_USE_SSL_FAILED:
        return QCoreApplication::translate("mail", "the server does not offer an encrypted connection (STARTTLS).");
    default:
        break;
    }
    if (QByteArray(detail).startsWith("RCPT failed"))
        return QCoreApplication::translate("mail", "the server refused a recipient (%1).").arg(QString::fromUtf8(detail));
    if (QByteArray(detail).startsWith("MAIL failed"))
        return QCoreApplication::translate("mail", "the server refused the sender (%1).").arg(QString::fromUtf8(detail));
    const QString text = QString::fromUtf8(*detail ? detail : curl_easy_strerror(code));
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

int rememberSocket(void* handles, curl_socket_t socket, curlsocktype)
{
    static_cast<CurlHandles*>(handles)->socket = socket;
    return CURL_SOCKOPT_OK;
}

void globalInit()
{
    static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(done);
}

// The connection: where, how safely, how patiently, and the login.
void setConnection(CurlHandles& h, const MailAccount& account)
{
    CURL* curl = h.easy;
    curl_easy_setopt(curl, CURLOPT_URL, account.server.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, h.error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, rememberSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &h);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(encryptionRequired(account.server) ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(account.connectTimeoutSeconds));
    // A server that stops answering for this long ends the transfer.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(account.transferTimeoutSeconds));
    if (!account.user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, account.user.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    }
}

// The envelope, the headers we write and the parts: the text, and the
// attachment as image/bmp.
void setMessage(CurlHandles& h, const MailAccount& account, const OutgoingMail& mail)
{
    CURL* curl = h.easy;
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, ("<" + oneLine(account.from).toUtf8() + ">").constData());
    for (const QString& address : mail.to)
        h.recipients = curl_slist_append(h.recipients, ("<" + oneLine(address).toUtf8() + ">").constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, h.recipients);
    for (const QByteArray& header :
         {"Date: " + mailDate(QDateTime::currentDateTime()), addressHeader("From", {account.from}),
          addressHeader("To", mail.to), textHeader("Subject", mail.subject),
          "Message-ID: " + newMessageId(account.from)})
        h.headers = curl_slist_append(h.headers, header.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, h.headers);

    h.mime = curl_mime_init(curl);
    curl_mimepart* text = curl_mime_addpart(h.mime);
    const QByteArray body = mail.body.toUtf8();
    curl_mime_data(text, body.constData(), std::size_t(body.size()));
    curl_mime_type(text, "text/plain; charset=UTF-8");
    curl_mime_encoder(text, "quoted-printable");
    if (!mail.attachment.isEmpty()) {
        curl_mimepart* file = curl_mime_addpart(h.mime);
        if (curl_mime_filedata(file, QFileInfo(mail.attachment).absoluteFilePath().toLocal8Bit().constData()) != CURLE_OK)
            failed(account, QCoreApplication::translate("mail", "the attachment %1 cannot be read.").arg(mail.attachment));
        curl_mime_filename(file, QFileInfo(mail.attachment).fileName().toUtf8().constData());
        curl_mime_type(file, "image/bmp");
        curl_mime_encoder(file, "base64");
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, h.mime);
}

// Runs the transfer while the user interface goes on; the person may stop
// it. The transfer's result.
CURLcode transfer(CurlHandles& h, const QString& server, Prompts& prompts, bool& cancelled)
{
    curl_multi_add_handle(h.multi, h.easy);
    int running = 1;
    while (running && !cancelled) {
        curl_multi_perform(h.multi, &running);
        if (!running)
            break;
        curl_multi_poll(h.multi, nullptr, 0, 20, nullptr);
        curl_off_t sent = 0, total = 0;
        curl_easy_getinfo(h.easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        curl_easy_getinfo(h.easy, CURLINFO_CONTENT_LENGTH_UPLOAD_T, &total);
        cancelled = prompts.transferring(server, sent, total);
    }
    prompts.transferEnded();
    CURLcode result = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(h.multi, &left))
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    return result;
}

} // namespace

bool isLoopbackServer(const QString& server)
{
    static const QRegularExpression loopbackV4(QStringLiteral("^127\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    const QString host = QUrl(server).host();
    return host == QLatin1String("localhost") || host == QLatin1String("::1") || loopbackV4.match(host).hasMatch();
}

bool encryptionRequired(const QString& server)
{
    return !isLoopbackServer(server);
}

void sendMail(const MailAccount& account, const OutgoingMail& mail, Prompts& prompts)
{
    globalInit();
    CurlHandles h;
    if (!h.easy || !h.multi)
        failed(account, QCoreApplication::translate("mail", "the network library could not start."));
    setConnection(h, account);
    setMessage(h, account, mail);
    bool cancelled = false;
    const CURLcode result = transfer(h, account.server, prompts, cancelled);
    h.abandoned = cancelled || result != CURLE_OK;
    if (cancelled)
        failed(account, QCoreApplication::translate("mail", "sending was cancelled."));
    if (result != CURLE_OK)
        failed(account, describe(result, h.error));
}

} // namespace mail
