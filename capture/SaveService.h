#pragma once

#include "capture/Depth.h"
#include "host/HostError.h"
#include "palette/Workspace.h"

#include <QImage>
#include <QString>
#include <functional>


// Saving a picture as a bitmap file: the one place where a target's name is
// settled, the picture written at its depth and the file put in place.
namespace capture {

// Where a save goes.
class Target {
public:
    enum class Kind {
        File,     // this file, replacing one that is there
        NewFile,  // this file, only while nothing has its name
        Numbered, // the prefix with the first free number, never replacing
    };
    static Target file(const QString& path) { return {Kind::File, path}; }
    static Target newFile(const QString& path) { return {Kind::NewFile, path}; }
    static Target numbered(const QString& prefix) { return {Kind::Numbered, prefix}; }

    Kind kind() const { return m_kind; }
    // The file's name, or with Numbered the prefix as typed.
    const QString& name() const { return m_name; }

private:
    Target(Kind kind, QString name) : m_kind(kind), m_name(std::move(name)) {}
    Kind m_kind;
    QString m_name;
};

// Every number of a numbered target is taken.
class NumbersUsedUp : public host::HostError {
public:
    explicit NumbersUsedUp(const QString& prefix);
};

// A new file's name is taken by a file.
class NameTaken : public host::HostError {
public:
    explicit NameTaken(const QString& name);
    const QString& name() const { return m_name; }

private:
    QString m_name;
};

// Raises the error of a target that cannot be written, and why.
[[noreturn]] void refuseTarget(const QString& name, const QString& reason);

// Gives the picture to write, once the target is known to be usable; what
// it raises ends the save before any file is made.
using PictureSource = std::function<QImage()>;

// Writes the picture at the depth to the target, converted in the
// workspace, and gives the file's name.
// Raises NumbersUsedUp or NameTaken when the target has no room (checked
// before the picture is asked for, and again when the file is put in place),
// and a host error that says why when the file cannot be written; the file
// is then written completely or not at all.
QString save(const PictureSource& picture, Depth depth, const Target& target, palette::Workspace& workspace);

} // namespace capture
