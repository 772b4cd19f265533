#include "app/WatchCommand.h"

#include "app/CommandLine.h"
#include "app/ShortcutSave.h"
#include "app/ShortcutService.h"
#include "app/StoredOptions.h"
#include "forms/ClipboardWatch.h"
#include "forms/MessageBox.h"
#include "host/Handlers.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSet>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The watch's texts, translated under one name.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(WatchCommand)
};

// The signals that end the watch, turned into a byte on a pipe that the
// event loop reads between two saves.
int endingPipe[2] = {-1, -1};

void ending(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(endingPipe[1], &byte, 1);
}

// Why the stored options cannot serve a watch; empty when they can.
QString unusableOptions(const options::Values& options)
{
    if (options.savePrompt != 0)
        return Text::tr("--watch saves without asking, but \"Prompt to Save\" is on: turn it off in the window first.");
    if (options.autoIncrement != 1 || options.filename.trimmed().isEmpty())
        return Text::tr("--watch saves each picture under the next number, but \"Auto Increment Filename\" is off or the "
                  "Filename is empty: set both in the window first.");
    return {};
}

// The pixels of a picture, to know it when it is offered again.
QByteArray fingerprint(const QImage& picture)
{
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QSize size = pixels.size();
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
    for (int y = 0; y < pixels.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(pixels.constScanLine(y)), pixels.width() * 4));
    return hash.result();
}

} // namespace

int watchClipboard(const cli::Request& request)
{
    const auto refuse = [](const QString& text) {
        host::printError(text);
        return 1;
    };
    if (const QString problem = unusableOptions(options::load()); !problem.isEmpty())
        return refuse(problem);
    const std::unique_ptr<forms::ClipboardWatch> watch = forms::ClipboardWatch::start();
    if (!watch)
        return refuse(Text::tr("--watch cannot see new pictures here: the desktop tells no program of a change of its "
                         "clipboard (neither the Wayland data-control protocol nor XFIXES on an X display)."));
    if (::pipe2(endingPipe, O_CLOEXEC) != 0)
        return refuse(Text::tr("--watch cannot start: no pipe for its signals."));
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, ending);

    QSet<QByteArray> saved;
    const auto saveNew = [&] {
        const std::unique_ptr<forms::ClipboardSource> clipboard = watch->clipboard();
        if (!clipboard)
            return;
        std::optional<QImage> picture;
        // A clipboard that holds no picture now (text, say) is no news.
        host::skipOnError([&] {
            if (forms::ClipboardHasBitmap(*clipboard))
                picture = forms::ClipboardGetBitmap(*clipboard);
        });
        if (!picture)
            return;
        const QByteArray known = fingerprint(*picture);
        if (saved.contains(known))
            return;
        const options::Values options = options::load();
        if (reportSave(request, [&] {
                if (const QString problem = unusableOptions(options); !problem.isEmpty()) {
                    forms::MsgBox(problem);
                    return QString();
                }
                return saveCapture(request, options, std::move(picture), *clipboard);
            }) == 0)
            saved.insert(known);
    };
    QSocketNotifier news(watch->descriptor(), QSocketNotifier::Read);
    QObject::connect(&news, &QSocketNotifier::activated, [&] {
        if (watch->changed())
            saveNew();
        if (watch->lost())
            QCoreApplication::exit(0);
    });
    QSocketNotifier end(endingPipe[0], QSocketNotifier::Read);
    QObject::connect(&end, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    // The keyboard shortcut's --save is answered here meanwhile.
    const ShortcutService service(
        [&request](const QString& output, std::optional<QImage>) {
            cli::Request save = request;
            save.output = output;
            const std::unique_ptr<forms::ClipboardSource> clipboard = clipboardWithoutDisplay();
            return clipboard ? saveCapture(save, options::load(), std::nullopt, *clipboard) : QString();
        },
        [](bool screenshot) { return !screenshot && options::load().savePrompt == 0; });
    host::printError(Text::tr("watching the clipboard: every new picture is saved; Ctrl+C ends."));
    return QCoreApplication::exec();
}
