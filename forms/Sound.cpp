#include "forms/Sound.h"

#include <QApplication>

namespace forms {
namespace {

std::function<void()> bell;

} // namespace

Sound& Sound::instance()
{
    static Sound sound;
    return sound;
}

void Beep()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QApplication::beep();
    else if (bell)
        bell();
    emit Sound::instance().beeped();
}

void setBell(std::function<void()> ring)
{
    bell = std::move(ring);
}

} // namespace forms
