#include "host/Conversions.h"

#include "host/HostError.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <optional>

namespace host {
namespace {

std::optional<double> parseNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

[[noreturn]] void typeMismatch(const QString& text, const QString& expected)
{
    raiseError(ErrorKind::TypeMismatch, QCoreApplication::translate("host", "Type mismatch: \"%1\" is not %2.").arg(text, expected));
}

} // namespace

qint32 textToWholeNumber(const QString& text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value)
        typeMismatch(text, QCoreApplication::translate("host", "a whole number"));
    const double rounded = std::nearbyint(*value); // the default rounding mode rounds halves to even
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        raiseOverflow(QCoreApplication::translate("host", "\"%1\" is outside the range of a whole number.").arg(text));
    return qint32(rounded);
}

bool textToBoolean(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> value = parseNumber(text);
    if (!value)
        typeMismatch(text, QCoreApplication::translate("host", "True, False or a number"));
    return *value != 0;
}

QString wholeNumberToText(qint64 value)
{
    return QString::number(value);
}

QString booleanToText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace host
