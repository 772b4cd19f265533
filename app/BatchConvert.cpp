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

// The next free numbered name; raises an error when all are taken.
QString freeNumberedName(const QString& prefix)
{
    const std::optional<QString> name = naming::firstFreeNumberedName(prefix);
    if (!name)
        raiseError(ErrorKind::File,
                   QCoreApplication::translate("batch", "all %1 numbers of the prefix %2 are taken.")
                       .arg(naming::kLastNumber)
                       .arg(prefix));
    return *name;
}

[[noreturn]] void existing(const QString& name)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("batch", "%1 exists; --force replaces it.")
                                    .arg(QDir::toNativeSeparators(name)));
}

// Writes one picture's bitmap and gives the name it has.
QString convertOne(const cli::Request& request, const QString& picture)
{
    const QImage image = LoadPicture(picture);
    if (!request.prefix.isEmpty()) {
        QString name = freeNumberedName(request.prefix);
        AtomicFile file(name, AtomicFile::Existing::Keep);
        write(image, request.depth, file);
        // Like numbered saves: another program may take the name meanwhile.
        while (!file.commitIfFree(name))
            name = freeNumberedName(request.prefix);
        return name;
    }
    const QString name = request.output.isEmpty() ? besidePicture(picture) : expandHome(request.output);
    if (!request.force && FileExists(name))
        existing(name);
    AtomicFile file(name, request.force ? AtomicFile::Existing::Replace : AtomicFile::Existing::Keep);
    write(image, request.depth, file);
    if (request.force)
        file.commit();
    else if (!file.commitIfFree(name))
        existing(name);
    return name;
}

} // namespace

int convert(const cli::Request& request)
{
    int result = 0;
    for (const QString& picture : request.pictures) {
        trapErrors(
            [&] {
                const QString written = convertOne(request, picture);
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
