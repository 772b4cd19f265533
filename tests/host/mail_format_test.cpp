#include "mail/MailFormat.h"
#include "mail/SmtpSender.h"
#include "mail/VCard.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace mail;

namespace {

TEST(VCardFile, ReadsVersions3And4FoldedLinesUtf8AndOneEntryPerAddress)
{
    const QByteArray text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë Ångström\r\nEMAIL;TYPE=INTERNET:zoe@example.org\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:4.0\nN:Builder;Bob;J.;Dr.;\nEMAIL;TYPE=work:bob@exa\n mple.net\n"
        "item1.EMAIL:bob@home.example\nTEL:123\nEND:VCARD\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Long\r\n  Name\\, Jr.\r\nEMAIL:mailto:long@example.org\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nEMAIL:nameless@example.org\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Address\r\nEND:VCARD\r\n"
        "EMAIL:outside@example.org\r\n";
    const QList<Contact> expected = {{"Zoë Ångström", "zoe@example.org"},
                                     {"Dr. Bob J. Builder", "bob@example.net"},
                                     {"Dr. Bob J. Builder", "bob@home.example"},
                                     {"Long Name, Jr.", "long@example.org"},
                                     {"nameless@example.org", "nameless@example.org"}};
    EXPECT_EQ(parseVCards(text), expected);
}

// As older phones and mail programs export them.
TEST(VCardFile, Version21QuotedPrintableValuesAreDecodedInTheirCharsetAndTheFileIsKept)
{
    const QByteArray v21 =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\r\n"
        "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller, ein Name, der umbro=\r\nchen wird=3D\r\n"
        "EMAIL;INTERNET;PREF:juergen@example.de\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Gar=E7on;Fran=E7ois\r\nEMAIL:f@example.fr\r\nEND:VCARD\r\n";
    EXPECT_EQ(parseVCards(v21), QList<Contact>({{"Jürgen Müller, ein Name, der umbrochen wird=", "juergen@example.de"},
                                                {"François Garçon", "f@example.fr"}}));
    QTemporaryDir dir;
    QFile file(dir.filePath("old.vcf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(v21);
    file.close();
    appendContact(file.fileName(), {"New", "new@example.org"});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith(v21));
}

TEST(VCardFile, AnAddedContactIsAppendedAndReadBackAndTheRestIsKeptByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("contacts.vcf");
    const QByteArray old = "BEGIN:VCARD\nVERSION:4.0\nFN:Old\nEMAIL:old@example.org\nNOTE:keep; me\nEND:VCARD";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(old);
    file.close();
    appendContact(path, {"Semi; Colon, Comma\\", "new@example.org"});
    appendContact(dir.filePath("fresh.vcf"), {"Only", "only@example.org"});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith(old + "\r\n"));
    EXPECT_EQ(readAddressBook(path),
              QList<Contact>({{"Old", "old@example.org"}, {"Semi; Colon, Comma\\", "new@example.org"}}));
    EXPECT_EQ(readAddressBook(dir.filePath("fresh.vcf")), QList<Contact>({{"Only", "only@example.org"}}));
    EXPECT_TRUE(readAddressBook(dir.filePath("missing.vcf")).isEmpty());
}

TEST(HeaderValues, LineBreaksGoAndEncodedWordsAreShortAndHoldWholeCharacters)
{
    EXPECT_EQ(textHeader("Subject", "Plain subject"), "Subject: Plain subject");
    EXPECT_EQ(textHeader("Subject", "a\r\nBcc: x@y\nz"), "Subject: a  Bcc: x@y z");
    const QByteArray header = textHeader("Subject", "Übersicht ✓ " + QString::fromUtf8("😀").repeated(40));
    for (const QByteArray& line : header.split('\n')) {
        EXPECT_LE(line.size(), 79) << line.toStdString(); // with its CR
        for (const QByteArray& word : line.trimmed().split(' ')) {
            if (!word.startsWith("=?"))
                continue;
            EXPECT_LE(word.size(), 75);
            const QByteArray text = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            EXPECT_EQ(QString::fromUtf8(text).toUtf8(), text);
        }
    }
}

TEST(AddressText, SplitsAtSemicolonsAndCommasAndKnowsAPlainAddress)
{
    EXPECT_EQ(splitAddresses(" a@x.org; b@y.org ,c@z.org;; "), QStringList({"a@x.org", "b@y.org", "c@z.org"}));
    EXPECT_TRUE(splitAddresses("  ").isEmpty());
    for (const char* good : {"a@x.org", "first.last+tag@sub.example.co.uk"})
        EXPECT_TRUE(isPlainAddress(good)) << good;
    for (const QString& bad : QStringList{"", "a", "a@", "@x", "a b@x.org", "a@x.org\r\nRCPT TO:<b@y>", "<a@x.org>",
                                          "a@b@c", "a\x01" "b@x.org", "a@x.org\x7f", "a@x\u0085.org", QString(249, 'a') + "@x.org"})
        EXPECT_FALSE(isPlainAddress(bad)) << bad.toStdString();
    EXPECT_TRUE(isPlainAddress(QString(248, 'a') + "@x.org"));
    EXPECT_EQ(addressProblem("a\x01" "b@x\x7f.org"),
              "\"a<U+0001>b@x<U+007F>.org\" is not an e-mail address: it holds the control character U+0001, U+007F.");
}

TEST(MailDateHeader, IsInTheInternetFormatWithTheZoneOffset)
{
    const QDateTime when(QDate(2026, 12, 8), QTime(9, 5, 7), QTimeZone(3600));
    EXPECT_EQ(mailDate(when), "Tue, 08 Dec 2026 09:05:07 +0100");
    const QDateTime west(QDate(2026, 1, 2), QTime(23, 0, 0), QTimeZone(-(4 * 3600 + 1800)));
    EXPECT_EQ(mailDate(west), "Fri, 02 Jan 2026 23:00:00 -0430");
}

TEST(MessageIds, AreUniqueAndCarryTheSendersDomain)
{
    const QByteArray a = newMessageId("me@example.org"), b = newMessageId("me@example.org");
    EXPECT_NE(a, b);
    EXPECT_TRUE(a.startsWith('<') && a.endsWith("@example.org>"));
    EXPECT_TRUE(newMessageId("broken").endsWith("@qorix-capture.invalid>"));
}

TEST(MailServers, OnlyThisMachineCountsAsLoopback)
{
    EXPECT_TRUE(isLoopbackServer("smtp://127.0.0.1:2525"));
    EXPECT_TRUE(isLoopbackServer("smtp://localhost:25"));
    EXPECT_TRUE(isLoopbackServer("smtp://[::1]:25"));
    EXPECT_FALSE(isLoopbackServer("smtp://mail.example.org:587"));
    EXPECT_FALSE(isLoopbackServer("smtp://127.example.org:587"));
}

} // namespace
