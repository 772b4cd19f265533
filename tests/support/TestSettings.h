#pragma once

#include <QMap>
#include <QString>

// The settings store as a test sees it: seeded, read back and emptied
// directly, apart from the code under test.
namespace testing_support {

QString settingsFile();
void clearSettings();
void storeSetting(const QString& section, const QString& key, const QString& value);
QMap<QString, QString> storedSettings(const QString& section);

} // namespace testing_support
