#include "host/Files.h"

#include "host/HostError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not delete %1: %2").arg(path, file.errorString()));
}

QString expandHome(const QString& path)
{
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    return QDir::homePath() + path.mid(1);
}

QString AppFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not create the program's folder %1.").arg(folder));
    return QDir::cleanPath(folder);
}

QString CaptureFilePath()
{
    return AppFolder() + QLatin1String("/tolvo.bmp");
}

namespace {

// A hidden name beside the target that no other file has.
QString stagingName(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QStringLiteral(".%1.%2.part")
                                   .arg(info.fileName())
                                   .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0')));
}

// Gives a file another name only while no file has that name: false when
// one has. A file system that cannot rename that way links the new name,
// which fails just the same when it is taken.
bool renameIfFree(const QString& from, const QString& to, QString& reason)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return true;
        }
    }
    if (errno != EEXIST)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace

AtomicFile::AtomicFile(const QString& path, Existing existing)
    : m_path(path), m_staged(existing == Existing::Keep ? stagingName(path) : QString()),
      m_file(m_staged.isEmpty() ? path : m_staged)
{
    if (path.isEmpty())
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not write the file: no file name was given."));
    const QFileInfo info(path);
    if (info.isDir())
        fail(QCoreApplication::translate("host", "a folder of that name exists."));
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        fail(QCoreApplication::translate("host", "the folder %1 does not exist.").arg(QDir::toNativeSeparators(folder.filePath())));
    // A file without its owner's write permission is read-only, also for an
    // administrator who could write it anyway.
    if (existing == Existing::Replace && info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        fail(QCoreApplication::translate("host", "the file is read-only."));
    if (existing == Existing::Replace && info.exists() && !info.isWritable())
        fail(QCoreApplication::translate("host", "permission denied: you may not change this file."));
    if (!m_file.open(QIODevice::WriteOnly))
        fail(m_file.errorString());
}

AtomicFile::~AtomicFile()
{
    if (m_written && !m_staged.isEmpty())
        QFile::remove(m_staged);
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
    if (!m_sync)
        m_sync.emplace(int(m_file.handle()), m_expectedSize);
    m_sync->written(size);
}

void AtomicFile::finishSyncs()
{
    // An error the file's own sync may not see again: the data did not
    // reach the disk. One that only says the file cannot be synced at all
    // (a special file) leaves it as it was before syncing ahead.
    const int error = m_sync ? m_sync->finish() : 0;
    if (error == EIO || error == ENOSPC || error == EDQUOT)
        fail(QString::fromLocal8Bit(std::strerror(error)));
}

void AtomicFile::commit()
{
    finishSyncs();
    if (!m_file.commit())
        fail(m_file.errorString());
}

bool AtomicFile::commitIfFree(const QString& path)
{
    if (!m_written) {
        finishSyncs();
        if (!m_file.commit())
            fail(m_file.errorString());
        m_written = true;
    }
    m_path = path;
    QString reason;
    if (renameIfFree(m_staged, path, reason)) {
        m_staged.clear();
        return true;
    }
    if (!reason.isEmpty())
        fail(reason);
    return false;
}

void AtomicFile::fail(const QString& reason) const
{
    raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not write %1: %2").arg(QDir::toNativeSeparators(m_path), reason));
}

} // namespace host
