#pragma once

#include "host/SyncAhead.h"

#include <QByteArray>
#include <QString>
#include <optional>

// File services. Lookups and deletions concern exactly the one named file:
// no name is ever taken as a pattern.
namespace host {

// True when a regular file of exactly this name exists, or a link to one
// (not a folder, pipe, socket or device).
bool FileExists(const QString& path);

// True when anything at all has this name: a file, a folder, a link (also
// one that leads nowhere), a pipe, a socket or a device.
bool NameTaken(const QString& path);

// Which file a name stands for, through any path or link: equal for two
// names of one file. None when the name stands for nothing.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> identityOf(const QString& path);

// Why a name cannot be written as a file: empty when nothing has it or it
// is a regular file or a link to one; otherwise what it is instead (a
// folder, a pipe, a device, a link that leads nowhere).
QString notAFile(const QString& path);

// The bytes of a regular file, or of the one a link names. None when it has
// more than maxBytes: no more than that is ever read. Raises an error that
// says why when it cannot be read or is something else (a pipe is never
// waited for, a device never read); the caller names the file.
std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes);

void DeleteFile(const QString& path);

// A name that starts with "~/" names a file in the user's home folder, as in
// shells and file dialogs; any other name is returned as it is.
QString expandHome(const QString& path);

// The folder where the program keeps its own files (the per-user data
// folder on Linux), without a trailing separator; created when first needed.
QString AppFolder();

// Why a file of that many bytes cannot be written in place of this one: the
// error of a trial write that replaces nothing (a full disk, a read-only
// file system, no permission). Empty when it can.
QString writeProblem(const QString& path, qint64 size);

// A file that is written completely or not at all: the bytes go to a file
// without a name in the target's folder (or, where the file system has no
// such files, to one with a short hidden name), which takes the target's
// name only once every byte is on the disk. On any failure, and when the
// process is killed, the target stays as it was and nothing is left behind
// (at most the short hidden name, on such a file system). Only a regular
// file, or a link to one, is ever replaced.
class AtomicFile {
public:
    // What becomes of a file that already has the target's name.
    enum class Existing { Replace, Keep };

    // Refuses a missing folder; with Replace, a target that is not a regular
    // file (a folder, a pipe, a device, a socket, a link that leads nowhere)
    // and one that is read-only.
    explicit AtomicFile(const QString& path, Existing existing = Existing::Replace);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The file's size when complete, where the writer knows it before its
    // first write: the data goes to the disk while it is written, the last
    // write's with the complete file.
    void expectSize(qint64 size) { m_expectedSize = size; }
    void write(const char* data, qint64 size);
    void write(const QByteArray& data) { write(data.constData(), data.size()); }
    // Waits for the syncs ahead and syncs the file, once; a failed sync
    // fails the file.
    void completeOnDisk();
    // With Replace: puts the file in place of the regular file that had the
    // name, or of the one a link names.
    void commit();
    // With Keep: puts the file in place under a name only while nothing has
    // it, so that nothing is ever replaced, also by another program taking
    // the name at the same moment. False when the name is taken; the written
    // file then waits for another name.
    bool commitIfFree(const QString& path);

    // The name the file is written under: the one it has or is to have.
    const QString& path() const { return m_path; }

private:
    [[noreturn]] void fail(const QString& reason) const;
    [[noreturn]] void failWithErrno() const;
    // Gives the written file a name that nothing has: false when something
    // has it, an error for any other reason.
    bool linkAs(const QString& name);
    // Brings the file's new name to the disk; only a failing disk fails it.
    void syncFolder() const;
    // A short name beside the target that nothing has yet, for a moment.
    QString spareName() const;

    QString m_path;
    QString m_target; // with Replace: the regular file replaced, through links
    QString m_staged; // the hidden name of a file that could not be unnamed
    int m_fd = -1;
    bool m_complete = false;
    qint64 m_expectedSize = 0;
    std::optional<SyncAhead> m_sync; // ends before the file is closed
};

} // namespace host
