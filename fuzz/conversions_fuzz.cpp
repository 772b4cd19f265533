// The settings text conversions on arbitrary text: a value or a described
// error, and a converted value reads back as itself.
#include "fuzz/FuzzSupport.h"
#include "host/Conversions.h"
#include "host/HostError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzzing::bytes(data, size));
    try {
        const qint32 number = host::textToWholeNumber(text);
        if (host::textToWholeNumber(host::wholeNumberToText(number)) != number)
            fuzzing::propertyBroken();
    } catch (const host::HostError& error) {
        if (error.description().isEmpty())
            fuzzing::propertyBroken();
    }
    try {
        const bool value = host::textToBoolean(text);
        if (host::textToBoolean(host::booleanToText(value)) != value)
            fuzzing::propertyBroken();
    } catch (const host::HostError& error) {
        if (error.description().isEmpty())
            fuzzing::propertyBroken();
    }
    return 0;
}
