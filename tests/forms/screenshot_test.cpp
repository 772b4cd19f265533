#include "forms/Screenshot.h"

#include <gtest/gtest.h>

namespace {

// The units desktops start programs in, as systemd names them: the id
// between the launcher and the random part, with its escapes undone.
TEST(PortalApplicationId, IsTheIdInTheNameOfTheProgramsUnit)
{
    const std::pair<const char*, const char*> units[] = {
        {"app-gnome-org.qorix.Capture-2437.scope", "org.qorix.Capture"},
        {"app-org.qorix.Capture-2437.scope", "org.qorix.Capture"},
        {"app-org.qorix.Capture@b2c1.service", "org.qorix.Capture"},
        {"app-kde-org.qorix.Capture.service", "org.qorix.Capture"},
        {"app-gnome-org.gnome.Evolution\\x2dalarm\\x2dnotify-2437.scope", "org.gnome.Evolution-alarm-notify"},
        {"session-2.scope", ""},
        {"user@1000.service", ""},
        {"", ""},
    };
    for (const auto& [unit, id] : units)
        EXPECT_EQ(forms::applicationIdOfUnit(unit), id) << unit;
}

} // namespace
