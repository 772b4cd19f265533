#include "app/frmMain.h"
#include "dialogs/frmPrompt.h"
#include "forms/Application.h"
#include "forms/MessageBox.h"
#include "tests/support/TestSettings.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// What a window shows of its own: its title, and its controls' captions and
// hints; not what a person typed.
QStringList shownTexts(QWidget* window)
{
    QStringList texts{window->windowTitle()};
    for (const auto* button : window->findChildren<QAbstractButton*>())
        texts << button->text();
    for (const auto* label : window->findChildren<QLabel*>())
        texts << label->text();
    for (const auto* frame : window->findChildren<QGroupBox*>())
        texts << frame->title();
    for (const auto* box : window->findChildren<QLineEdit*>())
        texts << box->placeholderText();
    texts.removeAll(QString());
    return texts;
}

void expectWrapped(const QStringList& texts, const char* where)
{
    EXPECT_FALSE(texts.isEmpty()) << where;
    for (const QString& text : texts)
        EXPECT_TRUE(text.startsWith("[[") && text.endsWith("]]")) << where << ": " << text.toStdString();
}

// The build wraps every text of the template in [[...]] for this locale.
TEST(PseudoTranslation, EveryControlAndMessageOfTheWindowsIsTranslated)
{
    ASSERT_TRUE(host::installTranslation(QLocale(QLocale::Esperanto), QORIX_PSEUDO_TRANSLATIONS));
    QStringList messages;
    forms::setMessageSink([&messages](const QString& text, forms::MsgBoxStyle) { messages << text; });
    testing_support::clearSettings();

    frmMain main;
    main.Show();
    expectWrapped(shownTexts(main.window()), "main window");
    frmPrompt prompt;
    prompt.Load();
    expectWrapped(shownTexts(prompt.window()), "prompt");
    main.pictureWindow().Load();
    expectWrapped(shownTexts(main.pictureWindow().window()), "picture window");
    main.emailDialog().Show();
    expectWrapped(shownTexts(main.emailDialog().window()), "e-mail dialog");

    QGuiApplication::clipboard()->clear();
    main.cmdSave_Click();
    QImage capture(16, 16, QImage::Format_RGB32);
    capture.fill(Qt::gray);
    QGuiApplication::clipboard()->setImage(capture);
    main.chkAutoIncrementFilename->setValue(0);
    main.txtFileName->setText("  ");
    main.cmdSave_Click();
    main.txtFileName->setText(QDir::homePath() + "/missing/shot");
    main.cmdSave_Click();
    for (forms::OptionButton* option : {main.OptMonochrome, main.opt16, main.opt256, main.optDisplayCard})
        option->setValue(false);
    main.cmdSave_Click();
    QTest::mouseClick(main.emailDialog().cmdSend, Qt::LeftButton);
    forms::setMessageSink({});
    EXPECT_EQ(messages.size(), 5) << messages.join('|').toStdString();
    expectWrapped(messages, "messages");
    main.emailDialog().Unload();
    main.Unload();
}

} // namespace
