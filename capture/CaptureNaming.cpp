#include "capture/CaptureNaming.h"

#include "host/Files.h"

namespace capture {

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString withBmpExtension(const QString& name)
{
    if (name.right(4).toUpper() == QLatin1String(".BMP"))
        return name;
    return name + QLatin1String(".BMP");
}

QString counterText(int counter)
{
    return QString::number(counter).rightJustified(3, QLatin1Char('0'));
}

QString withDates(const QString& text, const QDateTime& when)
{
    QString named;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar field = i + 1 < text.size() && text[i] == QLatin1Char('%') ? text[i + 1] : QChar();
        const char* format = field == QLatin1Char('Y')   ? "yyyy"
                             : field == QLatin1Char('m') ? "MM"
                             : field == QLatin1Char('d') ? "dd"
                             : field == QLatin1Char('H') ? "HH"
                             : field == QLatin1Char('M') ? "mm"
                             : field == QLatin1Char('S') ? "ss"
                                                         : nullptr;
        if (format)
            named += when.toString(QLatin1String(format));
        else if (field == QLatin1Char('%'))
            named += QLatin1Char('%');
        else
            named += text[i];
        i += format || field == QLatin1Char('%') ? 1 : 0;
    }
    return named;
}

QString typedName(const QString& text)
{
    return host::expandHome(trimBlanks(text));
}

QString numberedName(const QString& prefix, int counter)
{
    return withBmpExtension(typedName(prefix) + counterText(counter));
}

std::optional<QString> firstFreeNumberedName(const QString& prefix)
{
    for (int counter = 1; counter <= kLastNumber; ++counter) {
        const QString name = numberedName(prefix, counter);
        if (!host::NameTaken(name))
            return name;
    }
    return std::nullopt;
}

std::optional<QString> commitNumbered(host::AtomicFile& file, const QString& prefix)
{
    for (int counter = 1; counter <= kLastNumber; ++counter) {
        const QString name = numberedName(prefix, counter);
        if (!host::NameTaken(name) && file.commitIfFree(name))
            return name;
    }
    return std::nullopt;
}

} // namespace capture
