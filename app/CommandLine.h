#pragma once

#include "capture/Depth.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What the program is asked to do by its command line.
namespace cli {

enum class Action { Window, Save, Capture, Watch, Convert, View, Help, Version, UsageError };

struct Request {
    Action action = Action::Window;
    // The usage, the version line or what is wrong with the command line.
    QString text;
    // With Convert (and View): the pictures, their depth and where the
    // bitmaps go; with
    // Save, output names the file to write instead of the stored name.
    QStringList pictures;
    capture::Depth depth = capture::Depth::Colours256;
    QString output;
    QString prefix;
    bool force = false;
    // With Save, Capture and Watch: no desktop notification.
    bool quiet = false;
    // With Capture: the seconds to wait first, and whether the desktop's
    // screenshot dialog lets the person pick what to take.
    int delaySeconds = 0;
    bool interactive = false;
};

// What is wrong with a name given for --output (a running program asked to
// save there refuses it for the same reason); empty when nothing is.
QString outputProblem(const QString& name);

// The arguments as the program got them, its own name first.
Request parse(const QStringList& arguments);

// Answers what needs no display (help, version, a usage error, conversions)
// and gives the exit code; none when the program goes on to open the display,
// which must then be named.
std::optional<int> runWithoutDisplay(const Request& request);

} // namespace cli
