// The PCX reader on arbitrary bytes: a picture or a described error, never
// a crash.
#include "fuzz/FuzzSupport.h"
#include "host/HostError.h"
#include "pictures/PcxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    try {
        if (pictures::decodePcx(fuzzing::bytes(data, size)).isNull())
            fuzzing::propertyBroken();
    } catch (const host::HostError& error) {
        if (error.description().isEmpty())
            fuzzing::propertyBroken();
    }
    return 0;
}
