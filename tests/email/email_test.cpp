#include "app/Options.h"
#include "app/frmMain.h"
#include "email/frmEmail.h"
#include "host/Files.h"
#include "host/Settings.h"
#include "mail/MailService.h"
#include "tests/support/Files.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

using namespace testing_support;

using testing_support::writeFile;

namespace {

const QByteArray kContacts = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Alice Liddell\r\nEMAIL:alice@example.org\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Builder;Bob;;;\r\nEMAIL;TYPE=work:bob@example.net\r\n"
                             "EMAIL;TYPE=home:bob@home.example\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carol Twin\r\nEMAIL:carol1@example.org\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:carol twin\r\nEMAIL:carol2@example.org\r\nEND:VCARD\r\n";

void setMail(const QString& key, const QString& value)
{
    host::SaveSetting(host::applicationName(), "Mail", key, value);
}

class EmailDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        mail::MailService::instance().forgetPassword();
        capture = QByteArray("BM") + QByteArray(3000, '\x07');
        writeFile(CaptureFilePath(), capture);
        writeFile(addressBook(), kContacts);
        setMail("Server", server.url());
        setMail("From", "me@example.org");
        setMail("TransferTimeout", "3");
        setMail("ConnectTimeout", "3");
    }

    void TearDown() override
    {
        dialog.Unload();
        QFile::remove(CaptureFilePath());
        QFile::remove(addressBook());
        clearSettings();
    }

    static QString addressBook() { return QDir(host::AppFolder()).filePath("contacts.vcf"); }

    void open()
    {
        dialog.Show();
        QApplication::setActiveWindow(dialog.window());
    }

    void type(forms::TextBox* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }

    void send() { QTest::mouseClick(dialog.cmdSend, Qt::LeftButton); }


    // Answers the address book: ticks the named contacts, types further addresses, OK or Cancel.
    void answerAddressBook(const QStringList& tick, const QString& typed = {}, bool ok = true)
    {
        watcher.queue([=](QWidget* window) {
            ASSERT_EQ(window->objectName(), "addressBookDialog");
            auto* list = window->findChild<QTreeWidget*>("contacts");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (tick.contains(list->topLevelItem(i)->text(0)) || tick.contains("*"))
                    list->topLevelItem(i)->setCheckState(0, Qt::Checked);
            window->findChild<QLineEdit*>("otherAddresses")->setText(typed);
            window->findChild<QDialogButtonBox*>()->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
    }

    SmtpTestServer server;
    QByteArray capture;
    frmPicture picture{[] { return QImage(); }};
    frmEmail dialog{picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
    ModalWatcher watcher;
};

TEST_F(EmailDialog, ATypedAddressIsSentWithoutResolvingWithHeadersBodyAndAttachment)
{
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    type(dialog.txtSubject, "The capture");
    dialog.txtBody->setFocus();
    QTest::keyClicks(dialog.txtBody, "Here it is.");
    send();
    EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
    EXPECT_FALSE(dialog.IsLoaded());
    const auto mails = server.received();
    ASSERT_EQ(mails.size(), 1);
    const auto& mail = mails[0];
    EXPECT_EQ(mail.mailFrom, "me@example.org");
    EXPECT_EQ(mail.recipients, QStringList{"alice@example.org"});
    // The address book's name for the address goes with it.
    EXPECT_EQ(mail.header("To"), QStringList{"\"Alice Liddell\" <alice@example.org>"});
    EXPECT_EQ(mail.header("From"), QStringList{"me@example.org"});
    EXPECT_EQ(mail.header("Subject"), QStringList{"The capture"});
    EXPECT_EQ(mail.header("Date").size(), 1);
    EXPECT_EQ(mail.header("Message-ID").size(), 1);
    EXPECT_TRUE(mail.header("Message-ID").value(0).endsWith("@example.org>"));
    EXPECT_EQ(mail.body, "Here it is.     ");
    EXPECT_EQ(mail.attachmentName, "tolvo.bmp");
    EXPECT_EQ(mail.attachmentType, "image/bmp");
    EXPECT_EQ(mail.attachment, capture);
}

TEST_F(EmailDialog, ANameIsResolvedFromTheAddressBookIgnoringLetterCase)
{
    open();
    type(dialog.txtDisplayName, "alice liddell");
    send();
    EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].recipients, QStringList{"alice@example.org"});
}

TEST_F(EmailDialog, AnUnknownOrAmbiguousNameIsReportedAndTheDialogStaysAsTyped)
{
    for (const QString& name : {QString("Nobody Known"), QString("Carol Twin"), QString()}) {
        open();
        type(dialog.txtDisplayName, name);
        type(dialog.txtSubject, "kept");
        send();
        ASSERT_EQ(watcher.messages().size(), 1) << name.toStdString();
        EXPECT_TRUE(watcher.messages().last().text.contains(QString("\"%1\"").arg(name)))
            << watcher.messages().last().text.toStdString();
        EXPECT_EQ(watcher.messages().last().icon, QMessageBox::NoIcon);
        EXPECT_TRUE(dialog.IsLoaded());
        EXPECT_EQ(dialog.txtSubject->Text(), "kept");
        dialog.Unload();
        watcher.clearMessages();
    }
    EXPECT_TRUE(server.received().isEmpty());
}

// As a pick leaves the To box, and as it comes back after a restart.
TEST_F(EmailDialog, EachEntryOfTheToTextIsResolvedOnItsOwnAndEveryOneThatIsNotIsNamed)
{
    open();
    type(dialog.txtDisplayName, "Alice Liddell; Nobody; carol1@example.org; Carol Twin");
    send();
    const QString told = watcher.texts().join("|");
    EXPECT_TRUE(told.contains("\"Nobody\"") && told.contains("\"Carol Twin\"") && !told.contains("Alice")) << told.toStdString();
    type(dialog.txtDisplayName, "alice liddell; carol1@example.org");
    send();
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].recipients, QStringList({"alice@example.org", "carol1@example.org"}));
}

TEST_F(EmailDialog, SeveralAddressesJoinedBySemicolonsEachGetTheMessage)
{
    open();
    type(dialog.txtDisplayName, "alice@example.org; bob@example.net, carol1@example.org");
    send();
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].recipients,
              QStringList({"alice@example.org", "bob@example.net", "carol1@example.org"}));
}

TEST_F(EmailDialog, APickOfTwoFillsTheBoxesAndTheListAndTheSendUsesTheList)
{
    open();
    answerAddressBook({"Alice Liddell", "Carol Twin"});
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    EXPECT_EQ(watcher.pendingAnswers(), 0);
    EXPECT_EQ(dialog.txtDisplayName->Text(), "Alice Liddell; Carol Twin");
    EXPECT_EQ(dialog.txtAddresses->Text(), "alice@example.org; carol1@example.org");
    EXPECT_EQ(dialog.RecipientAddresses[0], "alice@example.org");
    EXPECT_EQ(dialog.RecipientAddresses[1], "carol1@example.org");
    EXPECT_EQ(dialog.LastRecipientIndex, 1);

    // Close and open again: the list outlasts the opening and the send uses it,
    // whatever the To box holds by then.
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.IsLoaded());
    open();
    EXPECT_EQ(dialog.txtDisplayName->Text(), "Alice Liddell; Carol Twin");
    type(dialog.txtDisplayName, "somebody@else.example");
    send();
    EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].recipients, QStringList({"alice@example.org", "carol1@example.org"}));
}

TEST_F(EmailDialog, TypedAndNewContactsAreAddedAndTheAddressBookFileKeepsEverything)
{
    open();
    watcher.queue([](QWidget* window) {
        ASSERT_EQ(window->objectName(), "addressBookDialog");
        // Add a contact through its own small dialog.
        QTimer::singleShot(0, [] {
            QWidget* form = QApplication::activeModalWidget();
            form->findChild<QLineEdit*>("name")->setText("Dana Ünal");
            form->findChild<QLineEdit*>("address")->setText("dana@example.org");
            form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        window->findChild<QPushButton*>("addContact")->click();
        window->findChild<QLineEdit*>("otherAddresses")->setText("eve@example.org");
        window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    EXPECT_EQ(dialog.txtDisplayName->Text(), "Dana Ünal; eve@example.org");
    EXPECT_EQ(dialog.LastRecipientIndex, 1);
    QFile book(addressBook());
    ASSERT_TRUE(book.open(QIODevice::ReadOnly));
    const QByteArray content = book.readAll();
    EXPECT_TRUE(content.startsWith(kContacts));
    EXPECT_TRUE(content.contains("FN:Dana Ünal"));
}

// A name with the separator in it, picked from a book that was empty; a book
// imported twice, cards with two addresses: after a restart every name the
// To box remembers still resolves to one address.
TEST_F(EmailDialog, RememberedNamesResolveAfterARestart)
{
    writeFile(addressBook(), "");
    open();
    bool noteGoes = false;
    watcher.queue([&noteGoes](QWidget* window) {
        QTimer::singleShot(0, [] {
            QWidget* form = QApplication::activeModalWidget();
            form->findChild<QLineEdit*>("name")->setText("Acme; Sales");
            form->findChild<QLineEdit*>("address")->setText("sales@acme.example");
            form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        auto* note = window->findChild<QLabel*>("note");
        const bool saidEmpty = note->isVisibleTo(window) && note->text().contains("empty");
        window->findChild<QPushButton*>("addContact")->click();
        noteGoes = saidEmpty && !note->isVisibleTo(window);
        window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    EXPECT_TRUE(noteGoes);
    EXPECT_EQ(dialog.txtDisplayName->Text(), "Acme\\; Sales");
    dialog.txtDisplayName->setText(dialog.txtDisplayName->Text() + "; Alice Liddell; Two Mails; Pref Card");
    dialog.Unload();

    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Alice Liddell\r\nEMAIL:alice@example.org\r\nEND:VCARD\r\n";
    QFile book(addressBook());
    ASSERT_TRUE(book.open(QIODevice::Append));
    book.write(kContacts + card + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Two Mails\r\nEMAIL:two1@example.org\r\n"
               "EMAIL:two2@example.org\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Pref Card\r\nEMAIL:pref1@example.org\r\n"
               "EMAIL;PREF=1:pref2@example.org\r\nEND:VCARD\r\n");
    book.close();
    frmEmail restarted{picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
    restarted.Show();
    QTest::mouseClick(restarted.cmdSend, Qt::LeftButton);
    EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].recipients,
              QStringList({"sales@acme.example", "alice@example.org", "two1@example.org", "pref2@example.org"}));
}

TEST_F(EmailDialog, ACancelledAddressBookLeavesBoxesAndListAsTheyWere)
{
    open();
    answerAddressBook({"Alice Liddell"});
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    answerAddressBook({"*"}, {}, false);
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    EXPECT_EQ(dialog.txtDisplayName->Text(), "Alice Liddell");
    EXPECT_EQ(dialog.LastRecipientIndex, 0);
    EXPECT_TRUE(watcher.messages().isEmpty());
}

TEST_F(EmailDialog, APickOfMoreThan101KeepsTheFirst101ConsistentlyAndSaysSo)
{
    QByteArray many;
    for (int i = 0; i < 105; ++i)
        many += QString("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person %1\r\nEMAIL:p%1@example.org\r\nEND:VCARD\r\n")
                    .arg(i, 3, 10, QLatin1Char('0'))
                    .toUtf8();
    writeFile(addressBook(), many);
    open();
    answerAddressBook({"*"});
    QTest::mouseClick(dialog.cmdTo, Qt::LeftButton);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("At most 101 recipients"));
    EXPECT_EQ(dialog.LastRecipientIndex, 100);
    EXPECT_EQ(dialog.RecipientAddresses[100], "p100@example.org");
    EXPECT_EQ(dialog.txtDisplayName->Text().split("; ").size(), 101);
    EXPECT_EQ(dialog.txtAddresses->Text().split("; ").size(), 101);
    EXPECT_TRUE(dialog.txtAddresses->Text().endsWith("p100@example.org"));
}

TEST_F(EmailDialog, ASubjectWithLineBreaksGivesOneSubjectHeaderAndNonAsciiIsEncoded)
{
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    dialog.txtSubject->setText("Report\r\nBcc: victim@example.org\nX-Evil: yes");
    send();
    const auto mails = server.received();
    ASSERT_EQ(mails.size(), 1);
    const auto& mail = mails[0];
    EXPECT_EQ(mail.header("Subject").size(), 1);
    EXPECT_TRUE(mail.header("Bcc").isEmpty());
    EXPECT_TRUE(mail.header("X-Evil").isEmpty());
    EXPECT_EQ(mail.recipients, QStringList{"alice@example.org"});

    const QString subject = "Bildschirmfoto – Übersicht ✓ with a rather long subject that needs more than one word";
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    dialog.txtSubject->setText(subject);
    send();
    ASSERT_EQ(server.received().size(), 2);
    EXPECT_EQ(server.received()[1].subject, subject);
    EXPECT_TRUE(server.received()[1].header("Subject").value(0).contains("=?UTF-8?B?"));
}

// aiosmtpd at its defaults refuses lines over 998 characters; Python's own
// parser reads the folded headers back.
TEST_F(EmailDialog, LongHeadersAreFoldedAndAStrictServerReadsThemBackWhole)
{
    QStringList many, words;
    for (int i = 0; i < 101; ++i)
        many << QString("recipient.number.%1.with.a.long.name@mail.department.example.org").arg(i);
    for (int i = 0; words.join(' ').size() < 1500; ++i)
        words << QString("word%1").arg(i);
    const struct {
        QStringList to;
        QString subject;
    } cases[] = {
        {many, words.join(' ').left(1500)},
        {{"alice@example.org"}, QString(300, QChar(0xE9))},
        {{"alice@example.org", "bob@example.net"}, "Screen 😀😀 ✓ " + QString(120, 'x') + " done\t🎉 =?x?q?y?= " + QString(1500, 'a')},
    };
    for (const auto& c : cases) {
        open();
        dialog.txtDisplayName->setText(c.to.join("; "));
        dialog.txtSubject->setText(c.subject);
        send();
    }
    const auto mails = server.received();
    ASSERT_EQ(mails.size(), 3) << watcher.texts().join("|").toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mails[i].recipients, cases[i].to);
        EXPECT_EQ(mails[i].to, cases[i].to);
        EXPECT_EQ(mails[i].subject, cases[i].subject);
        EXPECT_LE(mails[i].longestHeaderLine, 78);
    }
}

TEST_F(EmailDialog, WithoutACaptureFileTheSendSaysSoAndSendsNothing)
{
    QFile::remove(CaptureFilePath());
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    send();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("no capture to send"));
    EXPECT_TRUE(dialog.IsLoaded());
    EXPECT_TRUE(server.received().isEmpty());
}

TEST_F(EmailDialog, AServerThatIsDownOrRefusesIsReportedAndTheDialogStaysOpen)
{
    {
        SmtpTestServer refusing({"--refuse"});
        setMail("Server", refusing.url());
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        send();
        EXPECT_TRUE(dialog.IsLoaded());
        EXPECT_TRUE(refusing.received().isEmpty());
        dialog.Unload();
    }
    setMail("Server", "smtp://127.0.0.1:1");
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    send();
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_TRUE(watcher.messages()[0].text.contains("refused")) << watcher.messages()[0].text.toStdString();
    EXPECT_TRUE(watcher.messages()[1].text.contains("could not connect")) << watcher.messages()[1].text.toStdString();
    EXPECT_TRUE(dialog.IsLoaded());
    EXPECT_EQ(dialog.txtDisplayName->Text(), "alice@example.org");
}

// A refusal names what was refused, gives the server's own reply and says
// whether trying again later may help.
TEST_F(EmailDialog, ARefusalGivesTheServersReplyAndWhetherTryingAgainHelps)
{
    const QList<std::pair<QStringList, QStringList>> cases = {
        {{"--data-reply", "554 5.7.1 Message rejected as spam"},
         {"refused the message", "\"554 5.7.1 Message rejected as spam\"", "will not help"}},
        {{"--data-reply", "451 4.3.0 Try again later"}, {"refused the message", "\"451 4.3.0 Try again later\"", "trying again later may help"}},
        {{"--refuse"}, {"refused the recipient alice@example.org", "550 5.1.1 <alice@example.org>: recipient refused", "will not help"}},
    };
    for (const auto& [options, says] : cases) {
        SmtpTestServer refusing(options);
        setMail("Server", refusing.url());
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        send();
        ASSERT_EQ(watcher.messages().size(), 1) << options.join(' ').toStdString();
        for (const QString& part : says)
            EXPECT_TRUE(watcher.messages()[0].text.contains(part)) << watcher.messages()[0].text.toStdString();
        EXPECT_TRUE(dialog.IsLoaded());
        watcher.clearMessages();
        dialog.Unload();
    }
}

struct NonAsciiCase {
    bool smtpUtf8;
    QString from, to;
    QString envelope; // the recipient the server gets; empty: nothing is sent
};

// Domains travel in punycode in the envelope and in every header, so that a
// server without SMTPUTF8 gets plain ASCII; an address whose part before the
// @ is not ASCII goes only to a server that offers SMTPUTF8, and otherwise
// stops the send before the sender is named.
TEST_F(EmailDialog, NonAsciiAddressesReachServersWithAndWithoutSmtpUtf8OrAreRefusedBeforeSending)
{
    const QList<NonAsciiCase> cases = {
        {false, "me@b\u00fccher.test", "user@ex\u00e4mple.org", "user@xn--exmple-cua.org"},
        {false, "me@example.org", "j\u00f6rg@example.org", ""},
        {true, "me@b\u00fccher.test", "j\u00f6rg@example.org", "j\u00f6rg@example.org"},
    };
    for (const NonAsciiCase& c : cases) {
        SmtpTestServer server(c.smtpUtf8 ? QStringList() : QStringList{"--no-smtputf8"});
        setMail("Server", server.url());
        setMail("From", c.from);
        open();
        dialog.txtDisplayName->setText(c.to);
        send();
        const QString which = c.to + (c.smtpUtf8 ? " with" : " without") + " SMTPUTF8";
        const auto mails = server.received();
        if (c.envelope.isEmpty()) {
            ASSERT_EQ(watcher.messages().size(), 1) << which.toStdString();
            EXPECT_TRUE(watcher.messages()[0].text.contains(c.to + " cannot go through this server"))
                << watcher.messages()[0].text.toStdString();
            EXPECT_FALSE(server.commands().contains("MAIL")) << which.toStdString();
            EXPECT_TRUE(mails.isEmpty());
        } else {
            EXPECT_TRUE(watcher.messages().isEmpty()) << watcher.texts().join("|").toStdString();
            ASSERT_EQ(mails.size(), 1) << which.toStdString();
            EXPECT_EQ(mails[0].recipients, QStringList{c.envelope});
            EXPECT_EQ(mails[0].headersAscii, !c.smtpUtf8) << which.toStdString();
            EXPECT_EQ(mails[0].to, QStringList{c.smtpUtf8 ? c.to : c.envelope});
            EXPECT_EQ(mails[0].header("From"), QStringList{c.from.section('@', 0, 0) + "@" + QUrl::toAce(c.from.section('@', 1))});
            EXPECT_TRUE(mails[0].header("Message-ID").value(0).endsWith("@" + QUrl::toAce(c.from.section('@', 1)) + ">"));
        }
        watcher.clearMessages();
        dialog.Unload();
    }
}

// Answers the sign-on window: fills the fields given and presses OK or Cancel.
void answerSignOn(ModalWatcher& watcher, const QMap<QString, QString>& fields, bool ok, QString* problem = nullptr)
{
    watcher.queue([=](QWidget* window) {
        ASSERT_EQ(window->objectName(), "signOnDialog");
        if (problem)
            *problem = window->findChild<QLabel*>("problem")->text();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            window->findChild<QLineEdit*>(it.key())->setText(it.value());
        window->findChild<QDialogButtonBox*>()->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
}

TEST_F(EmailDialog, TheSignOnAsksForTheAccountAndTheLoginAndARefusedLoginIsReported)
{
    SmtpTestServer guarded({"--auth", "me:secret"});
    clearSettings();
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    // No account yet: the sign-on asks for it; Cancel ends the send with a message.
    answerSignOn(watcher, {}, false);
    send();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("Sign-on was cancelled"));

    answerSignOn(watcher, {{"server", guarded.url()}, {"from", "me@example.org"}, {"user", "me"}, {"password", "wrong"}},
                 true);
    send();
    ASSERT_EQ(watcher.messages().size(), 2);
    EXPECT_TRUE(watcher.messages()[1].text.contains("refused the login")) << watcher.messages()[1].text.toStdString();
    EXPECT_EQ(storedSettings("Mail").value("Server"), guarded.url());
    EXPECT_EQ(storedSettings("Mail").value("User"), "me");
    EXPECT_FALSE(storedSettings("Mail").contains("Password"));
    EXPECT_TRUE(dialog.IsLoaded());

    // The refused password is forgotten: the next Send asks for it alone.
    QString problem;
    answerSignOn(watcher, {{"password", "secret"}}, true, &problem);
    send();
    EXPECT_TRUE(problem.contains("password")) << problem.toStdString();
    EXPECT_EQ(watcher.messages().size(), 2) << watcher.texts().join("|").toStdString();
    ASSERT_EQ(guarded.received().size(), 1);
    EXPECT_FALSE(dialog.IsLoaded());
}

// A server that takes no passwords from programs (Microsoft's, Gmail's): its
// reply, what it means and the way that works are said, and the next Send
// offers that way.
TEST_F(EmailDialog, AServerThatTakesNoPasswordsSaysSoAndTheNextSendOffersTheMailProgram)
{
    const std::pair<const char*, const char*> replies[] = {
        {"550 5.7.30 Basic authentication is not supported for Client Submission", "takes no passwords from programs"},
        {"534 5.7.9 Application-specific password required", "app password"}};
    for (const auto& [reply, means] : replies) {
        SmtpTestServer strict({"--auth", "me:secret", "--auth-reply", reply});
        setMail("Server", strict.url());
        setMail("User", "me");
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        answerSignOn(watcher, {{"password", "secret"}}, true);
        send();
        ASSERT_EQ(watcher.messages().size(), 1) << reply;
        for (const QString& said : {QString(reply), QString(means), QString("the desktop's mail program")})
            EXPECT_TRUE(watcher.messages()[0].text.contains(said)) << watcher.messages()[0].text.toStdString();
        bool offered = false;
        watcher.queue([&offered](QWidget* window) {
            offered = window->findChild<QRadioButton*>("mailProgram")->isChecked();
            window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        send();
        EXPECT_TRUE(offered) << reply;
        EXPECT_TRUE(strict.received().isEmpty());
        watcher.clearMessages();
    }
}

// With no server set the account dialog offers the desktop's mail program
// first; chosen, it is kept, and where the desktop has none set up that is
// said, with how: nothing is sent and no copy of the capture is left.
TEST_F(EmailDialog, TheDesktopsMailProgramIsTheFirstWayOfferedAndItsAbsenceIsSaid)
{
    // A desktop without a portal or a mail program, whatever this machine has.
    const QTemporaryDir nothing;
    qputenv("XDG_DATA_DIRS", QFile::encodeName(nothing.path()));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    clearSettings();
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    bool first = false;
    watcher.queue([&first](QWidget* window) {
        first = window->findChild<QRadioButton*>("mailProgram")->isChecked();
        window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    send();
    EXPECT_TRUE(first);
    EXPECT_EQ(storedSettings("Mail").value("SendThrough"), "MailProgram");
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("No mail program is set up")) << watcher.messages()[0].text.toStdString();
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_TRUE(QDir(host::AppFolder() + "/outgoing").entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(dialog.IsLoaded());
}

struct NetrcCase {
    const char* what;
    QByteArray netrc;
    QFile::Permissions mode;
    QString user, serverPassword;
    bool asked, sent;
};

void PrintTo(const NetrcCase& c, std::ostream* out)
{
    *out << c.what;
}

class NetrcLogin : public EmailDialog, public ::testing::WithParamInterface<NetrcCase> {};

// A server that requires a login; the password comes from ~/.netrc or, when
// no entry fits, from the sign-on window (which types the server's password).
TEST_P(NetrcLogin, ThePasswordComesFromTheFittingEntryOrIsAsked)
{
    const NetrcCase& c = GetParam();
    const QString netrc = QDir::home().filePath(".netrc");
    writeFile(netrc, c.netrc);
    QFile::setPermissions(netrc, c.mode);
    SmtpTestServer guarded({"--auth", "me:" + c.serverPassword});
    setMail("Server", guarded.url());
    setMail("User", c.user);
    answerSignOn(watcher, {{"password", c.serverPassword}}, true);
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    send();
    QFile::remove(netrc);
    EXPECT_EQ(watcher.pendingAnswers() == 0, c.asked) << c.what;
    EXPECT_EQ(guarded.received().size(), c.sent ? 1 : 0) << c.what << watcher.texts().join("|").toStdString();
    EXPECT_EQ(watcher.texts().join("").contains(netrc), !c.sent) << watcher.texts().join("|").toStdString();
}

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
INSTANTIATE_TEST_SUITE_P(
    Entries, NetrcLogin,
    ::testing::Values(
        NetrcCase{"matching login", "machine 127.0.0.1 login me password secret123\n", kOwnerOnly, "me", "secret123", false, true},
        NetrcCase{"other login", "machine 127.0.0.1 login other password secret123\n", kOwnerOnly, "me", "typed", true, true},
        NetrcCase{"no user: the entry gives the login", "machine 127.0.0.1 login me password secret123", kOwnerOnly, "", "secret123", false, true},
        NetrcCase{"default", "machine other.example login me password no\ndefault login me password secret123", kOwnerOnly, "me", "secret123", false, true},
        NetrcCase{"quoted, any white space, comment, macro", "# mine\nmacdef init\nlogin me password no\n\nmachine\t127.0.0.1\n login me\r\n password \"top \\\"secret\\\"\"\n",
                  kOwnerOnly, "me", "top \"secret\"", false, true},
        NetrcCase{"a wrong password: told with the file, not asked over", "machine 127.0.0.1 login me password wrong\n",
                  kOwnerOnly, "me", "secret123", false, false},
        NetrcCase{"readable by others", "machine 127.0.0.1 login me password secret123", kOwnerOnly | QFile::ReadGroup | QFile::ReadOther, "me", "secret123", false, false}));

// The message's size goes with the sender where the server takes SIZE; a
// message larger than the server's limit stops before its upload, saying
// both sizes and what helps. (Debian's Postfix takes 10,240,000 bytes.)
TEST_F(EmailDialog, TheSizeIsAnnouncedAndAMessageTooLargeStopsBeforeItsUpload)
{
    writeFile(CaptureFilePath(), QByteArray(3'000'000, 'B'));
    for (const int limit : {10'240'000, 4'000'000, 1'000'000}) {
        SmtpTestServer server({"--size-limit", QString::number(limit)});
        setMail("Server", server.url());
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        send();
        const auto mails = server.received();
        if (limit > 4'100'000) {
            ASSERT_EQ(mails.size(), 1) << watcher.texts().join("|").toStdString();
            EXPECT_EQ(mails[0].mailOptions.filter("SIZE="), QStringList{QString("SIZE=%1").arg(mails[0].size)});
        } else {
            EXPECT_TRUE(mails.isEmpty());
            EXPECT_FALSE(server.commands().contains("MAIL"));
            ASSERT_EQ(watcher.messages().size(), 1);
            EXPECT_TRUE(watcher.messages()[0].text.contains(QString("the message is 4.1 MB, and the server takes at most %1 MB")
                                                                .arg(limit / 1e6, 0, 'f', 1)))
                << watcher.messages()[0].text.toStdString();
            EXPECT_TRUE(watcher.messages()[0].text.contains("fewer colours"));
        }
        watcher.clearMessages();
        dialog.Unload();
    }
}

// What a mail program sends: the address book's names in the To header,
// encoded where they are not ASCII, and the text as lines.
TEST_F(EmailDialog, NamesGoInTheToHeaderAndTheTextGoesAsLines)
{
    QFile book(addressBook());
    ASSERT_TRUE(book.open(QIODevice::Append));
    book.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m\r\nEMAIL:zoe@example.org\r\nEND:VCARD\r\n");
    book.close();
    open();
    dialog.txtDisplayName->setText(QString::fromUtf8("Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m; alice@example.org"));
    const QString text = "First line\nSecond, ends in blanks  \n" + QString(200, 'x') + "\n\nGr\u00fc\u00dfe";
    dialog.txtBody->setText(text);
    send();
    const auto mails = server.received();
    ASSERT_EQ(mails.size(), 1) << watcher.texts().join("|").toStdString();
    EXPECT_EQ(mails[0].toNames, QStringList({QString::fromUtf8("Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m"), "Alice Liddell"}));
    EXPECT_TRUE(mails[0].headersAscii);
    EXPECT_EQ(mails[0].body, QString(text + "     ").replace("\n", "\r\n"));
    const QStringList lines = mails[0].textRaw.split("\r\n");
    EXPECT_EQ(lines.size(), 5 + 2) << mails[0].textRaw.toStdString(); // the long line broken twice, softly
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 76) << line.toStdString();
}

// A server whose certificate comes from an authority of the user's own:
// trusted once CAFile names it, refused without; a CAFile that cannot be
// read is said so.
TEST_F(EmailDialog, APrivateCertificateAuthorityIsTrustedThroughCAFile)
{
    QTemporaryDir dir;
    const auto openssl = [&](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start("openssl", arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    };
    ASSERT_TRUE(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Home CA"}));
    ASSERT_TRUE(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}));
    writeFile(dir.filePath("san"), "subjectAltName=IP:127.0.0.1\n");
    ASSERT_TRUE(openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san"}));
    SmtpTestServer secured({"--tls", dir.filePath("server.pem"), dir.filePath("server.key")});
    setMail("Server", secured.url());
    for (const QString& caFile : {QString(), dir.filePath("missing.pem"), dir.filePath("ca.pem")}) {
        setMail("CAFile", caFile);
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        send();
        const QString told = watcher.texts().join("|");
        if (caFile.endsWith("ca.pem"))
            EXPECT_TRUE(told.isEmpty()) << told.toStdString();
        else
            EXPECT_TRUE(told.contains(caFile.isEmpty() ? "certificate" : "missing.pem (CAFile) cannot be read")) << told.toStdString();
        watcher.clearMessages();
        dialog.Unload();
    }
    EXPECT_EQ(secured.received().size(), 1);
}

// A server that never answers, or holds one step of the session for a
// while: the windows go on, the progress shows within half a second of
// Send, and Cancel ends the send at once.
TEST_F(EmailDialog, AServerThatTakesItsTimeNeverFreezesTheWindowAndCanBeCancelled)
{
    for (const QStringList& options : {QStringList{"--hang"}, QStringList{"--hold", "greeting=4"},
                                       QStringList{"--auth", "me:pw", "--hold", "auth=4"},
                                       QStringList{"--hold", "rcpt=4"}, QStringList{"--hold", "data=4"}}) {
        SmtpTestServer slow(options);
        setMail("Server", slow.url());
        setMail("TransferTimeout", "60");
        setMail("User", options.contains("--auth") ? "me" : "");
        mail::MailService::instance().forgetPassword();
        if (options.contains("--auth"))
            answerSignOn(watcher, {{"password", "pw"}}, true);
        open();
        type(dialog.txtDisplayName, "alice@example.org");
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        qint64 shown = -1, cancelled = -1;
        int steps = 0; // of the progress bar when cancelled; 0 while the size is not known
        watcher.queue([&](QWidget* window) {
            shown = clock.elapsed();
            ASSERT_NE(qobject_cast<QProgressDialog*>(window), nullptr);
            // Cancelled once the session is well into the step held.
            QTimer::singleShot(1500, window, [&, window] {
                cancelled = clock.elapsed();
                steps = qobject_cast<QProgressDialog*>(window)->maximum();
                QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
            });
        });
        clock.start();
        send();
        const std::string which = options.join(' ').toStdString();
        EXPECT_GE(shown, 0) << which;
        EXPECT_LT(shown, 500 + (options.contains("--auth") ? 100 : 0)) << which;
        EXPECT_LT(clock.elapsed() - cancelled, 500) << which;
        // Held at the final dot, every byte has gone: the bar shows it.
        EXPECT_EQ(steps, options.contains("data=4") ? 1000 : 0) << which;
        EXPECT_GE(ticks, clock.elapsed() / 50 / 2) << which;
        ASSERT_EQ(watcher.messages().size(), 1) << which;
        EXPECT_TRUE(watcher.messages()[0].text.contains("cancelled")) << watcher.messages()[0].text.toStdString();
        EXPECT_TRUE(dialog.IsLoaded());
        watcher.clearMessages();
        dialog.Unload();
    }
}

TEST_F(EmailDialog, ASilentServerEndsInATimeOut)
{
    SmtpTestServer hanging({"--hang"});
    setMail("Server", hanging.url());
    setMail("ConnectTimeout", "1");
    setMail("TransferTimeout", "1");
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    send();
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text.contains("did not answer in time")) << watcher.messages()[0].text.toStdString();
}

TEST_F(EmailDialog, ToAndSubjectAreRememberedOnEveryRouteAndTheTextIsNot)
{
    open();
    EXPECT_EQ(dialog.txtDisplayName->Text(), "");
    EXPECT_EQ(QApplication::focusWidget(), dialog.txtDisplayName.data());
    type(dialog.txtDisplayName, "first@example.org");
    type(dialog.txtSubject, "one");
    dialog.txtBody->setText("body");
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    EXPECT_EQ(storedSettings("Defaults").value("emailAddress"), "first@example.org");
    EXPECT_EQ(storedSettings("Defaults").value("emailSubject"), "one");

    open();
    EXPECT_EQ(dialog.txtDisplayName->Text(), "first@example.org");
    EXPECT_EQ(dialog.txtSubject->Text(), "one");
    EXPECT_EQ(dialog.txtBody->Text(), "");
    type(dialog.txtSubject, "two");
    dialog.window()->close();
    EXPECT_EQ(storedSettings("Defaults").value("emailSubject"), "two");

    open();
    type(dialog.txtSubject, "three");
    send();
    EXPECT_FALSE(dialog.IsLoaded());
    EXPECT_EQ(storedSettings("Defaults").value("emailSubject"), "three");
}

TEST_F(EmailDialog, ViewShowsTheActualSizeWindow)
{
    open();
    QString caption;
    watcher.queue([&caption](QWidget* window) {
        caption = window->windowTitle();
        window->close();
    });
    QTest::mouseClick(dialog.cmdPreview, Qt::LeftButton);
    EXPECT_EQ(caption, "Actual Size Bitmap");
    EXPECT_TRUE(dialog.IsLoaded());
}

TEST_F(EmailDialog, EnterAndEscDoNothing)
{
    open();
    type(dialog.txtDisplayName, "alice@example.org");
    QTest::keyClick(dialog.txtDisplayName, Qt::Key_Return);
    QTest::keyClick(dialog.txtDisplayName, Qt::Key_Escape);
    EXPECT_TRUE(dialog.IsLoaded());
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_FALSE(dialog.cmdSend->isDefault());
}

class EmailButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        writeFile(CaptureFilePath(), "an earlier capture");
        form.Show();
        form.txtFileName->setText(dir.filePath("shot"));
    }
    void TearDown() override
    {
        form.Unload();
        QFile::remove(CaptureFilePath());
        clearSettings();
    }

    // Answers the e-mail dialog: notes whether it opened, then cancels it.
    void expectEmailDialog(bool* opened)
    {
        watcher.queue([opened](QWidget* window) {
            *opened = window->windowTitle() == "e-Mail Screen Capture";
            window->findChild<QPushButton*>("cmdCancel")->click();
        });
    }

    QTemporaryDir dir;
    frmMain form;
    ModalWatcher watcher;
};

TEST_F(EmailButton, SavesTheCaptureToTheFixedFileAndOpensTheDialog)
{
    QImage capture(20, 10, QImage::Format_RGB32);
    capture.fill(Qt::darkCyan);
    QGuiApplication::clipboard()->setImage(capture);
    form.chkPrompt->setValue(1);
    bool opened = false;
    expectEmailDialog(&opened);
    QTest::mouseClick(form.cmdEmail, Qt::LeftButton);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(watcher.messages().isEmpty());
    EXPECT_EQ(QImage(CaptureFilePath()).convertToFormat(QImage::Format_RGB32), capture);
    EXPECT_FALSE(form.SaveToAppFolder);
}

TEST_F(EmailButton, WithoutACaptureTheOldFileIsGoneTheDialogOpensAndTheNextSaveIsOrdinary)
{
    QGuiApplication::clipboard()->setText("no picture");
    bool opened = false;
    expectEmailDialog(&opened);
    QTest::mouseClick(form.cmdEmail, Qt::LeftButton);
    EXPECT_TRUE(opened);
    ASSERT_EQ(watcher.messages().size(), 1);
    EXPECT_TRUE(watcher.messages()[0].text == testing_support::kNoCapture);
    EXPECT_FALSE(QFile::exists(CaptureFilePath()));

    QImage capture(4, 4, QImage::Format_RGB32);
    capture.fill(Qt::white);
    QGuiApplication::clipboard()->setImage(capture);
    QTest::mouseClick(form.cmdSave, Qt::LeftButton);
    EXPECT_TRUE(QFile::exists(dir.filePath("shot001.BMP")));
    EXPECT_FALSE(QFile::exists(CaptureFilePath()));
}

} // namespace
