#include "mail/Mapi.h"

#include "host/HostError.h"
#include <QCoreApplication>

namespace mail {

using namespace host;
namespace {

[[noreturn]] void invalid(const QString& what)
{
    raiseError(ErrorKind::InvalidPropertyValue, QCoreApplication::translate("mail", "Invalid property value: %1").arg(what));
}

} // namespace

void MAPISession::setAction(qint16 action)
{
    if (action != 1)
        invalid(QCoreApplication::translate("mail", "the session action %1 is not supported.").arg(action));
    m_session = MailService::instance().signOn();
}

qint32 MAPISession::SessionID() const
{
    return m_session;
}

void MAPISession::SignOff()
{
    MailService::instance().signOff(m_session);
    m_session = 0;
}

void MAPIMessages::Compose()
{
    MailService::instance().checkSession(m_session);
    m_mail = {};
    m_recipIndex = 0;
    m_composing = true;
}

void MAPIMessages::checkComposing() const
{
    if (!m_composing)
        raiseError(ErrorKind::Messaging, QCoreApplication::translate("mail", "No message is being composed."));
}

void MAPIMessages::setMsgIndex(qint32 index)
{
    if (index != -1)
        invalid(QCoreApplication::translate("mail", "only the message being composed (-1) can be chosen."));
}

void MAPIMessages::setRecipType(qint16 type)
{
    if (type != 1)
        invalid(QCoreApplication::translate("mail", "only primary recipients (type 1) are supported."));
}

qint32 MAPIMessages::RecipCount() const
{
    return qint32(m_mail.recipients.size());
}

void MAPIMessages::setRecipIndex(qint32 index)
{
    checkComposing();
    if (index < 0)
        invalid(QCoreApplication::translate("mail", "a recipient index is 0 or more, not %1.").arg(index));
    while (m_mail.recipients.size() <= index)
        m_mail.recipients.append(Contact{});
    m_recipIndex = index;
}

Contact& MAPIMessages::current()
{
    checkComposing();
    if (m_recipIndex >= m_mail.recipients.size())
        m_mail.recipients.resize(m_recipIndex + 1);
    return m_mail.recipients[m_recipIndex];
}

const Contact& MAPIMessages::current() const
{
    checkComposing();
    if (m_recipIndex >= m_mail.recipients.size())
        raiseError(ErrorKind::Messaging, QCoreApplication::translate("mail", "There is no recipient %1.").arg(m_recipIndex));
    return m_mail.recipients[m_recipIndex];
}

void MAPIMessages::setRecipAddress(const QString& address)
{
    Contact& r = current();
    r.address = address;
    r.name.clear();
}

QString MAPIMessages::RecipAddress() const
{
    return current().address;
}

QString MAPIMessages::RecipDisplayName() const
{
    const Contact& r = current();
    return r.name.isEmpty() ? r.address : r.name;
}

void MAPIMessages::ResolveName()
{
    Contact& r = current();
    r = MailService::instance().resolve(r.address);
}

void MAPIMessages::setMsgSubject(const QString& subject)
{
    checkComposing();
    m_mail.subject = subject;
}

void MAPIMessages::setMsgNoteText(const QString& text)
{
    checkComposing();
    m_mail.noteText = text;
}

QString MAPIMessages::MsgNoteText() const
{
    checkComposing();
    return m_mail.noteText;
}

void MAPIMessages::setAttachmentPosition(qint32 position)
{
    checkComposing();
    if (position < 0 || position >= m_mail.noteText.size())
        invalid(QCoreApplication::translate("mail", "the attachment position %1 is outside the note text.").arg(position));
}

void MAPIMessages::setAttachmentType(qint16 type)
{
    checkComposing();
    if (type != 0)
        invalid(QCoreApplication::translate("mail", "only data file attachments (type 0) are supported."));
}

void MAPIMessages::setAttachmentPathName(const QString& path)
{
    checkComposing();
    m_mail.attachmentPath = path;
}

void MAPIMessages::Send(bool showDialog)
{
    checkComposing();
    if (showDialog)
        invalid(QCoreApplication::translate("mail", "the service has no message window to show."));
    MailService::instance().send(m_session, m_mail);
    m_composing = false;
}

void MAPIMessages::Show()
{
    checkComposing();
    MailService::instance().checkSession(m_session);
    m_mail.recipients = MailService::instance().showAddressBook(m_mail.recipients);
    m_recipIndex = 0;
}

} // namespace mail
