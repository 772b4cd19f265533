#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// What the fuzz targets share: a Qt application on the offscreen platform
// (set up once), and the input as bytes.
namespace fuzzing {

void setUpOnce();

inline QByteArray bytes(const uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Stops the run with a crash report: the input broke a property.
[[noreturn]] inline void propertyBroken()
{
    __builtin_trap();
}

} // namespace fuzzing
