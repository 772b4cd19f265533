#include "host/Settings.h"

#include "host/Files.h"
#include "host/HostError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>

namespace host {
namespace {

QString path(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// The stores found damaged in this run. A damaged store is told once and
// then never written while its file is there, whoever found it damaged:
// Qt's reader takes a damaged file as it can and its next write would
// replace it, losing whatever the file held, or the user's correction of it.
// Once the file is removed, nothing is lost by writing a new one.
QSet<QString>& damagedStores()
{
    static QSet<QString> stores;
    return stores;
}

bool knownDamaged(const QSettings& settings)
{
    if (!damagedStores().contains(settings.fileName()))
        return false;
    if (QFileInfo::exists(settings.fileName()))
        return true;
    damagedStores().remove(settings.fileName());
    return false;
}

[[noreturn]] void damaged(const QSettings& settings)
{
    damagedStores().insert(settings.fileName());
    raiseError(ErrorKind::File, QCoreApplication::translate("host", "The settings in %1 cannot be used: the file is damaged. Correct "
                                                                   "or remove it; it is left as it is, and nothing is saved to it "
                                                                   "while it is there.")
                                    .arg(settings.fileName()));
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
        damaged(settings);
    }
}

// The store's file, when it is one, must be text that reads as settings,
// every part of it: Qt's reader looks at a part only when a key of it is
// asked for.
void checkStoreFile(QSettings& settings)
{
    QFile file(settings.fileName());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(content);
    bool broken = utf8.hasError() || content.contains('\0');
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && !trimmed.endsWith(QLatin1Char(']')))
            broken = true;
    }
    settings.allKeys();
    if (broken || settings.status() == QSettings::FormatError)
        damaged(settings);
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
    if (knownDamaged(settings))
        return defaultValue;
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
    if (knownDamaged(settings))
        return;
    checkStoreFile(settings);
    check(settings, QCoreApplication::translate("host", "read"));
    settings.setValue(path(section, key), value);
    settings.sync();
    // Qt says no more than "access denied": a write of the same beside it
    // tells the reason (a full disk, say).
    if (settings.status() == QSettings::AccessError)
        if (const QString problem = writeProblem(settings.fileName(), QFileInfo(settings.fileName()).size() + 1024);
            !problem.isEmpty())
            raiseError(ErrorKind::File, problem);
    check(settings, QCoreApplication::translate("host", "save"));
}

} // namespace host
