#include "app/CommandLine.h"
#include "app/PictureViewer.h"
#include "app/ShortcutSave.h"
#include "app/WatchCommand.h"
#include "app/frmMain.h"
#include "forms/Application.h"
#include "forms/EventHandlers.h"
#include "host/Process.h"

#include <QApplication>
#include <QThread>

int main(int argc, char* argv[])
{
    host::holdStandardStreams();
    // The command line is read before any display is opened, so that help,
    // version and conversions work without one.
    cli::Request request;
    forms::DisplayFailure displayFailure;
    std::unique_ptr<forms::ClipboardSource> clipboard;
    {
        QCoreApplication core(argc, argv);
        host::setUpCore(core);
        request = cli::parse(core.arguments());
        if (const std::optional<int> exitCode = cli::runWithoutDisplay(request))
            return *exitCode;
        if (request.action == cli::Action::Watch) {
            host::keepPictureMemory();
            host::endCommand(watchClipboard(request));
        }
        if (request.action == cli::Action::Capture && request.delaySeconds > 0) {
            QThread::sleep(unsigned(request.delaySeconds));
            request.delaySeconds = 0;
        }
        if (request.action == cli::Action::Save || request.action == cli::Action::Capture)
            if (const std::optional<int> exitCode = saveThroughRunningProgram(request))
                host::endCommand(*exitCode);
        if (request.action == cli::Action::Save)
            clipboard = clipboardWithoutDisplay();
        if (const std::optional<int> exitCode = saveWithoutDisplay(request, clipboard))
            host::endCommand(*exitCode);
        displayFailure = forms::displayFailure();
    }

    const auto application = forms::openDisplay(argc, argv, displayFailure);
    if (request.action == cli::Action::Save || request.action == cli::Action::Capture)
        host::endCommand(clipboard ? saveFromShortcut(request, *clipboard) : saveFromShortcut(request));
    if (request.action == cli::Action::View)
        return viewPictures(request.pictures);
    host::keepPictureMemory();
    application->setQuitOnLastWindowClosed(false);
    frmMain mainWindow;
    QObject::connect(&mainWindow, &forms::Form::unloaded, application.get(), &QApplication::quit);
    forms::runHandler([&] { mainWindow.Show(); });
    if (!mainWindow.IsLoaded())
        return 1;
    return application->exec();
}
