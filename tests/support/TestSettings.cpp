#include "tests/support/TestSettings.h"

#include "host/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace testing_support {

QString settingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, host::applicationName()).fileName();
}

void clearSettings()
{
    const QFileInfo info(settingsFile());
    if (info.isDir())
        QDir(info.filePath()).removeRecursively();
    else
        QFile::remove(info.filePath());
}

void storeSetting(const QString& section, const QString& key, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, host::applicationName());
    settings.setValue(section + "/" + key, value);
}

QMap<QString, QString> storedSettings(const QString& section)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, host::applicationName());
    settings.beginGroup(section);
    QMap<QString, QString> values;
    for (const QString& key : settings.childKeys())
        values.insert(key, settings.value(key).toString());
    return values;
}

} // namespace testing_support
