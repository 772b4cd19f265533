#include "mail/SmtpSender.h"

#include "host/HostError.h"
#include "mail/Curl.h"
#include "mail/MailFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace mail {

using namespace host;
namespace {

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / 1e6, 'f', 1);
}

[[noreturn]] void failed(const MailAccount& account, const QString& reason)
{
    raiseError(ErrorKind::Messaging, QCoreApplication::translate("mail", "Could not send the e-mail through %1: %2").arg(account.server, reason));
}

// The session as far as it went, and the first refusal in it: the reason a
// send failed, in the server's own words.
struct Conversation {
    struct Step {
        QByteArray command;  // the verb (MAIL, RCPT, DATA, ...)
        QByteArray argument; // the address, for MAIL and RCPT
        QByteArray reply;    // the server's reply, its lines joined
    };
    Step current;
    Step refused; // no reply when nothing was refused
    QByteArray pending; // the lines of a reply still coming
    bool smtpUtf8 = false; // offered in the reply to the last EHLO
    qint64 sizeLimit = 0;  // the largest message it takes, when it says; 0 when not
};

struct CurlHandles {
    CURL* easy = libcurl().easy_init();
    curl_mime* mime = nullptr;
    curl_slist* recipients = nullptr;
    curl_slist* headers = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    Conversation conversation;
    // Addresses whose part before the @ is not ASCII, and the message's
    // size within a few hundred bytes: the session stops before the message
    // when the server cannot take them.
    QStringList needSmtpUtf8;
    qint64 messageSize = 0;
    // The connection, which the user interface may cut while the transfer's
    // thread waits on it: guarded, so that a socket already closed (whose
    // number the system may give to another file) is never touched.
    std::mutex socketLock;
    curl_socket_t socket = CURL_SOCKET_BAD;
    bool abandoned = false;

    void cutConnection()
    {
        const std::lock_guard lock(socketLock);
        if (socket != CURL_SOCKET_BAD)
            ::shutdown(socket, SHUT_RDWR);
    }

    ~CurlHandles()
    {
        // An abandoned transfer's connection is cut first: a polite QUIT to a
        // server that does not answer would wait for it.
        if (abandoned)
            cutConnection();
        libcurl().mime_free(mime);
        libcurl().slist_free_all(recipients);
        libcurl().slist_free_all(headers);
        if (easy)
            libcurl().easy_cleanup(easy);
    }
};

// Whether trying again later may help, after the server's reply.
QString advice(const QByteArray& reply)
{
    if (reply.startsWith('4'))
        return QCoreApplication::translate("mail", "The server refuses only for now: trying again later may help.");
    return QCoreApplication::translate("mail", "Trying again as it is will not help.");
}

// The step a command stands for, in words.
QString stepInWords(const QByteArray& command)
{
    if (command == "MAIL")
        return QCoreApplication::translate("mail", "naming the sender");
    if (command == "RCPT")
        return QCoreApplication::translate("mail", "naming the recipients");
    if (command == "DATA")
        return QCoreApplication::translate("mail", "the message");
    if (command == "AUTH")
        return QCoreApplication::translate("mail", "the login");
    return QCoreApplication::translate("mail", "the greeting");
}

// The step the server refused, from the command it answered.
QString refusedStep(const Conversation::Step& step)
{
    const QString argument = QString::fromUtf8(step.argument);
    // A size announced with the sender, too large for the server.
    if (step.command == "MAIL" && step.reply.startsWith("552"))
        return QCoreApplication::translate("mail", "the server refused the message as too large");
    if (step.command == "MAIL")
        return QCoreApplication::translate("mail", "the server refused the sender %1").arg(argument);
    if (step.command == "RCPT")
        return QCoreApplication::translate("mail", "the server refused the recipient %1").arg(argument);
    if (step.command == "DATA" || step.command.isEmpty())
        return QCoreApplication::translate("mail", "the server refused the message");
    return QCoreApplication::translate("mail", "the server refused %1").arg(stepInWords(step.command));
}

QString describe(CURLcode code, const char* detail, const Conversation& c)
{
    const QString reply = QString::fromUtf8(c.refused.reply);
    switch (code) {

    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        return QCoreApplication::translate("mail", "could not connect to the server (%1). Trying again later may help.")
            .arg(QString::fromUtf8(detail));
    case CURLE_OPERATION_TIMEDOUT:
        return QCoreApplication::translate("mail", "the server did not answer in time. Trying again later may help.");
    case CURLE_USE_SSL_FAILED:
        return QCoreApplication::translate("mail", "the server does not offer an encrypted connection (STARTTLS).");
    default:
        break;
    }
    if (!c.refused.reply.isEmpty())
        return QCoreApplication::translate("mail", "%1: \"%2\". %3").arg(refusedStep(c.refused), reply, advice(c.refused.reply));
    if (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING)
        return QCoreApplication::translate("mail", "the server closed the connection during %1. Trying again later "
                                                   "may help.")
            .arg(stepInWords(c.current.command));
    const QString text = QString::fromUtf8(*detail ? detail : libcurl().easy_strerror(code));
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

// Notes the commands sent and the server's replies (never what follows
// AUTH: a password).
int watchConversation(CURL*, curl_infotype type, char* data, size_t size, void* conversation)
{
    auto& c = *static_cast<Conversation*>(conversation);
    const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray command = line.left(4).toUpper();
        if (command == "QUIT")
            return 0;
        c.current = {command, {}, {}};
        if (command == "EHLO") {
            c.smtpUtf8 = false;
            c.sizeLimit = 0;
        }
        if (command == "MAIL" || command == "RCPT") {
            const qsizetype open = line.indexOf('<');
            c.current.argument = line.mid(open + 1, line.indexOf('>', open) - open - 1);
        }
    } else if (type == CURLINFO_HEADER_IN) {
        c.pending += (c.pending.isEmpty() ? "" : " ") + line;
        const QByteArrayList extension = line.mid(4).trimmed().toUpper().split(' ');
        if (c.current.command == "EHLO" && extension[0] == "SMTPUTF8")
            c.smtpUtf8 = true;
        if (c.current.command == "EHLO" && extension[0] == "SIZE")
            c.sizeLimit = extension.value(1).toLongLong();
        // "250-..." continues a reply, "250 ..." ends it.
        if (line.size() >= 4 && line[3] == '-')
            return 0;
        c.current.reply = std::exchange(c.pending, {});
        if (c.refused.reply.isEmpty() && (c.current.reply.startsWith('4') || c.current.reply.startsWith('5')))
            c.refused = c.current;
    }
    return 0;
}

// Why the server, as its greeting described it, cannot take the message;
// empty when it can.
QString whyNotTaken(const CurlHandles& h)
{
    const Conversation& c = h.conversation;
    if (c.sizeLimit > 0 && h.messageSize > c.sizeLimit)
        return QCoreApplication::translate("mail", "the message is %1 MB, and the server takes at most %2 MB. A capture "
                                                   "of fewer colours (16, or Monochrome) is smaller. Nothing was sent.")
            .arg(megabytes(h.messageSize), megabytes(c.sizeLimit));
    if (!h.needSmtpUtf8.isEmpty() && !c.smtpUtf8)
        return QCoreApplication::translate("mail", "%1 cannot go through this server: the part before the @ is not "
                                                   "plain ASCII, and the server does not offer SMTPUTF8, which such "
                                                   "addresses need. Nothing was sent.")
            .arg(h.needSmtpUtf8.join(QStringLiteral(", ")));
    return {};
}

// Called once the session is open (greeting, EHLO, STARTTLS and login done),
// before the sender is named.
int beforeTheMessage(void* handles, char*, char*, int, int)
{
    return whyNotTaken(*static_cast<CurlHandles*>(handles)).isEmpty() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

int rememberSocket(void* handles, curl_socket_t socket, curlsocktype)
{
    auto* h = static_cast<CurlHandles*>(handles);
    const std::lock_guard lock(h->socketLock);
    h->socket = socket;
    return CURL_SOCKOPT_OK;
}

int closeSocket(void* handles, curl_socket_t socket)
{
    auto* h = static_cast<CurlHandles*>(handles);
    const std::lock_guard lock(h->socketLock);
    if (h->socket == socket)
        h->socket = CURL_SOCKET_BAD;
    return ::close(socket);
}

void globalInit()
{
    static const bool done = libcurl().global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(done);
}

// The connection: where, how safely, how patiently, and the login.
void setConnection(CurlHandles& h, const MailAccount& account)
{
    CURL* curl = h.easy;
    libcurl().easy_setopt(curl, CURLOPT_URL, account.server.toUtf8().constData());
    libcurl().easy_setopt(curl, CURLOPT_ERRORBUFFER, h.error);
    libcurl().easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    libcurl().easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, rememberSocket);
    libcurl().easy_setopt(curl, CURLOPT_SOCKOPTDATA, &h);
    libcurl().easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
    libcurl().easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &h);
    libcurl().easy_setopt(curl, CURLOPT_DEBUGFUNCTION, watchConversation);
    libcurl().easy_setopt(curl, CURLOPT_DEBUGDATA, &h.conversation);
    libcurl().easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    libcurl().easy_setopt(curl, CURLOPT_PREREQFUNCTION, beforeTheMessage);
    libcurl().easy_setopt(curl, CURLOPT_PREREQDATA, &h);
    libcurl().easy_setopt(curl, CURLOPT_USE_SSL, long(encryptionRequired(account.server) ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    libcurl().easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(account.connectTimeoutSeconds));
    // A server that stops answering for this long ends the transfer.
    libcurl().easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    libcurl().easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(account.transferTimeoutSeconds));
    // Certificates of the user's own authority, trusted besides the
    // system's (which come from the folder of them).
    if (!account.caFile.isEmpty()) {
        QFile certificates(account.caFile);
        if (!certificates.open(QIODevice::ReadOnly))
            failed(account, QCoreApplication::translate("mail", "the certificate file %1 (CAFile) cannot be read: %2")
                                .arg(QDir::toNativeSeparators(account.caFile), certificates.errorString()));
        libcurl().easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(account.caFile).constData());
    }
    if (!account.user.isEmpty()) {
        libcurl().easy_setopt(curl, CURLOPT_USERNAME, account.user.toUtf8().constData());
        libcurl().easy_setopt(curl, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    }
}

// The envelope, the headers we write and the parts: the text, and the
// attachment as image/bmp.
void setMessage(CurlHandles& h, const MailAccount& account, const OutgoingMail& mail)
{
    CURL* curl = h.easy;
    QStringList addresses{account.from};
    for (const Contact& recipient : mail.to)
        addresses << recipient.address;
    // Whatever the caller checked: nothing that is not one plain address
    // reaches the server, where it could add a command of its own.
    for (const QString& address : addresses)
        if (const QString problem = addressProblem(address); !problem.isEmpty())
            failed(account, problem);
    libcurl().easy_setopt(curl, CURLOPT_MAIL_FROM, ("<" + account.from.toUtf8() + ">").constData());
    for (const Contact& recipient : mail.to)
        h.recipients = libcurl().slist_append(h.recipients, ("<" + recipient.address.toUtf8() + ">").constData());
    libcurl().easy_setopt(curl, CURLOPT_MAIL_RCPT, h.recipients);
    for (const QString& address : addresses)
        if (!asciiLocalPart(address))
            h.needSmtpUtf8 << address;
    for (const QByteArray& header :
         {"Date: " + mailDate(QDateTime::currentDateTime()), addressHeader("From", {{.name = {}, .address = account.from}}),
          addressHeader("To", mail.to), textHeader("Subject", mail.subject),
          "Message-ID: " + newMessageId(account.from)}) {
        h.headers = libcurl().slist_append(h.headers, header.constData());
        h.messageSize += header.size() + 2;
    }
    libcurl().easy_setopt(curl, CURLOPT_HTTPHEADER, h.headers);

    // The text in quoted-printable lines of our own, so that the message's
    // size is known before it goes (libcurl's encoder cannot tell it).
    h.mime = libcurl().mime_init(curl);
    curl_mimepart* text = libcurl().mime_addpart(h.mime);
    const QByteArray body = quotedPrintable(mail.body);
    libcurl().mime_data(text, body.constData(), std::size_t(body.size()));
    libcurl().mime_type(text, "text/plain; charset=UTF-8");
    libcurl().mime_headers(text, libcurl().slist_append(nullptr, "Content-Transfer-Encoding: quoted-printable"), 1);
    // What libcurl adds: its headers, the parts' headers and boundaries.
    h.messageSize += body.size() + 512;
    if (!mail.attachment.isEmpty()) {
        curl_mimepart* file = libcurl().mime_addpart(h.mime);
        if (libcurl().mime_filedata(file, QFileInfo(mail.attachment).absoluteFilePath().toLocal8Bit().constData()) != CURLE_OK)
            failed(account, QCoreApplication::translate("mail", "the attachment %1 cannot be read.").arg(mail.attachment));
        libcurl().mime_filename(file, QFileInfo(mail.attachment).fileName().toUtf8().constData());
        libcurl().mime_type(file, "image/bmp");
        libcurl().mime_encoder(file, "base64");
        // Base64 in lines of 76 characters and a line break.
        const qint64 encoded = (QFileInfo(mail.attachment).size() + 2) / 3 * 4;
        h.messageSize += encoded + (encoded + 75) / 76 * 2 + 256;
    }
    libcurl().easy_setopt(curl, CURLOPT_MIMEPOST, h.mime);
}

// What the transfer's thread and the user interface share.
struct Progress {
    std::atomic<curl_off_t> sent = 0;
    std::atomic<curl_off_t> total = 0;
    std::atomic<bool> cancelled = false;
};

int reportProgress(void* progress, curl_off_t, curl_off_t, curl_off_t total, curl_off_t sent)
{
    auto& p = *static_cast<Progress*>(progress);
    p.sent = sent;
    p.total = total;
    return p.cancelled ? 1 : 0;
}

// Runs the transfer while the user interface goes on; the person may stop
// it at any moment. libcurl waits for some of the server's replies without
// returning (the one to the message's end above all), so the transfer has a
// thread of its own, joined before this returns. The transfer's result.
CURLcode transfer(CurlHandles& h, const QString& server, Prompts& prompts, bool& cancelled)
{
    Progress progress;
    libcurl().easy_setopt(h.easy, CURLOPT_NOPROGRESS, 0L);
    libcurl().easy_setopt(h.easy, CURLOPT_XFERINFOFUNCTION, reportProgress);
    libcurl().easy_setopt(h.easy, CURLOPT_XFERINFODATA, &progress);
    std::packaged_task<CURLcode()> perform([&h] { return libcurl().easy_perform(h.easy); });
    std::future<CURLcode> result = perform.get_future();
    std::thread worker(std::move(perform));
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        if (cancelled || !prompts.transferring(server, progress.sent, progress.total))
            continue;
        cancelled = true;
        progress.cancelled = true;
        // Ends a wait for the server at once.
        h.cutConnection();
    }
    worker.join();
    prompts.transferEnded();
    return result.get();
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

namespace {

// What a server that takes no passwords from programs any more says to a
// login, and the way that still works; empty for any other refusal.
QString passwordsRefused(const QString& reply)
{
    const QString otherWay = QCoreApplication::translate(
        "mail", "The next Send shows the e-Mail Account dialog: choose \"the desktop's mail program\" there, which "
                "sends through your own signed-in mail program.");
    if (reply.startsWith(QLatin1String("534")) && reply.contains(QLatin1String("5.7.9")))
        return QCoreApplication::translate("mail", "the server said \"%1\": it takes no account password from programs, "
                                                   "only an app password made for this program in the account's "
                                                   "security settings. Use one as the password, or: %2")
            .arg(reply, otherWay);
    for (const char* code : {"550 5.7.30", "535 5.7.139", "535 5.7.3 "})
        if (reply.startsWith(QLatin1String(code)))
            return QCoreApplication::translate("mail", "the server said \"%1\": it takes no passwords from programs. %2")
                .arg(reply, otherWay);
    return {};
}

} // namespace

void sendMail(const MailAccount& account, const OutgoingMail& mail, Prompts& prompts)
{
    globalInit();
    CurlHandles h;
    if (!h.easy)
        failed(account, QCoreApplication::translate("mail", "the network library could not start."));
    setConnection(h, account);
    setMessage(h, account, mail);
    bool cancelled = false;
    const CURLcode result = transfer(h, account.server, prompts, cancelled);
    h.abandoned = cancelled || result != CURLE_OK;
    if (cancelled)
        failed(account, QCoreApplication::translate("mail", "sending was cancelled."));
    if (const QString why = whyNotTaken(h); result == CURLE_ABORTED_BY_CALLBACK && !why.isEmpty())
        failed(account, why);
    if (result == CURLE_LOGIN_DENIED) {
        const QString reply = QString::fromUtf8(h.conversation.refused.reply);
        if (const QString noPasswords = passwordsRefused(reply); !noPasswords.isEmpty())
            throw PasswordsRefused(ErrorKind::Messaging, QCoreApplication::translate("mail", "Could not send the e-mail "
                                                                                              "through %1: %2")
                                                             .arg(account.server, noPasswords));
        throw LoginRefused(ErrorKind::Messaging, QCoreApplication::translate("mail", "Could not send the e-mail through %1: %2")
            .arg(account.server, account.passwordFile.isEmpty()
                     ? QCoreApplication::translate("mail", "the server refused the login (%1). Check the user name; "
                                                           "the next Send asks for the password again.").arg(reply)
                     : QCoreApplication::translate("mail", "the server refused the login (%1) with the password for "
                                                           "%2 in %3. Correct it there, then send again.")
                           .arg(reply, QUrl(account.server).host(), account.passwordFile)));
    }
    if (result != CURLE_OK)
        failed(account, describe(result, h.error, h.conversation));
}

} // namespace mail
