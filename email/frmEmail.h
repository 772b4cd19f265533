#pragma once

#include "dialogs/frmPicture.h"
#include "email/MailDialogs.h"
#include "forms/Controls.h"
#include "forms/Form.h"
#include "mail/Mapi.h"

#include <array>

// The e-mail dialog: sends the capture file as the attachment of a message to
// typed or picked recipients. The dialog object lives for the whole run, so
// the recipient list of the last pick outlasts each opening.
class frmEmail : public forms::Form {
    Q_OBJECT
public:
    // Where the dialog keeps the To and subject texts between runs: the
    // settings section and the two keys.
    struct Remembered {
        QString section;
        QString toKey;
        QString subjectKey;
    };

    // The actual-size window that "&View" shows, and the capture file that
    // the message carries.
    frmEmail(frmPicture& pictureWindow, Remembered remembered, QString captureFile);
    ~frmEmail() override;

    QPointer<forms::TextBox> txtDisplayName;
    QPointer<forms::TextBox> txtSubject;
    QPointer<forms::Label> Label2;
    QPointer<forms::MultiLineTextBox> txtBody;
    QPointer<forms::CommandButton> cmdTo;
    QPointer<forms::CommandButton> cmdSend;
    QPointer<forms::CommandButton> cmdCancel;
    QPointer<forms::TextBox> txtAddresses;
    QPointer<forms::CommandButton> cmdPreview;
    mail::MAPISession MAPISession1;
    mail::MAPIMessages MAPIMessages1;

    // The addresses of the latest pick, and the index of its last entry.
    static constexpr int kRecipientSlots = 101;
    std::array<QString, kRecipientSlots> RecipientAddresses;
    qint16 LastRecipientIndex = 0;

    // Set by the e-mail button when the capture file could not be renewed:
    // what stands there is an earlier capture, which is never sent.
    bool CaptureOutdated = false;

protected:
    void createControls(QWidget* window) override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;

private:
    void cmdTo_Click();
    void cmdSend_Click();
    void cmdPreview_Click();
    void cmdCancel_Click();
    void signOn();
    void pickFromAddressBook();
    void composeAndSend();

    frmPicture& m_pictureWindow;
    Remembered m_remembered;
    QString m_captureFile;
    // What the messaging service asks and shows, while this dialog exists.
    email::MailDialogs m_mailDialogs;
};
