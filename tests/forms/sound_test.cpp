#include "forms/Sound.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace forms;

namespace {

TEST(Beeping, EveryBeepIsAnnounced)
{
    QSignalSpy beeps(&forms::Sound::instance(), &forms::Sound::beeped);
    forms::Beep();
    forms::Beep();
    EXPECT_EQ(beeps.count(), 2);
}

} // namespace
