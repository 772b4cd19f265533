#include "app/ShortcutSave.h"

#include "app/SaveCommand.h"
#include "app/StoredOptions.h"
#include "forms/MessageBox.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <cstdio>

int saveFromShortcut()
{
    bool told = false;
    host::setMessageSink([&told](const QString& text, host::MsgBoxStyle) {
        host::printError(text);
        told = true;
    });
    palette::Workspace workspace;
    const QString written = SaveCommand(workspace).run(options::load(), false);
    host::setMessageSink({});
    if (written.isEmpty()) {
        if (!told)
            host::printError(QCoreApplication::translate("frmMain", "Nothing was saved."));
        return 1;
    }
    std::printf("%s\n", qPrintable(written));
    return 0;
}
