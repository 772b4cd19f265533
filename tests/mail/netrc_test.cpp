#include "host/HostError.h"
#include "mail/Netrc.h"
#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace mail;

namespace {

struct NetrcCase {
    const char* what;
    QByteArray netrc;
    QFile::Permissions mode;
    QString host, user;
    std::optional<QString> password; // none: no login fits; "refused": the file is refused
};

const QFile::Permissions kOwner = QFile::ReadOwner | QFile::WriteOwner;

TEST(Netrc, TheFittingEntryGivesThePasswordAndAFileOthersMayReadIsRefused)
{
    const QByteArray two = "machine mail.example.org login me password mine\ndefault login me password fallback\n";
    const QList<NetrcCase> cases = {
        {"the host's entry", two, kOwner, "MAIL.example.org", "me", "mine"},
        {"the default for another host", two, kOwner, "other.example.org", "me", "fallback"},
        {"never the default for a host with its own entry",
         "machine mail.example.org login other password theirs\ndefault login me password fallback\n", kOwner,
         "mail.example.org", "me", std::nullopt},
        {"no user: the host's first entry", two, kOwner, "mail.example.org", "", "mine"},
        {"readable by others", two, kOwner | QFile::ReadOther, "mail.example.org", "me", "refused"},
        {"readable by the group", two, kOwner | QFile::ReadGroup, "mail.example.org", "me", "refused"},
        {"no password in it: anyone may read it", "machine mail.example.org login me\n",
         kOwner | QFile::ReadGroup | QFile::ReadOther, "mail.example.org", "me", ""},
    };
    const QString path = QDir::home().filePath(".netrc");
    for (const NetrcCase& c : cases) {
        testing_support::writeFile(path, c.netrc);
        QFile::setPermissions(path, c.mode);
        try {
            const std::optional<NetrcLogin> login = netrcLogin(c.host, c.user);
            EXPECT_EQ(login ? std::optional(login->password) : std::nullopt, c.password) << c.what;
        } catch (const host::HostError& error) {
            EXPECT_EQ(c.password, "refused") << c.what;
            EXPECT_TRUE(error.description().contains("chmod 600")) << c.what;
        }
    }
    QFile::remove(path);
}

} // namespace
