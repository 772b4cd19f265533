#include "app/CaptureNaming.h"

namespace naming {

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

QString numberedName(const QString& prefix, int counter)
{
    return withBmpExtension(trimBlanks(prefix) + counterText(counter));
}

} // namespace naming
