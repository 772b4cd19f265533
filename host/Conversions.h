#pragma once

#include <QString>

// The conversions between stored texts and values. Text that does not
// convert raises an error (type mismatch, or overflow for a number too large).
namespace host {

// Decimal text, blanks around it allowed; a fraction rounds to the nearest
// whole number, halves to even.
qint32 textToWholeNumber(const QString& text);

// "True" or "False" in any letter case, or numeric text: zero is false.
bool textToBoolean(const QString& text);

QString wholeNumberToText(qint64 value);
QString booleanToText(bool value);

} // namespace host
