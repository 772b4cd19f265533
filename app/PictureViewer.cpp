#include "app/PictureViewer.h"

#include "dialogs/frmPicture.h"
#include "forms/MessageBox.h"
#include "forms/Screen.h"
#include "host/Files.h"
#include "host/Handlers.h"
#include "pictures/Picture.h"

#include <QDir>
#include <QFileInfo>

using namespace host;

int viewPictures(const QStringList& pictures)
{
    // The windows are laid out as under the main window, which sets it.
    forms::setCaptionHeight();
    int result = 0;
    for (const QString& file : pictures) {
        const QString path = QFileInfo(expandHome(file)).absoluteFilePath();
        trapErrors(
            [&] {
                const QImage picture = pictures::LoadPicture(path);
                frmPicture window([&picture] { return picture; });
                window.Load();
                window.setCaption(QDir::toNativeSeparators(path));
                window.Show(forms::ShowMode::Modal);
            },
            [&](const HostError& error) {
                forms::MsgBox(error.description(), forms::MsgBoxStyle::Critical);
                result = 1;
            });
    }
    return result;
}
