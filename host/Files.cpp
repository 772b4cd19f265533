#include "host/Files.h"

#include "host/HostError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace host {

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void DeleteFile(const QString& path)
{
    QFile file(path);
    if (!file.remove())
        raiseError(ErrorKind::File, QStringLiteral("Could not delete %1: %2").arg(path, file.errorString()));
}

QString AppFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        raiseError(ErrorKind::File, QStringLiteral("Could not create the program's folder %1.").arg(folder));
    return QDir::cleanPath(folder);
}

QString CaptureFilePath()
{
    return AppFolder() + QLatin1String("/tolvo.bmp");
}

AtomicFile::AtomicFile(const QString& path) : m_path(path), m_file(path)
{
    if (path.isEmpty())
        raiseError(ErrorKind::File, QStringLiteral("Could not write the file: no file name was given."));
    const QFileInfo info(path);
    if (info.isDir())
        fail(QStringLiteral("a folder of that name exists."));
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        fail(QStringLiteral("the folder %1 does not exist.").arg(QDir::toNativeSeparators(folder.filePath())));
    // A file without its owner's write permission is read-only, also for an
    // administrator who could write it anyway.
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        fail(QStringLiteral("the file is read-only."));
    if (info.exists() && !info.isWritable())
        fail(QStringLiteral("permission denied: you may not change this file."));
    if (!m_file.open(QIODevice::WriteOnly))
        fail(m_file.errorString());
}

void AtomicFile::write(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 written = m_file.write(data + done, size - done);
        if (written <= 0)
            fail(m_file.errorString());
        done += written;
    }
}

void AtomicFile::commit()
{
    if (!m_file.commit())
        fail(m_file.errorString());
}

void AtomicFile::fail(const QString& reason) const
{
    raiseError(ErrorKind::File, QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(m_path), reason));
}

} // namespace host
