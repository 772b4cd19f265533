#include "host/HostError.h"
#include "mail/Netrc.h"
#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace mail;

namespace {

// The password of the fitting entry; none when no entry fits; "refused"
// when others may read the file.
TEST(Netrc, TheFittingEntryGivesThePasswordAndAFileOthersMayReadIsRefused)
{
    const QByteArray two = "machine mail.example.org login me password mine\ndefault login me password fallback\n";
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    const QList<std::tuple<QByteArray, QFile::Permissions, QString, QString, std::optional<QString>>> cases = {
        {two, owner, "MAIL.example.org", "me", "mine"},
        {two, owner, "other.example.org", "me", "fallback"},
        // Never the default for a host with an entry of its own.
        {"machine mail.example.org login other password theirs\ndefault login me password fallback", owner,
         "mail.example.org", "me", std::nullopt},
        {two, owner, "mail.example.org", "", "mine"}, // no user: the host's first entry
        {two, owner | QFile::ReadOther, "mail.example.org", "me", "refused"},
        {two, owner | QFile::ReadGroup, "mail.example.org", "me", "refused"},
        {"machine mail.example.org login me\n", owner | QFile::ReadGroup | QFile::ReadOther, "mail.example.org", "me", ""},
    };
    const QString path = QDir::home().filePath(".netrc");
    for (const auto& [netrc, mode, host, user, password] : cases) {
        testing_support::writeFile(path, netrc);
        QFile::setPermissions(path, mode);
        std::optional<QString> got = "refused";
        try {
            const std::optional<NetrcLogin> login = netrcLogin(host, user);
            got = login ? std::optional(login->password) : std::nullopt;
        } catch (const host::HostError& error) {
            EXPECT_TRUE(error.description().contains("chmod 600"));
        }
        EXPECT_EQ(got, password) << netrc.toStdString() << " " << int(mode);
    }
    QFile::remove(path);
}

} // namespace
