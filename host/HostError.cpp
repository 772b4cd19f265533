#include "host/HostError.h"
#include <QCoreApplication>

namespace host {

HostError::HostError(ErrorKind kind, QString description)
    : m_kind(kind), m_description(std::move(description)), m_what(m_description.toUtf8())
{
}

void raiseError(ErrorKind kind, const QString& description)
{
    throw HostError(kind, description);
}

void raiseOverflow(const QString& what)
{
    throw HostError(ErrorKind::Overflow, QCoreApplication::translate("host", "Overflow: %1").arg(what));
}

} // namespace host
