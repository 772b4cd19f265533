#pragma once

#include <QByteArray>

// PNG files built by hand, for readers' tests.
namespace testing_support {

// The CRC-32 that a PNG chunk carries over its type and data.
quint32 pngCrc(const QByteArray& typeAndData);

// A chunk: length, type, data and CRC.
QByteArray pngChunk(const char* type, const QByteArray& data);

} // namespace testing_support
