// The vCard reader on arbitrary bytes; a contact it reads and writes back
// reads again the same.
#include "fuzz/FuzzSupport.h"
#include "mail/VCard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    for (const mail::Contact& contact : mail::parseVCards(fuzzing::bytes(data, size))) {
        if (contact.address.isEmpty())
            fuzzing::propertyBroken();
        // Names and addresses with line ends are folded into one line on the way back.
        if (contact.name.contains(QLatin1Char('\n')) || contact.name.contains(QLatin1Char('\r'))
            || contact.address.contains(QLatin1Char('\n')) || contact.address.contains(QLatin1Char('\r')))
            continue;
        const QList<mail::Contact> again = mail::parseVCards(mail::formatVCard(contact));
        if (again.size() != 1 || again[0].address != contact.address.trimmed())
            fuzzing::propertyBroken();
    }
    return 0;
}
