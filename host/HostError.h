#pragma once

#include <QString>
#include <exception>

namespace host {

// What went wrong, for handlers that react to one kind of error (a cancelled
// dialog is silent, for instance); the description is what the user reads.
enum class ErrorKind {
    General,
    Overflow,
    TypeMismatch,
    InvalidPropertyValue,
    OutOfMemory,
    File,
    Picture,
    Cancel,
    Messaging,
};

// The one error type of the program. Its description is written for the person
// at the screen: it says what failed and, where it can, what to change.
class HostError : public std::exception {
public:
    HostError(ErrorKind kind, QString description);

    ErrorKind kind() const { return m_kind; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    ErrorKind m_kind;
    QString m_description;
    QByteArray m_what;
};

[[noreturn]] void raiseError(ErrorKind kind, const QString& description);
[[noreturn]] void raiseOverflow(const QString& what);

} // namespace host
