#include "app/BatchConvert.h"

#include "app/CaptureNaming.h"
#include "app/CommandLine.h"
#include "capture/modcap.h"
#include "host/Application.h"
#include "host/Files.h"
#include "host/Handlers.h"
#include "host/Picture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

using namespace host;

namespace batch {
namespace {

// X.ext becomes X.BMP beside it.
QString besidePicture(const QString& picture)
{
    const QString suffix = QFileInfo(picture).suffix();
    return (suffix.isEmpty() ? picture : picture.chopped(suffix.size() + 1)) + QLatin1String(".BMP");
}

void write(const QImage& picture, qint16 depth, AtomicFile& file)
{
    if (depth == cli::kOwnDepth)
        SavePicture(picture, file);
    else
        modcap::WriteBitmap(picture, modcap::bitsPerPixelFor(depth), file);
}

[[noreturn]] void numbersUsedUp(const QString& prefix)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("batch", "all %1 numbers of the prefix %2 are taken.")
                                    .arg(naming::kLastNumber)
                                    .arg(prefix));
}

[[noreturn]] void refused(const QString& name, const QString& reason)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("batch", "Could not write %1: %2")
                                    .arg(QDir::toNativeSeparators(name), reason));
}

[[noreturn]] void existing(const QString& name)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("batch", "%1 exists; --force replaces it.")
                                    .arg(QDir::toNativeSeparators(name)));
}

// The files one run has written: each is written once, and never replaced
// by a later picture of the run.
using Written = QList<FileIdentity>;

QString convertNumbered(const cli::Request& request, const QImage& image)
{
    const std::optional<QString> free = naming::firstFreeNumberedName(request.prefix);
    if (!free)
        numbersUsedUp(request.prefix);
    AtomicFile file(*free, AtomicFile::Existing::Keep);
    write(image, request.depth, file);
    const std::optional<QString> name = naming::commitNumbered(file, request.prefix);
    if (!name)
        numbersUsedUp(request.prefix);
    return *name;
}

// Writes one picture's bitmap and gives the name it has.
QString convertOne(const cli::Request& request, const QString& picture, Written& written)
{
    const QImage image = LoadPicture(picture);
    if (!request.prefix.isEmpty())
        return convertNumbered(request, image);
    const QString name = request.output.isEmpty() ? besidePicture(picture) : expandHome(request.output);
    if (const std::optional<FileIdentity> output = identityOf(name)) {
        if (output == identityOf(picture))
            refused(name, QCoreApplication::translate("batch", "it is the picture being converted, which is never "
                                                               "replaced by its bitmap."));
        if (written.contains(*output))
            refused(name, QCoreApplication::translate("batch", "it was written from another picture in this run; "
                                                               "this one is skipped."));
    }
    if (!request.force && NameTaken(name)) {
        const QString problem = notAFile(name);
        if (!problem.isEmpty())
            refused(name, problem);
        existing(name);
    }
    AtomicFile file(name, request.force ? AtomicFile::Existing::Replace : AtomicFile::Existing::Keep);
    write(image, request.depth, file);
    if (request.force)
        file.commit();
    else if (!file.commitIfFree(name))
        existing(name);
    if (const std::optional<FileIdentity> output = identityOf(name))
        written.append(*output);
    return name;
}

} // namespace

int convert(const cli::Request& request)
{
    int result = 0;
    Written outputs;
    for (const QString& picture : request.pictures) {
        trapErrors(
            [&] {
                const QString written = convertOne(request, picture, outputs);
                std::printf("%s\n", qPrintable(QDir::toNativeSeparators(written)));
                std::fflush(stdout);
            },
            [&](const HostError& error) {
                printError(QStringLiteral("%1: %2").arg(picture, error.description()));
                result = 1;
            });
    }
    return result;
}

} // namespace batch
