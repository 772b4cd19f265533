#include "mail/VCard.h"

#include <QFile>
#include <QTemporaryDir>
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

} // namespace
