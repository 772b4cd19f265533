#include "email/MailDialogs.h"

#include "forms/DesktopMail.h"
#include "forms/EventHandlers.h"
#include "forms/MessageBox.h"
#include "host/HostError.h"
#include "mail/MailFormat.h"
#include "mail/MailService.h"
#include "mail/VCard.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace email {

using namespace host;
using namespace mail;

namespace {

// A progress window appears only for transfers longer than this.
constexpr int kQuietMilliseconds = 400;

QLineEdit* field(QFormLayout* form, const QString& label, const QString& name, const QString& value,
                 const QString& hint = QString())
{
    auto* edit = new QLineEdit(value);
    edit->setObjectName(name);
    edit->setPlaceholderText(hint);
    edit->setMinimumWidth(280);
    form->addRow(label, edit);
    return edit;
}

// Runs a dialog made on the heap; it may be deleted with its owner meanwhile.
bool run(QPointer<QDialog> dialog)
{
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    return accepted;
}

} // namespace

std::optional<SignOnDetails> MailDialogs::askSignOn(const SignOnDetails& known, const QString& problem)
{
    QPointer<QDialog> dialog = new QDialog(forms::dialogOwner());
    dialog->setObjectName("signOnDialog");
    dialog->setWindowTitle(QCoreApplication::translate("email", "e-Mail Account"));
    dialog->setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(dialog);
    auto* note = new QLabel(problem.isEmpty() ? QCoreApplication::translate("email", "How should e-mail be sent?") : problem);
    note->setObjectName("problem");
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* desktop = new QRadioButton(QCoreApplication::translate("email", "The &desktop's mail program"));
    desktop->setObjectName("mailProgram");
    auto* desktopNote = new QLabel(QCoreApplication::translate(
        "email", "Thunderbird, Evolution, KMail or the mail program your desktop uses: it opens with the message "
                 "filled in and sends it with your own signed-in account when you press its Send."));
    desktopNote->setWordWrap(true);
    desktopNote->setContentsMargins(20, 0, 0, 6);
    auto* ours = new QRadioButton(QCoreApplication::translate("email", "A mail &server (SMTP) that takes a password:"));
    ours->setObjectName("mailServer");
    (known.mailProgram ? desktop : ours)->setChecked(true);
    layout->addWidget(desktop);
    layout->addWidget(desktopNote);
    layout->addWidget(ours);
    auto* form = new QFormLayout;
    form->setContentsMargins(20, 0, 0, 0);
    layout->addLayout(form);
    QLineEdit* server = field(form, QCoreApplication::translate("email", "Mail &server:"), "server", known.server,
                              QCoreApplication::translate("email", "smtps://mail.example.org:465"));
    QLineEdit* from = field(form, QCoreApplication::translate("email", "Se&nder address:"), "from", known.from,
                            QCoreApplication::translate("email", "me@example.org"));
    QLineEdit* user = field(form, QCoreApplication::translate("email", "&User name:"), "user", known.user,
                            QCoreApplication::translate("email", "empty when the server needs no login"));
    QLineEdit* password = field(form, QCoreApplication::translate("email", "&Password:"), "password", known.password);
    password->setEchoMode(QLineEdit::Password);
    // Typing a server chooses it.
    QObject::connect(server, &QLineEdit::textChanged, ours, [ours](const QString& text) {
        if (!text.trimmed().isEmpty())
            ours->setChecked(true);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [=] {
        // A wrong entry is pointed out here rather than failing later.
        const QString wrong = desktop->isChecked() ? QString() : accountProblem(server->text(), from->text());
        if (wrong.isEmpty())
            dialog->accept();
        else
            note->setText(wrong);
    });
    (known.mailProgram ? static_cast<QWidget*>(desktop)
                       : problem.isEmpty() || known.server.isEmpty() ? server : password)->setFocus();
    if (!run(dialog)) {
        delete dialog.data();
        return std::nullopt;
    }
    const SignOnDetails details{.mailProgram = desktop->isChecked(),
                                .server = server->text().trimmed(),
                                .from = from->text().trimmed(),
                                .user = user->text().trimmed(),
                                .password = password->text()};
    delete dialog.data();
    return details;
}

void MailDialogs::handToMailProgram(const OutgoingMail& mail)
{
    QStringList addresses;
    for (const Contact& recipient : mail.to)
        addresses << recipient.address;
    forms::composeInMailProgram({addresses, mail.subject, mail.body, mail.attachment});
}

namespace {

void addItem(QTreeWidget* list, const Contact& contact, bool ticked)
{
    auto* item = new QTreeWidgetItem(list, {contact.name, contact.address});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

std::optional<Contact> askNewContact(QWidget* owner)
{
    QPointer<QDialog> dialog = new QDialog(owner);
    dialog->setObjectName("newContactDialog");
    dialog->setWindowTitle(QCoreApplication::translate("email", "New Contact"));
    auto* layout = new QVBoxLayout(dialog);
    auto* note = new QLabel(QCoreApplication::translate("email", "The contact is added to the address book."));
    note->setObjectName("problem");
    layout->addWidget(note);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    QLineEdit* name = field(form, QCoreApplication::translate("email", "&Name:"), "name", QString());
    QLineEdit* address = field(form, QCoreApplication::translate("email", "&E-mail address:"), "address", QString());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [=] {
        if (isPlainAddress(address->text().trimmed()))
            dialog->accept();
        else
            note->setText(QCoreApplication::translate("email", "Type an e-mail address such as friend@example.org."));
    });
    std::optional<Contact> contact;
    if (run(dialog)) {
        const QString typed = address->text().trimmed();
        contact = Contact{.name = name->text().trimmed().isEmpty() ? typed : name->text().trimmed(), .address = typed};
    }
    delete dialog.data();
    return contact;
}

} // namespace

std::optional<QList<Contact>> MailDialogs::pickRecipients(const QString& addressBook, const QList<Contact>& ticked)
{
    QList<Contact> contacts;
    try {
        contacts = readAddressBook(addressBook);
    } catch (const HostError& error) {
        forms::MsgBox(error.description());
        return std::nullopt;
    }
    QPointer<QDialog> dialog = new QDialog(forms::dialogOwner());
    dialog->setObjectName("addressBookDialog");
    dialog->setWindowTitle(QCoreApplication::translate("email", "Address Book"));
    dialog->setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(dialog);
    QLabel* note = nullptr;
    if (contacts.isEmpty()) {
        const bool holdsSomething = QFileInfo(addressBook).size() > 0;
        note = new QLabel(holdsSomething ? QCoreApplication::translate("email", "The address book %1 holds no contacts that can be "
                                                                "read. New contacts are added at its end; nothing "
                                                                "in it is changed.")
                                                     .arg(QDir::toNativeSeparators(addressBook))
                                               : QCoreApplication::translate("email", "The address book is empty. Add a contact, or type "
                                                                "addresses below."));
        note->setObjectName("note");
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    auto* list = new QTreeWidget;
    list->setObjectName("contacts");
    list->setAccessibleName(QCoreApplication::translate("email", "Contacts"));
    list->setHeaderLabels({QCoreApplication::translate("email", "Name"), QCoreApplication::translate("email", "E-mail address")});
    list->setRootIsDecorated(false);
    list->setMinimumSize(420, 220);
    list->header()->setSectionResizeMode(QHeaderView::Stretch);
    for (const Contact& contact : contacts)
        addItem(list, contact, ticked.contains(contact));
    layout->addWidget(list);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    QLineEdit* typed = field(form, QCoreApplication::translate("email", "&Other addresses:"), "otherAddresses", QString(),
                             QCoreApplication::translate("email", "friend@example.org; colleague@example.org"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* add = buttons->addButton(QCoreApplication::translate("email", "&Add Contact…"), QDialogButtonBox::ActionRole);
    add->setObjectName("addContact");
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [=] {
        for (const QString& address : splitAddresses(typed->text()))
            if (const QString problem = addressProblem(address); !problem.isEmpty()) {
                forms::MsgBox(problem);
                return;
            }
        dialog->accept();
    });
    QObject::connect(add, &QPushButton::clicked, dialog, forms::handler([=, &contacts] {
        const std::optional<Contact> contact = askNewContact(dialog);
        if (!contact)
            return;
        appendContact(addressBook, *contact);
        contacts.append(*contact);
        addItem(list, *contact, true);
        // What it said of an empty book no longer holds.
        if (note)
            note->hide();
    }));
    if (!run(dialog)) {
        delete dialog.data();
        return std::nullopt;
    }
    QList<Contact> picked;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->checkState(0) == Qt::Checked)
            picked.append(contacts[i]);
    for (const QString& address : splitAddresses(typed->text()))
        picked.append({.name = address, .address = address});
    delete dialog.data();
    return picked;
}

bool MailDialogs::transferring(const QString& server, qint64 sent, qint64 total)
{
    if (!m_transfer.isValid())
        m_transfer.start();
    if (!m_progress && m_transfer.elapsed() > kQuietMilliseconds) {
        m_progress = new QProgressDialog(QCoreApplication::translate("email", "Sending the e-mail to %1…").arg(server),
                                         QCoreApplication::translate("email", "&Cancel"), 0, 0, forms::dialogOwner());
        m_progress->setWindowTitle(QCoreApplication::translate("email", "e-Mail"));
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->setMinimumDuration(0);
        // It stays until the server has answered, also once every byte is sent.
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        QObject::connect(m_progress, &QProgressDialog::canceled, [this] { m_cancelled = true; });
        m_progress->show();
    }
    if (m_progress && total > 0) {
        m_progress->setMaximum(1000);
        m_progress->setValue(int(sent * 1000 / total));
        if (sent >= total)
            m_progress->setLabelText(QCoreApplication::translate("email", "Waiting for %1 to take the e-mail…").arg(server));
    }
    // Before the progress window shows, the user's input waits: the windows
    // behind it must not start a second command meanwhile.
    QApplication::processEvents(m_progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 10);
    return m_cancelled || (m_progress && m_progress->wasCanceled());
}

void MailDialogs::transferEnded()
{
    delete m_progress.data();
    m_transfer.invalidate();
    m_cancelled = false;
}

} // namespace email
