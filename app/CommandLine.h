#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What the program is asked to do by its command line.
namespace cli {

enum class Action { Window, Save, Convert, Help, Version, UsageError };

// The DepthCode of a picture kept at its own colour depth.
constexpr qint16 kOwnDepth = -1;

struct Request {
    Action action = Action::Window;
    // The usage, the version line or what is wrong with the command line.
    QString text;
    // With Convert: the pictures, the DepthCode (or kOwnDepth) and where
    // the bitmaps go.
    QStringList pictures;
    qint16 depth = 8;
    QString output;
    QString prefix;
    bool force = false;
};

// The arguments as the program got them, its own name first.
Request parse(const QStringList& arguments);

// Answers what needs no display (help, version, a usage error, conversions)
// and gives the exit code; none when the program goes on to open the display,
// which must then be named.
std::optional<int> runWithoutDisplay(const Request& request);

} // namespace cli
