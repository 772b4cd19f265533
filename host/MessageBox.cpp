#include "host/MessageBox.h"

#include "host/Application.h"

#include <QApplication>
#include <QMessageBox>

namespace host {

void MsgBox(const QString& text, MsgBoxStyle style)
{
    QMessageBox box(style == MsgBoxStyle::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    applicationName(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace host
