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
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Files without a name are made in a folder and given one through the
// process's list of open files.
bool unnamedFilesPossible()
{
    static const bool possible = ::access("/proc/self/fd", X_OK) == 0;
    return possible;
}

} // namespace

bool FileExists(const QString& path)
{
    struct stat status;
    return !path.isEmpty() && ::stat(native(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

bool NameTaken(const QString& path)
{
    struct stat status;
    return !path.isEmpty() && ::lstat(native(path).constData(), &status) == 0;
}

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat status;
    if (path.isEmpty() || ::stat(native(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{quint64(status.st_dev), quint64(status.st_ino)};
}

namespace {

// What a name stands for when that is not a regular file; empty for one.
QString kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QCoreApplication::translate("host", "a folder");
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("host", "a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("host", "a device");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("host", "a socket");
    return QCoreApplication::translate("host", "something else");
}

} // namespace

QString notAFile(const QString& path)
{
    const QByteArray name = native(path);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0)
        return {};
    if (S_ISLNK(status.st_mode) && ::stat(name.constData(), &status) != 0) {
        if (errno == ENOENT)
            return QCoreApplication::translate("host", "it is a link to %1, which does not exist.")
                .arg(QDir::toNativeSeparators(QFileInfo(path).symLinkTarget()));
        return QCoreApplication::translate("host", "it is a link that leads nowhere (%1).").arg(systemReason(errno));
    }
    if (S_ISDIR(status.st_mode))
        return QCoreApplication::translate("host", "a folder of that name exists.");
    const QString kind = kindOf(status.st_mode);
    return kind.isEmpty() ? kind
                          : QCoreApplication::translate("host", "it is %1, not a file; it is left as it is.").arg(kind);
}

std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes)
{
    const auto fail = [](const QString& reason) { raiseError(ErrorKind::File, reason); };
    const auto notRegular = [&](mode_t mode) {
        if (const QString kind = kindOf(mode); !kind.isEmpty())
            fail(QCoreApplication::translate("host", "it is %1, not a file.").arg(kind));
    };
    // Looked at before it is opened: opening a device may already do something.
    struct stat status;
    if (::stat(native(path).constData(), &status) == 0)
        notRegular(status.st_mode);
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(systemReason(errno));
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &status) != 0)
        fail(systemReason(errno));
    notRegular(status.st_mode);
    if (status.st_size > maxBytes)
        return std::nullopt;
    // One byte more than the limit tells a file that grew past it meanwhile.
    QByteArray bytes(qsizetype(status.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(fd, bytes.data() + got, std::size_t(bytes.size() - got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            fail(systemReason(errno));
        if (read == 0)
            break;
        got += read;
        if (got > maxBytes)
            return std::nullopt;
        if (got == bytes.size())
            bytes.resize(std::min<qint64>(maxBytes + 1, bytes.size() * 2));
    }
    bytes.truncate(got);
    return bytes;
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

AtomicFile::AtomicFile(const QString& path, Existing existing) : m_path(path), m_target(path)
{
    if (path.isEmpty())
        raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not write the file: no file name was given."));
    const bool replace = existing == Existing::Replace;
    if (replace) {
        if (const QString problem = notAFile(path); !problem.isEmpty())
            fail(problem);
        // A link stays a link: the file it names is replaced.
        if (QFileInfo(path).isSymLink())
            m_target = QFileInfo(path).canonicalFilePath();
    }
    const QFileInfo target(m_target);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        fail(QCoreApplication::translate("host", "the folder %1 does not exist.").arg(QDir::toNativeSeparators(folder.filePath())));
    // Said before anything is written, not at the end.
    const long longestName = ::pathconf(native(folder.filePath()).constData(), _PC_NAME_MAX);
    if (longestName > 0 && native(target.fileName()).size() > longestName)
        fail(systemReason(ENAMETOOLONG));
    struct stat replaced {};
    const bool exists = replace && ::stat(native(m_target).constData(), &replaced) == 0;
    // A file without its owner's write permission is read-only, also for an
    // administrator who could write it anyway.
    if (exists && !(replaced.st_mode & S_IWUSR))
        fail(QCoreApplication::translate("host", "the file is read-only."));
    if (exists && ::access(native(m_target).constData(), W_OK) != 0)
        fail(QCoreApplication::translate("host", "permission denied: you may not change this file."));

    if (unnamedFilesPossible())
        m_fd = ::open(native(folder.filePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && (!unnamedFilesPossible() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without files that have no name: a short hidden one.
        for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
            m_staged = spareName();
            m_fd = ::open(native(m_staged).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (m_fd < 0)
                m_staged.clear();
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
    }
    if (m_fd < 0)
        failWithErrno();
    // The file it replaces keeps its permissions.
    if (exists)
        ::fchmod(m_fd, replaced.st_mode & 07777);
}

AtomicFile::~AtomicFile()
{
    m_sync.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_staged.isEmpty())
        ::unlink(native(m_staged).constData());
}

QString AtomicFile::spareName() const
{
    return QFileInfo(m_target).absoluteDir().filePath(
        QStringLiteral(".qorix-%1.tmp").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')));
}

void AtomicFile::write(const char* data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const ssize_t written = ::write(m_fd, data + done, std::size_t(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            failWithErrno();
        done += written;
    }
    if (!m_sync)
        m_sync.emplace(m_fd, m_expectedSize);
    m_sync->written(size);
}

void AtomicFile::completeOnDisk()
{
    if (m_complete)
        return;
    // An error the file's own sync may not see again: the data did not
    // reach the disk.
    const int error = m_sync ? m_sync->finish() : 0;
    if (error == EIO || error == ENOSPC || error == EDQUOT)
        fail(systemReason(error));
    if (::fdatasync(m_fd) != 0)
        failWithErrno();
    m_complete = true;
}

void AtomicFile::syncFolder() const
{
    // The new name is an entry of the folder: without its sync a power cut
    // may lose the name, and so the file, although its bytes are on the disk.
    const int folder = ::open(native(QFileInfo(m_target).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    const bool failed = ::fsync(folder) != 0 && errno == EIO;
    ::close(folder);
    if (failed)
        fail(systemReason(EIO));
}

bool AtomicFile::linkAs(const QString& name)
{
    const QByteArray target = native(name);
    if (m_staged.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
    } else {
        const QByteArray staged = native(m_staged);
        bool done = ::renameat2(AT_FDCWD, staged.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0;
        // A file system that cannot rename that way links the new name,
        // which fails just the same when it is taken.
        if (!done && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)
            && ::link(staged.constData(), target.constData()) == 0) {
            ::unlink(staged.constData());
            done = true;
        }
        if (done) {
            m_staged.clear();
            return true;
        }
    }
    if (errno == EEXIST)
        return false;
    failWithErrno();
}

void AtomicFile::commit()
{
    completeOnDisk();
    // Whatever took the name meanwhile is looked at once more.
    if (const QString problem = notAFile(m_target); !problem.isEmpty())
        fail(problem);
    for (int attempt = 0; m_staged.isEmpty(); ++attempt) {
        const QString spare = spareName();
        if (linkAs(spare))
            m_staged = spare;
        else if (attempt == 100)
            fail(systemReason(EEXIST));
    }
    if (::rename(native(m_staged).constData(), native(m_target).constData()) != 0)
        failWithErrno();
    m_staged.clear();
    syncFolder();
}

bool AtomicFile::commitIfFree(const QString& path)
{
    completeOnDisk();
    m_path = path;
    m_target = path;
    if (!linkAs(path))
        return false;
    syncFolder();
    return true;
}

QString writeProblem(const QString& path, qint64 size)
{
    try {
        AtomicFile trial(path);
        trial.write(QByteArray(size, '\n'));
        trial.completeOnDisk();
    } catch (const HostError& error) {
        return error.description();
    }
    return {};
}

void AtomicFile::fail(const QString& reason) const
{
    raiseError(ErrorKind::File, QCoreApplication::translate("host", "Could not write %1: %2").arg(QDir::toNativeSeparators(m_path), reason));
}

void AtomicFile::failWithErrno() const
{
    fail(systemReason(errno));
}

} // namespace host
