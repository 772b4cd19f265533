#include "mail/MailFormat.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using namespace mail;

namespace {

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

} // namespace
