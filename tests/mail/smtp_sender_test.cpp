#include "host/HostError.h"
#include "mail/SmtpSender.h"
#include "tests/support/Processes.h"
#include "tests/support/SmtpTestServer.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace mail;

namespace {

TEST(MailServers, OnlyThisMachineCountsAsLoopback)
{
    EXPECT_TRUE(isLoopbackServer("smtp://127.0.0.1:2525"));
    EXPECT_TRUE(isLoopbackServer("smtp://localhost:25"));
    EXPECT_TRUE(isLoopbackServer("smtp://[::1]:25"));
    for (const char* elsewhere : {"smtp://mail.example.org:587", "smtp://127.example.org:587",
                                  "smtp://127.0.0.1.example.org:25", "smtp://localhost.example.org:25",
                                  "smtp://127.0.0.1:25@mail.example.org", "smtp://[::2]:25", "smtp://128.0.0.1:25"})
        EXPECT_FALSE(isLoopbackServer(elsewhere)) << elsewhere;
}

// A server reached at an address other than this machine's loopback must
// offer STARTTLS: one that does not sees no login and no message. Its
// address lives on the loopback device of a network namespace of the test's
// own, so that nothing goes elsewhere.
TEST(Encryption, AServerElsewhereWithoutStartTlsSeesNoLoginAndNoMessage)
{
    if (qEnvironmentVariableIsSet("QORIX_NAMESPACE")) {
        for (const QStringList& command : {QStringList{"link", "set", "lo", "up"}, QStringList{"addr", "add", "10.9.9.1/32", "dev", "lo"}})
            ASSERT_EQ(QProcess::execute("ip", command), 0);
        SmtpTestServer server({"--host", "10.9.9.1", "--auth", "me:secret"});
        try {
            NoPrompts nobody;
            MailAccount account;
            account.server = server.url();
            account.from = "me@example.org";
            account.user = "me";
            account.password = "secret";
            sendMail(account, {{{.name = {}, .address = "alice@example.org"}}, "s", "b", {}}, nobody);
            ADD_FAILURE() << "sent without encryption";
        } catch (const host::HostError& error) {
            EXPECT_TRUE(error.description().contains("does not offer an encrypted connection (STARTTLS)"))
                << error.description().toStdString();
        }
        EXPECT_EQ(server.commands(), QStringList());
        return;
    }
    // Without a namespace of its own, a server elsewhere could not be reached
    // without traffic leaving this machine.
    if (QProcess::execute("unshare", {"--net", "--map-root-user", "true"}) != 0)
        GTEST_SKIP() << "no network namespace can be made here";
    QProcess inside;
    inside.setProcessChannelMode(QProcess::ForwardedChannels);
    testing_support::startTest(inside, "Encryption.*", {"QORIX_NAMESPACE=1"}, false, {"unshare", "--net", "--map-root-user"});
    ASSERT_TRUE(inside.waitForFinished(60000));
    EXPECT_EQ(inside.exitCode(), 0);
}

// What the person typed goes no further than the send itself when it is
// not one plain address: nothing reaches the server.
TEST(Sending, AnAddressWithABlankOrAControlCharacterIsRefusedBeforeTheServerSeesAnything)
{
    SmtpTestServer server;
    MailAccount account;
    account.server = server.url();
    account.from = "me@example.org";
    for (const QString& to : {QString("alice @example.org"), QString("alice\u0007@example.org"),
                              QString("alice@example.org\r\nRCPT TO:<eve@example.org>")}) {
        NoPrompts nobody;
        EXPECT_THROW(sendMail(account, {{{.name = {}, .address = to}}, "s", "b", {}}, nobody), host::HostError)
            << to.toStdString();
    }
    EXPECT_EQ(server.commands(), QStringList());
    EXPECT_TRUE(server.received().isEmpty());
}

} // namespace
