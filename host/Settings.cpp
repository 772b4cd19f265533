#include "host/Settings.h"

#include "host/HostError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
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
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not %1 the settings in %2: access denied.")
                                   .arg(action, settings.fileName()));
    case QSettings::FormatError:
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not %1 the settings in %2: the file is damaged.")
                                   .arg(action, settings.fileName()));
    }
}

// The store's file, when it is one, must be text that reads as settings:
// Qt's own reader accepts damaged files and its next write would replace
// them, losing whatever they held.
void checkStoreFile(const QSettings& settings)
{
    QFile file(settings.fileName());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(content);
    bool damaged = utf8.hasError() || content.contains('\0');
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && !trimmed.endsWith(QLatin1Char(']')))
            damaged = true;
    }
    if (damaged)
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "The settings in %1 cannot be used: the file is damaged. Correct "
                                                   "or remove it; it is left as it is.")
                                        .arg(settings.fileName()));
}

// The text of a value as it stands in the store's file. A value typed into
// the file by hand with commas in it reads back as a list, which has lost
// the blanks around the commas.
QString textInFile(const QSettings& settings, const QString& section, const QString& key)
{
    QFile file(settings.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')))
            current = trimmed.mid(1, trimmed.size() - 2);
        else if (current == section && trimmed.section(QLatin1Char('='), 0, 0).trimmed() == key)
            return trimmed.section(QLatin1Char('='), 1).trimmed();
    }
    return {};
}

} // namespace

QString applicationName()
{
    return QStringLiteral("QORIX-Capture");
}

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application);
    checkStoreFile(settings);
    const QVariant value = settings.value(path(section, key));
    check(settings, QCoreApplication::translate("host", "read"));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() == QMetaType::QStringList)
        return textInFile(settings, section, key);
    return value.toString();
}

void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application);
    checkStoreFile(settings);
    check(settings, QCoreApplication::translate("host", "read"));
    settings.setValue(path(section, key), value);
    settings.sync();
    check(settings, QCoreApplication::translate("host", "save"));
}

} // namespace host
