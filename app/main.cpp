#include "app/CommandLine.h"
#include "app/PictureViewer.h"
#include "app/ShortcutSave.h"
#include "app/frmMain.h"
#include "forms/Application.h"
#include "forms/EventHandlers.h"
#include "host/Process.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    host::holdStandardStreams();
    // The command line is read before any display is opened, so that help,
    // version and conversions work without one.
    cli::Request request;
    host::DisplayFailure displayFailure;
    std::unique_ptr<host::X11Clipboard> xClipboard;
    {
        QCoreApplication core(argc, argv);
        host::setUpCore(core);
        request = cli::parse(core.arguments());
        if (const std::optional<int> exitCode = cli::runWithoutDisplay(request))
            return *exitCode;
        if (request.action == cli::Action::Save) {
            host::preferXForClipboard();
            xClipboard = host::X11Clipboard::open();
        }
        if (const std::optional<int> exitCode = saveWithoutDisplay(request, xClipboard))
            host::endCommand(*exitCode);
        displayFailure = host::displayFailure();
    }

    const auto application = host::openDisplay(argc, argv, displayFailure);
    if (request.action == cli::Action::Save || request.action == cli::Action::Capture)
        host::endCommand(xClipboard ? saveFromShortcut(request, *xClipboard) : saveFromShortcut(request));
    if (request.action == cli::Action::View)
        return viewPictures(request.pictures);
    application->setQuitOnLastWindowClosed(false);
    frmMain mainWindow;
    QObject::connect(&mainWindow, &host::Form::unloaded, application.get(), &QApplication::quit);
    host::runHandler([&] { mainWindow.Show(); });
    if (!mainWindow.IsLoaded())
        return 1;
    return application->exec();
}
