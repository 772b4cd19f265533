#pragma once

#include <QString>

// The per-user settings store: strings by application, section and key.
// A store that cannot be read or written raises an error. One found damaged
// raises it once; for the rest of the run it reads as empty and is never
// written.
namespace host {

// The application's name: the name of its settings store and data folder,
// and the title of its message boxes.
QString applicationName();

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value);

} // namespace host
