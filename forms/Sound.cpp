#include "forms/Sound.h"

#include <QApplication>

namespace host {

Sound& Sound::instance()
{
    static Sound sound;
    return sound;
}

void Beep()
{
    QApplication::beep();
    emit Sound::instance().beeped();
}

} // namespace host
