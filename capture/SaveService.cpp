#include "capture/SaveService.h"

#include "capture/CaptureNaming.h"
#include "capture/modcap.h"
#include "host/Files.h"

#include <QCoreApplication>
#include <QDir>

using namespace host;

namespace capture {
namespace {

QString shown(const QString& name)
{
    return QDir::toNativeSeparators(name);
}

QString saveNumbered(const PictureSource& picture, Depth depth, const QString& typedPrefix, palette::Workspace& workspace)
{
    // The date of the save, once: the next day's files start at 001 again.
    const QString prefix = withDates(typedPrefix, QDateTime::currentDateTime());
    const std::optional<QString> free = capture::firstFreeNumberedName(prefix);
    if (!free)
        throw NumbersUsedUp(prefix);
    const QImage image = picture();
    AtomicFile file(*free, AtomicFile::Existing::Keep);
    capture::WriteBitmap(image, depth, file, workspace);
    // A numbered file never replaces another, not even one that another copy
    // of the program has just written: it takes the next free number.
    const std::optional<QString> name = capture::commitNumbered(file, prefix);
    if (!name)
        throw NumbersUsedUp(prefix);
    return *name;
}

QString saveNew(const PictureSource& picture, Depth depth, const QString& name, palette::Workspace& workspace)
{
    if (host::NameTaken(name)) {
        const QString problem = notAFile(name);
        if (!problem.isEmpty())
            refuseTarget(name, problem);
        throw capture::NameTaken(name);
    }
    const QImage image = picture();
    AtomicFile file(name, AtomicFile::Existing::Keep);
    capture::WriteBitmap(image, depth, file, workspace);
    if (!file.commitIfFree(name))
        throw capture::NameTaken(name);
    return name;
}

QString saveReplacing(const PictureSource& picture, Depth depth, const QString& name, palette::Workspace& workspace)
{
    const QImage image = picture();
    AtomicFile file(name, AtomicFile::Existing::Replace);
    capture::WriteBitmap(image, depth, file, workspace);
    file.commit();
    return name;
}

} // namespace

void refuseTarget(const QString& name, const QString& reason)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("capture", "Could not write %1: %2").arg(shown(name), reason));
}

NumbersUsedUp::NumbersUsedUp(const QString& prefix)
    : HostError(ErrorKind::File, QCoreApplication::translate("capture", "all %1 numbers of the prefix %2 are taken.")
                                     .arg(capture::kLastNumber)
                                     .arg(prefix))
{
}

NameTaken::NameTaken(const QString& name)
    : HostError(ErrorKind::File, QCoreApplication::translate("capture", "%1 exists.").arg(shown(name))), m_name(name)
{
}

QString save(const PictureSource& picture, Depth depth, const Target& target, palette::Workspace& workspace)
{
    switch (target.kind()) {
    case Target::Kind::Numbered:
        return saveNumbered(picture, depth, target.name(), workspace);
    case Target::Kind::NewFile:
        return saveNew(picture, depth, target.name(), workspace);
    case Target::Kind::File:
        break;
    }
    return saveReplacing(picture, depth, target.name(), workspace);
}

} // namespace capture
