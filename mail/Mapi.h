#pragma once

#include "mail/MailService.h"

#include <QString>

// The two messaging controls: a session control that signs on and off, and a
// message control that composes, addresses and sends one message. Each member
// stands for one operation of the controls' interfaces, named in its comment
// by dispatch identifier. Every failing operation raises an error with the
// service's description.
namespace mail {

class MAPISession {
public:
    // Property 1 (write): a Boolean sign-on option, cleared before every sign-on.
    // The service has no such option: the write is accepted and does nothing.
    void setSignOnOption(bool) {}
    // Property 4 (write): the action; 1 signs on, opening a session.
    void setAction(qint16 action);
    // Property 5 (read): the handle of the open session.
    qint32 SessionID() const;
    // Method 9: signs off, closing the session.
    void SignOff();

private:
    qint32 m_session = 0;
};

class MAPIMessages {
public:
    // Property 31 (write): binds the control to a session.
    void setSessionID(qint32 session) { m_session = session; }
    // Method 35: starts a new, empty outgoing message.
    void Compose();
    // Property 19 (write): the message index; -1 is the message being composed.
    void setMsgIndex(qint32 index);
    // Property 30 (write): the type of the recipients that follow; 1 is a primary recipient.
    void setRecipType(qint16 type);
    // Property 5 (write): a Boolean message option, cleared before the
    // recipients are set. The service has no such option: the write is
    // accepted and does nothing.
    void setRecipientOption(bool) {}
    // Property 27 (read): the number of recipients of the composed message.
    qint32 RecipCount() const;
    // Property 29 (write): the index of the current recipient, from 0; an
    // index past the last adds empty recipients up to it.
    void setRecipIndex(qint32 index);
    // Property 26 (write and read): the address of the current recipient.
    void setRecipAddress(const QString& address);
    QString RecipAddress() const;
    // Property 28 (read): the display name of the current recipient.
    QString RecipDisplayName() const;
    // Method 41: resolves the current recipient through the address book.
    void ResolveName();
    // Property 32 (write): the subject.
    void setMsgSubject(const QString& subject);
    // Property 20 (write and read): the note text, the body of the message.
    void setMsgNoteText(const QString& text);
    QString MsgNoteText() const;
    // Property 10 (write): the character index in the note text at which the
    // attachment stands; it must lie in the text. The attachment travels as a
    // part of its own after the text, wherever it stands.
    void setAttachmentPosition(qint32 position);
    // Property 11 (write): the attachment type; 0 is an ordinary data file.
    void setAttachmentType(qint16 type);
    // Property 9 (write): the full path of the file to attach.
    void setAttachmentPathName(const QString& path);
    // Method 43: sends the composed message; True would show the service's
    // message window, which this service does not have.
    void Send(bool showDialog);
    // Method 44: the address book; when it closes with OK the message's
    // recipients are the user's choice. Cancel raises an error.
    void Show();

private:
    void checkComposing() const;
    Contact& current();
    const Contact& current() const;

    qint32 m_session = 0;
    bool m_composing = false;
    ComposedMail m_mail;
    qint32 m_recipIndex = 0;
};

} // namespace mail
