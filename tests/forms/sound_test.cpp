#include "forms/Sound.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace host;

namespace {

TEST(Beeping, EveryBeepIsAnnounced)
{
    QSignalSpy beeps(&Sound::instance(), &Sound::beeped);
    Beep();
    Beep();
    EXPECT_EQ(beeps.count(), 2);
}

} // namespace
