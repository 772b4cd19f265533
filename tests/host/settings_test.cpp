#include "host/HostError.h"
#include "host/Settings.h"
#include "tests/support/TestSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace host;
using namespace testing_support;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { clearSettings(); }
    void TearDown() override { clearSettings(); }
};

TEST_F(SettingsStore, AbsentKeyGivesTheDefaultAndSavedStringsComeBackExactly)
{
    EXPECT_EQ(GetSetting(applicationName(), "Defaults", "Filename", "dflt"), "dflt");
    for (const QString& value : {QString("C:\\Pravlek"), QString("  two  blanks "), QString("a, b, c"),
                                 QString("Ünïcode ☺"), QString(""), QString("=;#[x]")}) {
        SaveSetting(applicationName(), "Defaults", "Filename", value);
        EXPECT_EQ(GetSetting(applicationName(), "Defaults", "Filename", "dflt"), value);
    }
    EXPECT_EQ(storedSettings("Defaults").value("Filename"), "=;#[x]");
}

TEST_F(SettingsStore, SectionsAndApplicationsAreSeparate)
{
    SaveSetting(applicationName(), "Defaults", "Key", "one");
    SaveSetting(applicationName(), "Mail", "Key", "two");
    EXPECT_EQ(GetSetting(applicationName(), "Defaults", "Key"), "one");
    EXPECT_EQ(GetSetting(applicationName(), "Mail", "Key"), "two");
    EXPECT_EQ(GetSetting("Another-App", "Defaults", "Key", "none"), "none");
}

TEST_F(SettingsStore, AStoreThatCannotBeReadOrWrittenRaisesADescribedError)
{
    // A folder where the settings file should be: neither readable nor writable as a file.
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    try {
        SaveSetting(applicationName(), "Defaults", "Key", "value");
        FAIL() << "no error";
    } catch (const HostError& error) {
        EXPECT_TRUE(error.description().contains(settingsFile())) << error.description().toStdString();
    }
    EXPECT_THROW(GetSetting(applicationName(), "Defaults", "Key"), HostError);
}

// Values typed into the file by hand, as a person writes them.
TEST_F(SettingsStore, HandEditedValuesReadBackAsTheyStandInTheFile)
{
    QDir().mkpath(QFileInfo(settingsFile()).path());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Defaults]\nFilename=/home/me/shots, old,new\nDisplayColours=True\n");
    file.close();
    EXPECT_EQ(GetSetting(applicationName(), "Defaults", "Filename"), "/home/me/shots, old,new");
    EXPECT_EQ(GetSetting(applicationName(), "Defaults", "DisplayColours"), "True");
}

} // namespace
