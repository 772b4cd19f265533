#include "tests/support/BitmapFiles.h"

#include <QFile>
#include <QtEndian>

namespace testing_support {

int bmpBitCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = file.read(30);
    return header.size() == 30 ? qFromLittleEndian<quint16>(header.constData() + 28) : -1;
}

} // namespace testing_support
