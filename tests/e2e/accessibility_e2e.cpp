// What a screen reader hears of the windows: the real program on a private
// session bus with the accessibility bus of at-spi2-core, walked over AT-SPI.
#include "tests/e2e/Desktop.h"
#include "tests/support/Processes.h"
#include "tests/support/TestSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Heard {
    QString window, role, name, description;
};

struct Expected {
    const char* window;
    const char* role;
    const char* name;
    const char* description; // a part of it; "" for any
};

TEST(ScreenReader, EachControlHasTheRoleAndNameASightedUserReads)
{
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") || !qEnvironmentVariableIsSet("QORIX_PRIVATE_BUS")) {
        QProcess inside;
        inside.setProcessChannelMode(QProcess::ForwardedChannels);
        testing_support::startTest(inside, "ScreenReader.*", {"QORIX_PRIVATE_BUS=1"}, false, {"dbus-run-session", "--"});
        ASSERT_TRUE(inside.waitForFinished(120000));
        EXPECT_EQ(inside.exitCode(), 0);
        return;
    }
    QProcess accessibilityBus;
    accessibilityBus.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
    ASSERT_TRUE(accessibilityBus.waitForStarted());
    testing_support::clearSettings();
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
    QList<Heard> heard;
    for (const QString& line : QString::fromUtf8(walked.output).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split('\t');
        heard.append({f.value(0), f.value(1), f.value(2), f.value(3)});
    }
    const char* main = "QORIX Screen capture to bitmap";
    const char* prompt = "QORIX Capture - Prompt to Save";
    const char* email = "e-Mail Screen Capture";
    const QList<Expected> expected = {
        {main, "frame", main, ""},
        {main, "text", "Filename:", ""},
        {main, "radio button", "Monochrome", ""},
        {main, "radio button", "16 Colours", ""},
        {main, "radio button", "256 Colours", ""},
        {main, "radio button", "Display Card Colour Depth", ""},
        {main, "check box", "Thumbnail Preview", ""},
        {main, "image", "Thumbnail", "Space"},
        {prompt, "dialog", prompt, ""},
        {prompt, "text", "Filename:", ""},
        {email, "dialog", email, ""},
        {email, "push button", "To:", "address book"},
        {email, "text", "To:", ""},
        {email, "text", "Subject:", ""},
        {email, "text", "Message", ""},
        {"Address Book", "tree", "Contacts", ""},
    };
    for (const Expected& e : expected) {
        const bool found = std::any_of(heard.begin(), heard.end(), [&](const Heard& h) {
            return h.window == e.window && h.role == e.role && h.name == e.name && h.description.contains(e.description);
        });
        EXPECT_TRUE(found) << e.window << ": " << e.role << " \"" << e.name << "\"";
    }
    // Nothing a person types into, and no list, goes unnamed; no check box
    // stands for an option of a group.
    for (const Heard& h : heard) {
        if (h.role == "text" || h.role == "tree" || h.role == "image") {
            EXPECT_FALSE(h.name.isEmpty()) << h.window.toStdString() << ": an unnamed " << h.role.toStdString();
        }
        EXPECT_FALSE(h.role == "check box" && h.name.contains("Colour")) << h.name.toStdString();
    }
    accessibilityBus.terminate();
    accessibilityBus.waitForFinished();
}

} // namespace
