#pragma once

#include <QString>
#include <optional>

// Logins kept in ~/.netrc, read by the rules that curl and ftp follow:
// "machine NAME", "default", "login NAME", "password WORD" and "account WORD",
// tokens separated by any white space, values in double quotes with
// backslash escapes, "macdef" bodies up to the next empty line, and "#"
// comments.
namespace mail {

struct NetrcLogin {
    QString login;
    QString password;
    QString file; // where it was found
};

// The login for a host. With a user name: the first entry of that host whose
// login is the user name (the "default" entry when no machine entry names the
// host). Without one: the host's first entry, which also gives the login.
// nullopt when no entry fits or the file does not exist. Raises an error
// naming the file when it holds passwords that other users may read.
std::optional<NetrcLogin> netrcLogin(const QString& host, const QString& user);

} // namespace mail
