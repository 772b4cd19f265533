// What a screen reader hears of the windows: the real program on a private
// session bus with the accessibility bus of at-spi2-core, walked over AT-SPI.
#include "tests/e2e/Desktop.h"
#include "tests/support/TestSettings.h"
#include "tests/support/Texts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Heard {
    const char* window;
    const char* role;
    const char* name;
    const char* description; // a part of it
};

TEST(ScreenReader, EachControlHasTheRoleAndNameASightedUserReads)
{
    if (!onPrivateBus("ScreenReader.*"))
        return;
    QProcess accessibilityBus;
    accessibilityBus.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
    ASSERT_TRUE(accessibilityBus.waitForStarted());
    testing_support::storeSetting("Defaults", "SavePrompt", "1");
    testing_support::storeSetting("Mail", "Server", "smtp://127.0.0.1:1");
    testing_support::storeSetting("Mail", "From", "me@example.org");
    QImage capture(64, 48, QImage::Format_RGB32);
    capture.fill(Qt::darkCyan);
    ClipboardOwner owner(capture);
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    Program program;
    const CommandResult walked = runCommand("/usr/bin/python3", {QORIX_TEST_SOURCE "/e2e/accessibility_walk.py"}, {}, 90000);
    ASSERT_EQ(walked.exitCode, 0) << walked.output.toStdString() << program.errors().toStdString();
    const QStringList heard = QString::fromUtf8(walked.output).split('\n', Qt::SkipEmptyParts);
    const QByteArray mainTitle = testing_support::kMainWindowTitle.toUtf8();
    const char* main = mainTitle.constData();
    const char* prompt = "QORIX Capture - Prompt to Save";
    const char* email = "e-Mail Screen Capture";
    for (const Heard& e : std::initializer_list<Heard>{
             {main, "frame", main, ""}, {main, "text", "Filename:", ""}, {main, "radio button", "Monochrome", ""},
             {main, "radio button", "16 Colours", ""}, {main, "radio button", "256 Colours", ""},
             {main, "radio button", "Display Card Colour Depth", ""}, {main, "check box", "Thumbnail Preview", ""},
             {main, "image", "Thumbnail", "Space"}, {prompt, "dialog", prompt, ""}, {prompt, "text", "Filename:", ""},
             {email, "dialog", email, ""}, {email, "push button", "To:", "address book"}, {email, "text", "To:", ""},
             {email, "text", "Subject:", ""}, {email, "text", "Message", ""}, {"Address Book", "tree", "Contacts", ""}}) {
        const QString start = QStringList{e.window, e.role, e.name}.join('\t') + '\t';
        EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [&](const QString& h) {
            return h.startsWith(start) && h.mid(start.size()).contains(e.description);
        })) << start.toStdString();
    }
    // Nothing a person types into, and no list or picture, goes unnamed.
    for (const QString& h : heard)
        EXPECT_FALSE(QRegularExpression("\t(text|tree|image)\t\t").match(h).hasMatch()) << h.toStdString();
    accessibilityBus.terminate();
    accessibilityBus.waitForFinished();
}

} // namespace
