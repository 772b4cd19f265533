// The settings text conversions on arbitrary text: a value or a described
// error, and a converted value reads back as itself.
#include "fuzz/FuzzSupport.h"
#include "host/Conversions.h"
#include "host/HostError.h"

namespace {

template <class Read, class Write>
void checkRoundTrip(const QString& text, Read read, Write write)
{
    try {
        const auto value = read(text);
        if (read(write(value)) != value)
            fuzzing::propertyBroken();
    } catch (const host::HostError& error) {
        if (error.description().isEmpty())
            fuzzing::propertyBroken();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzzing::bytes(data, size));
    checkRoundTrip(text, host::textToWholeNumber, host::wholeNumberToText);
    checkRoundTrip(text, host::textToBoolean, host::booleanToText);
    return 0;
}
