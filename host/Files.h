#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// File services. Lookups and deletions concern exactly the one named file:
// no name is ever taken as a pattern.
namespace host {

// True when an ordinary file of exactly this name exists (not a folder).
bool FileExists(const QString& path);

void DeleteFile(const QString& path);

// The folder where the program keeps its own files (the per-user data
// folder on Linux), without a trailing separator; created when first needed.
QString AppFolder();

// The fixed capture file in the program's folder: the save command writes it
// for the e-mail, which sends it.
QString CaptureFilePath();

// A file that is written completely or not at all: the bytes go to a
// temporary file beside the target, which replaces the target only once
// every byte is written. On any failure the target stays as it was and the
// temporary file is removed.
class AtomicFile {
public:
    // Refuses a target that is read-only or a folder, and a missing folder.
    explicit AtomicFile(const QString& path);

    void write(const char* data, qint64 size);
    void write(const QByteArray& data) { write(data.constData(), data.size()); }
    void commit();

private:
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path;
    QSaveFile m_file;
};

} // namespace host
