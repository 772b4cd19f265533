#include "forms/MessageBox.h"

#include "host/Settings.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace forms {

QWidget* dialogOwner()
{
    for (QWidget* window : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        if (window && window->isVisible())
            return window;
    return nullptr;
}

namespace {
MessageSink& messageSink()
{
    static MessageSink sink;
    return sink;
}
} // namespace

void setMessageSink(MessageSink sink)
{
    messageSink() = std::move(sink);
}

void MsgBox(const QString& text, MsgBoxStyle style)
{
    if (messageSink()) {
        messageSink()(text, style);
        return;
    }
    // On the heap: should its owner be deleted while it shows, the box goes
    // with it and the wait simply ends.
    QPointer<QMessageBox> box = new QMessageBox(style == MsgBoxStyle::Critical ? QMessageBox::Critical
                                                                               : QMessageBox::NoIcon,
                                                host::applicationName(), text, QMessageBox::Ok, dialogOwner());
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    delete box.data();
}

} // namespace forms
