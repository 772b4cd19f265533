#include "host/Settings.h"

#include "host/HostError.h"

#include <QSettings>
#include <QStringList>

namespace host {
namespace {

QString path(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

void check(const QSettings& settings, const QString& action)
{
    switch (settings.status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        raiseError(ErrorKind::File, QStringLiteral("Could not %1 the settings in %2: access denied.")
                                   .arg(action, settings.fileName()));
    case QSettings::FormatError:
        raiseError(ErrorKind::File, QStringLiteral("Could not %1 the settings in %2: the file is damaged.")
                                   .arg(action, settings.fileName()));
    }
}

} // namespace

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application);
    const QVariant value = settings.value(path(section, key));
    check(settings, QStringLiteral("read"));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with commas in it reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application);
    check(settings, QStringLiteral("read"));
    settings.setValue(path(section, key), value);
    settings.sync();
    check(settings, QStringLiteral("save"));
}

QString settingsLocation(const QString& application)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, application).fileName();
}

} // namespace host
