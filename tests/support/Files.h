#pragma once

#include <QByteArray>
#include <QString>

namespace testing_support {

// The bytes of a file; "<missing>" when it cannot be read.
QByteArray readAll(const QString& path);

// Writes a file whole; a test that cannot do so fails.
void writeFile(const QString& path, const QByteArray& data);

} // namespace testing_support
