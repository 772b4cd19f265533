#include "app/BatchConvert.h"

#include "app/CommandLine.h"
#include "capture/SaveService.h"
#include "host/Files.h"
#include "host/Handlers.h"
#include "host/Process.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace host;

namespace batch {
namespace {

// X.ext becomes X.BMP beside it.
QString besidePicture(const QString& picture)
{
    const QString suffix = QFileInfo(picture).suffix();
    return (suffix.isEmpty() ? picture : picture.chopped(suffix.size() + 1)) + QLatin1String(".BMP");
}

// X.BMP exists and is kept.
[[noreturn]] void existing(const QString& name)
{
    raiseError(ErrorKind::File, QCoreApplication::translate("batch", "%1 exists; --force replaces it.")
                                    .arg(QDir::toNativeSeparators(name)));
}

// The files one run has written: each is written once, and never replaced
// by a later picture of the run.
using Written = QList<FileIdentity>;

// Writes one picture's bitmap and gives the name it has.
QString convertOne(const cli::Request& request, const QString& picture, Written& written,
                   palette::Workspace& workspace)
{
    const QImage image = pictures::LoadPicture(picture);
    const auto source = [&image] { return image; };
    if (!request.prefix.isEmpty())
        return capture::save(source, request.depth, capture::Target::numbered(request.prefix), workspace);
    const QString name = request.output.isEmpty() ? besidePicture(picture) : expandHome(request.output);
    if (const std::optional<FileIdentity> output = identityOf(name)) {
        if (output == identityOf(picture))
            capture::refuseTarget(name, QCoreApplication::translate("batch", "it is the picture being converted, which is never "
                                                               "replaced by its bitmap."));
        if (written.contains(*output))
            capture::refuseTarget(name, QCoreApplication::translate("batch", "it was written from another picture in this run; "
                                                               "this one is skipped."));
    }
    try {
        capture::save(source, request.depth,
                      request.force ? capture::Target::file(name) : capture::Target::newFile(name), workspace);
    } catch (const capture::NameTaken&) {
        existing(name);
    }
    if (const std::optional<FileIdentity> output = identityOf(name))
        written.append(*output);
    return name;
}

} // namespace

int convert(const cli::Request& request)
{
    int result = 0;
    Written outputs;
    palette::Workspace workspace;
    for (const QString& picture : request.pictures) {
        trapErrors(
            [&] {
                const QString written = convertOne(request, picture, outputs, workspace);
                if (!printLine(QDir::toNativeSeparators(written)))
                    result = 1;
            },
            [&](const HostError& error) {
                printError(QStringLiteral("%1: %2").arg(picture, error.description()));
                result = 1;
            });
    }
    return result;
}

} // namespace batch
