#pragma once

#include <QImage>
#include <QString>
#include <chrono>
#include <functional>

namespace forms {

// A screenshot of the whole screen, or with interactive of what the person
// picks in the desktop's own screenshot dialog. Where the windows are on X11
// the whole screen is the root window, which also stands in for a pick that
// no portal serves; elsewhere it comes through the desktop portal
// (org.freedesktop.portal.Screenshot). The portal's file is read as every
// picture is, and removed only when the portal made it for this request in a
// temporary folder. Raises an error that says why none was taken: cancelled
// (of kind Cancel), refused by the desktop, no answer within the time, or no
// way to take one. A request given up is closed, so that no question of
// the desktop stays on the screen with nobody waiting for it.
struct ScreenshotRequest {
    bool interactive = false;
    // How long the desktop may take to answer, and how long where a person
    // answers first: picks the area, or allows the program screenshots.
    std::chrono::milliseconds answerTime, personTime;
    // Told when the desktop, which has not allowed this program screenshots,
    // is taken to ask the person first.
    std::function<void(const QString&)> asking;
};
QImage takeScreenshot(const ScreenshotRequest& request);

// The application id the desktop portal knows a program outside a sandbox
// by: the one in the name of its systemd unit, which desktops name
// app-[LAUNCHER-]ID-RANDOM.scope or app-[LAUNCHER-]ID[@RANDOM].service;
// empty for any other unit.
QString applicationIdOfUnit(const QString& unit);

} // namespace forms
