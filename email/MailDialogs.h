#pragma once

#include "mail/Prompts.h"

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;

// The messaging service's windows: the sign-on, the address book with its
// new-contact window, the progress of a transfer that takes a while, and the
// desktop's mail program.
namespace email {

class MailDialogs : public mail::Prompts {
public:
    std::optional<mail::SignOnDetails> askSignOn(const mail::SignOnDetails& known, const QString& problem) override;
    // Lets the person tick contacts of the address book file, type further
    // addresses and add contacts to the file. An address book that cannot
    // be read is told here, once.
    std::optional<QList<mail::Contact>> pickRecipients(const QString& addressBook,
                                                       const QList<mail::Contact>& ticked) override;
    bool transferring(const QString& server, qint64 sent, qint64 total) override;
    void transferEnded() override;
    void handToMailProgram(const mail::OutgoingMail& mail) override;

private:
    QElapsedTimer m_transfer;
    QPointer<QProgressDialog> m_progress;
    bool m_cancelled = false;
};

} // namespace email
