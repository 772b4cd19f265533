#include "email/frmEmail.h"

#include "forms/EventHandlers.h"
#include "forms/MessageBox.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "host/Settings.h"
#include "mail/MailFormat.h"
#include "mail/MailService.h"

#include <optional>

using namespace host;

namespace {

const char* const kSeparator = "; ";
const char* const kNoCapture = QT_TRANSLATE_NOOP(
    "frmEmail",
    "There is no capture to send: the last save did not write one. Copy a screen capture to the clipboard, "
    "close this window and use e-Mail again.");

void reportError(const HostError& error)
{
    forms::MsgBox(error.description());
}

} // namespace

frmEmail::frmEmail(frmPicture& pictureWindow, Remembered remembered, QString captureFile)
    : forms::Form({.caption = tr("e-Mail Screen Capture"),
            .clientWidth = 7524,
            .clientHeight = 4284,
            .startPosition = forms::StartPosition::CenterOwner}),
      m_pictureWindow(pictureWindow),
      m_remembered(std::move(remembered)),
      m_captureFile(std::move(captureFile))
{
    mail::MailService::instance().setPrompts(m_mailDialogs);
}

frmEmail::~frmEmail()
{
    mail::MailService::instance().releasePrompts(m_mailDialogs);
}

void frmEmail::createControls(QWidget* window)
{
    txtDisplayName = new forms::TextBox(window, "txtDisplayName", QString(), {1320, 144, 6060, 300, 0});
    txtSubject = new forms::TextBox(window, "txtSubject", QString(), {1320, 480, 6060, 300, 1});
    Label2 = new forms::Label(window, "Label2", tr("Subject:"), {144, 528, 1116, 300, 2}, Qt::AlignRight);
    txtBody = new forms::MultiLineTextBox(window, "txtBody", QString(), {168, 840, 7236, 2556, 3});
    cmdTo = new forms::CommandButton(window, "cmdTo", tr("To:"), {840, 168, 444, 300, 4});
    cmdSend = new forms::CommandButton(window, "cmdSend", tr("&Send"), {6216, 3840, 1200, 350, 5});
    cmdCancel = new forms::CommandButton(window, "cmdCancel", tr("&Cancel"), {4944, 3840, 1200, 350, 6});
    txtAddresses = new forms::TextBox(window, "txtAddresses", QString(), {336, 3552, 4404, 300, 7});
    txtAddresses->setVisible(false);
    cmdPreview = new forms::CommandButton(window, "cmdPreview", tr("&View"), {216, 3864, 1560, 350, 8});
    // What a screen reader says of each field: the caption beside it.
    txtDisplayName->setAccessibleName(cmdTo->text());
    cmdTo->setAccessibleDescription(tr("Opens the address book to pick the recipients."));
    Label2->setBuddy(txtSubject);
    txtBody->setAccessibleName(tr("Message"));

    connect(cmdTo, &QPushButton::clicked, this, forms::handler([this] { cmdTo_Click(); }));
    connect(cmdSend, &QPushButton::clicked, this, forms::handler([this] { cmdSend_Click(); }));
    connect(cmdPreview, &QPushButton::clicked, this, forms::handler([this] { cmdPreview_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, forms::handler([this] { cmdCancel_Click(); }));
}

void frmEmail::Form_Load()
{
    txtDisplayName->setText(GetSetting(applicationName(), m_remembered.section, m_remembered.toKey, QString()));
    txtSubject->setText(GetSetting(applicationName(), m_remembered.section, m_remembered.subjectKey, QString()));
}

void frmEmail::Form_Unload(int&)
{
    SaveSetting(applicationName(), m_remembered.section, m_remembered.toKey, txtDisplayName->Text());
    SaveSetting(applicationName(), m_remembered.section, m_remembered.subjectKey, txtSubject->Text());
}

void frmEmail::signOn()
{
    MAPISession1.setSignOnOption(false);
    MAPISession1.setAction(1);
}

void frmEmail::cmdTo_Click()
{
    bool composed = false;
    trapErrors(
        [this, &composed] {
            signOn();
            MAPIMessages1.setSessionID(MAPISession1.SessionID());
            MAPIMessages1.Compose();
            composed = true;
        },
        reportError);
    if (!composed)
        return;
    // Whatever happens from the address book on, the session is closed; a
    // cancelled or failed address book leaves the boxes as they were.
    trapErrors([this] { pickFromAddressBook(); }, [](const HostError&) {});
    MAPISession1.SignOff();
}

void frmEmail::pickFromAddressBook()
{
    MAPIMessages1.Show();
    txtDisplayName->setText(QString());
    txtAddresses->setText(QString());
    QString separator;
    const qint16 last = qint16(MAPIMessages1.RecipCount() - 1);
    const qint16 kept = std::min<qint16>(last, kRecipientSlots - 1);
    for (qint16 i = 0; i <= kept; ++i) {
        MAPIMessages1.setRecipIndex(i);
        RecipientAddresses[std::size_t(i)] = MAPIMessages1.RecipAddress();
        // A name that holds the separator stays one entry of the box.
        txtDisplayName->setText(txtDisplayName->Text() + separator + mail::toBoxEntry(MAPIMessages1.RecipDisplayName()));
        txtAddresses->setText(txtAddresses->Text() + separator + MAPIMessages1.RecipAddress());
        separator = QString::fromLatin1(kSeparator);
    }
    LastRecipientIndex = kept;
    // More than the list holds: the first ones are kept, and the user is told.
    if (last > kept)
        forms::MsgBox(tr("At most %1 recipients can be picked. The first %1 of the %2 you picked are kept.")
                   .arg(kRecipientSlots)
                   .arg(last + 1));
}

void frmEmail::cmdSend_Click()
{
    // A send never attaches a capture of an earlier e-mail: without a capture
    // file there is nothing to send.
    if (CaptureOutdated || !FileExists(m_captureFile)) {
        forms::MsgBox(frmEmail::tr(kNoCapture));
        return;
    }
    bool signedOn = false;
    trapErrors(
        [this, &signedOn] {
            signOn();
            signedOn = true;
        },
        reportError);
    if (!signedOn)
        return;
    std::optional<HostError> failure;
    trapErrors([this] { composeAndSend(); }, [&failure](const HostError& error) { failure = error; });
    MAPISession1.SignOff();
    // A message that did not go is reported, and the dialog stays open with
    // everything as typed.
    if (failure) {
        reportError(*failure);
        return;
    }
    Unload();
}

void frmEmail::composeAndSend()
{
    MAPIMessages1.setSessionID(MAPISession1.SessionID());
    MAPIMessages1.Compose();
    MAPIMessages1.setMsgIndex(-1);
    MAPIMessages1.setRecipType(1);
    MAPIMessages1.setRecipientOption(false);
    if (RecipientAddresses[0].isEmpty()) {
        MAPIMessages1.setRecipIndex(0);
        MAPIMessages1.setRecipAddress(txtDisplayName->Text());
        // Several entries, such as the names a pick leaves, are resolved each on its own.
        if (!txtDisplayName->Text().contains(QLatin1Char('@')) || txtDisplayName->Text().contains(QLatin1Char(';')))
            MAPIMessages1.ResolveName();
    } else {
        for (qint16 i = 0; i <= LastRecipientIndex; ++i) {
            MAPIMessages1.setRecipIndex(i);
            MAPIMessages1.setRecipAddress(RecipientAddresses[std::size_t(i)]);
        }
    }
    MAPIMessages1.setMsgSubject(txtSubject->Text());
    MAPIMessages1.setMsgNoteText(txtBody->Text() + QStringLiteral("     "));
    MAPIMessages1.setAttachmentPosition(qint32(MAPIMessages1.MsgNoteText().size()) - 2);
    MAPIMessages1.setAttachmentType(0);
    MAPIMessages1.setAttachmentPathName(m_captureFile);
    MAPIMessages1.Send(false);
}

void frmEmail::cmdPreview_Click()
{
    m_pictureWindow.Show(forms::ShowMode::Modal, window());
}

void frmEmail::cmdCancel_Click()
{
    Unload();
}
