// The picture loader on arbitrary bytes: Qt's readers and ours.
#include "fuzz/FuzzSupport.h"
#include "host/HostError.h"
#include "pictures/Picture.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::setUpOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    try {
        const QImage image = pictures::decodePicture(fuzzing::bytes(data, size));
        if (image.isNull())
            fuzzing::propertyBroken();
    } catch (const host::HostError&) {
    }
    return 0;
}
