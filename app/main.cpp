#include "app/BatchConvert.h"
#include "app/CommandLine.h"
#include "app/ShortcutSave.h"
#include "app/frmMain.h"
#include "host/Application.h"
#include "host/Handlers.h"

#include <QApplication>
#include <cstdio>

namespace {

// What the command line asks for that needs no display: its exit code, or
// none when the program goes on to its windows.
std::optional<int> runWithoutDisplay(const cli::Request& request)
{
    switch (request.action) {
    case cli::Action::Help:
    case cli::Action::Version:
        std::printf("%s\n", qPrintable(request.text.trimmed()));
        return 0;
    case cli::Action::UsageError:
        host::printError(request.text);
        host::printError(QCoreApplication::translate("CommandLine", "Try 'qorix-capture --help' for the options."));
        return 2;
    case cli::Action::Convert:
        return batch::convert(request);
    case cli::Action::Window:
    case cli::Action::Save:
        break;
    }
    if (const QString missing = host::missingDisplay(); !missing.isEmpty()) {
        host::printError(missing);
        return 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    // The command line is read before any display is opened, so that help,
    // version and conversions work without one.
    cli::Request request;
    QString displayFailure;
    {
        QCoreApplication core(argc, argv);
        host::setUpCore(core);
        request = cli::parse(core.arguments());
        if (const std::optional<int> exitCode = runWithoutDisplay(request))
            return *exitCode;
        displayFailure = host::displayFailure();
    }

    const auto application = host::openDisplay(argc, argv, displayFailure);
    if (request.action == cli::Action::Save)
        return saveFromShortcut();
    application->setQuitOnLastWindowClosed(false);
    frmMain mainWindow;
    QObject::connect(&mainWindow, &host::Form::unloaded, application.get(), &QApplication::quit);
    host::runHandler([&] { mainWindow.Show(); });
    if (!mainWindow.IsLoaded())
        return 1;
    return application->exec();
}
