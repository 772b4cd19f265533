// The capture PNG reader on arbitrary bytes: nothing (Qt's reader then
// decides), a described error, or exactly the pixels Qt's reader decodes.
#include "fuzz/FuzzSupport.h"
#include "host/HostError.h"
#include "pictures/PngReader.h"

#include <QColorSpace>
#include <QImage>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::setUpOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzing::bytes(data, size);
    try {
        const std::optional<QImage> ours = pictures::decodeCapturePng(bytes, QStringLiteral("it"));
        if (!ours)
            return 0;
        if (ours->isNull())
            fuzzing::propertyBroken();
        QImage qt = QImage::fromData(bytes, "PNG");
        if (qt.isNull())
            return 0;
        qt = qt.convertToFormat(QImage::Format_ARGB32);
        qt.setColorSpace(QColorSpace());
        if (ours->convertToFormat(QImage::Format_ARGB32) != qt)
            fuzzing::propertyBroken();
    } catch (const host::HostError& error) {
        if (error.description().isEmpty())
            fuzzing::propertyBroken();
    }
    return 0;
}
