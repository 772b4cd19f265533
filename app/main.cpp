#include "app/frmMain.h"
#include "host/Application.h"
#include "host/Handlers.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    host::setUpApplication(application);
    application.setQuitOnLastWindowClosed(false);

    frmMain mainWindow;
    QObject::connect(&mainWindow, &host::Form::unloaded, &application, &QApplication::quit);
    host::runHandler([&] { mainWindow.Show(); });
    if (!mainWindow.IsLoaded())
        return 1;
    return application.exec();
}
