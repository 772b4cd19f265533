#pragma once

#include "host/SyncAhead.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <optional>

// File services. Lookups and deletions concern exactly the one named file:
// no name is ever taken as a pattern.
namespace host {

// True when an ordinary file of exactly this name exists (not a folder).
bool FileExists(const QString& path);

void DeleteFile(const QString& path);

// A name that starts with "~/" names a file in the user's home folder, as in
// shells and file dialogs; any other name is returned as it is.
QString expandHome(const QString& path);

// The folder where the program keeps its own files (the per-user data
// folder on Linux), without a trailing separator; created when first needed.
QString AppFolder();

// The fixed capture file in the program's folder: the save command writes it
// for the e-mail, which sends it.
QString CaptureFilePath();

// A file that is written completely or not at all: the bytes go to a
// temporary file beside the target, which takes the target's name only once
// every byte is written. On any failure the target stays as it was and the
// temporary file is removed.
class AtomicFile {
public:
    // What becomes of a file that already has the target's name.
    enum class Existing { Replace, Keep };

    // Refuses a target that is a folder and a missing folder, and with
    // Replace one that is read-only.
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
    // With Replace: puts the file in place of whatever had the name.
    void commit();
    // With Keep: puts the file in place under a name only while no file has
    // it, so that nothing is ever replaced, also by another program taking
    // the name at the same moment. False when the name is taken; the written
    // file then waits for another name.
    bool commitIfFree(const QString& path);

    // The name the file is written under: the one it has or is to have.
    const QString& path() const { return m_path; }

private:
    [[noreturn]] void fail(const QString& reason) const;
    // Waits for the syncs ahead; a failed one fails the file.
    void finishSyncs();

    QString m_path;
    QString m_staged; // with Keep: the written file's own hidden name
    bool m_written = false;
    QSaveFile m_file;
    qint64 m_expectedSize = 0;
    std::optional<SyncAhead> m_sync; // after m_file: it ends before the file is closed
};

} // namespace host
