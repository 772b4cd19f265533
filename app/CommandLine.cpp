#include "app/CommandLine.h"

#include "app/BatchConvert.h"
#include "forms/Application.h"
#include "host/Process.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace cli {
namespace {

// The command line's texts, translated under one name.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

Request answer(Action action, const QString& text = QString())
{
    Request request;
    request.action = action;
    request.text = text;
    return request;
}

Request usageError(const QString& problem)
{
    return answer(Action::UsageError, problem);
}

// The depth for the value of --colours; none for a value it does not take.
std::optional<capture::Depth> depthFor(const QString& colours)
{
    if (colours == QLatin1String("2"))
        return capture::Depth::Mono;
    if (colours == QLatin1String("16"))
        return capture::Depth::Colours16;
    if (colours == QLatin1String("256"))
        return capture::Depth::Colours256;
    if (colours == QLatin1String("display"))
        return capture::Depth::Display;
    return std::nullopt;
}

// The extensions of picture formats other than the bitmap: a bitmap written
// under one of them would be taken for what it is not.
bool otherPictureExtension(const QString& name)
{
    static const QStringList extensions = {
        "png", "jpg", "jpeg", "jpe", "jfif", "gif", "tif", "tiff", "webp", "pcx", "ppm", "pgm", "pbm", "pnm",
        "xpm", "xbm", "ico", "cur", "svg", "svgz", "tga", "heic", "heif", "avif", "jxl", "jp2", "psd", "xcf",
        "exr", "icns", "wbmp", "qoi"};
    return extensions.contains(QFileInfo(name).suffix().toLower());
}

// Qt's own options for programs with windows (-platform, -style, ...):
// the window's application takes them, as in every Qt program.
QStringList withoutQtOptions(const QStringList& arguments)
{
    static const QStringList withValue = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                          "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-display",
                                          "-geometry", "-style", "-stylesheet", "-session", "-name", "-title"};
    static const QStringList flags = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            kept += arguments.mid(i);
            break;
        }
        if (withValue.contains(argument))
            ++i;
        else if (!flags.contains(argument) && !withValue.contains(argument.section(QLatin1Char('='), 0, 0)))
            kept << argument;
    }
    return kept;
}

// What is wrong with the value of --output, if it is set.
std::optional<Request> refusedOutput(const QCommandLineParser& parser, const QCommandLineOption& output)
{
    if (!parser.isSet(output))
        return std::nullopt;
    if (const QString problem = outputProblem(parser.value(output)); !problem.isEmpty())
        return usageError(problem);
    return std::nullopt;
}

} // namespace

QString outputProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return Text::tr("--%1 needs a name.").arg(QStringLiteral("output"));
    if (otherPictureExtension(name))
        return Text::tr("--output %1: the program writes bitmap files (.bmp), which a name ending in .%2 would misname.")
            .arg(name, QFileInfo(name).suffix());
    return {};
}

Request parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Text::tr("Saves the screen capture on the clipboard as a bitmap file (.BMP). "
                                              "Without options it opens its window."));
    const QCommandLineOption help({"h", "help"}, Text::tr("Show this help and exit."));
    const QCommandLineOption version({"v", "version"}, Text::tr("Show the version and exit."));
    const QCommandLineOption save("save", Text::tr("Save the clipboard's picture once, as \"Save to File\" does "
                                                   "with the stored options, without the window; print the file "
                                                   "written."));
    const QCommandLineOption convert("convert",
                                     Text::tr("Convert the picture files given to bitmap files; needs no display."));
    const QCommandLineOption colours("colours",
                                     Text::tr("With --convert: 2, 16, 256 or display (the picture's own depth). "
                                              "Default: 256."),
                                     Text::tr("colours"), "256");
    const QCommandLineOption output("output",
                                    Text::tr("With --convert: the bitmap file of the one picture given. With --save or "
                                             "--capture: the file to write (replaced when it exists) instead of the "
                                             "stored name."),
                                    Text::tr("file"));
    const QCommandLineOption prefix("prefix",
                                    Text::tr("With --convert: number the bitmaps from this prefix, as numbered "
                                             "saves are (PREFIX001.BMP, the first free number); %Y %m %d %H %M %S "
                                             "in it, as in the stored Filename, are the date and time of the save."),
                                    Text::tr("prefix"));
    const QCommandLineOption quiet("quiet", Text::tr("With --save or --capture: show no desktop notification of what "
                                                     "was done."));
    const QCommandLineOption capture("capture", Text::tr("Take a screenshot of the whole screen and save it as \"Save "
                                                         "to File\" saves a capture; print the file written."));
    const QCommandLineOption delay("delay", Text::tr("With --capture: wait this many seconds first."),
                                   Text::tr("seconds"));
    const QCommandLineOption interactive("interactive", Text::tr("With --capture: let the desktop's screenshot "
                                                                 "dialog choose a window or an area."));
    const QCommandLineOption watch("watch", Text::tr("Without a window until ended, save every new picture that "
                                                     "appears on the clipboard under the stored numbered Filename "
                                                     "(which may hold the date: %Y %m %d %H %M %S)."));
    const QCommandLineOption force("force",
                                   Text::tr("With --convert: replace a bitmap that exists (never with --prefix)."));
    parser.addOptions(
        {help, version, save, capture, watch, convert, colours, output, prefix, force, quiet, delay, interactive});
    parser.addPositionalArgument(Text::tr("PICTURE"),
                                 Text::tr("With --convert: the picture files to convert. Alone: the pictures to show "
                                          "at actual size."),
                                 Text::tr("[PICTURE...]"));

    if (!parser.parse(withoutQtOptions(arguments)))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return answer(Action::Help, parser.helpText());
    if (parser.isSet(version))
        return answer(Action::Version, QStringLiteral("qorix-capture %1").arg(QStringLiteral(QORIX_VERSION)));

    const QStringList pictures = parser.positionalArguments();
    if (parser.isSet(watch)) {
        for (const QCommandLineOption* option : {&save, &capture, &convert, &colours, &output, &prefix, &force, &delay,
                                                 &interactive})
            if (parser.isSet(*option))
                return usageError(Text::tr("--watch cannot be used with --%1.").arg(option->names().constLast()));
        if (!pictures.isEmpty())
            return usageError(Text::tr("unexpected argument '%1': --watch takes the clipboard's pictures.")
                                  .arg(pictures.constFirst()));
        Request request = answer(Action::Watch);
        request.quiet = parser.isSet(quiet);
        return request;
    }
    if (parser.isSet(capture)) {
        if (parser.isSet(save) || parser.isSet(convert))
            return usageError(Text::tr("--capture cannot be used with --save or --convert."));
        for (const QCommandLineOption* option : {&colours, &prefix, &force})
            if (parser.isSet(*option))
                return usageError(Text::tr("--%1 is used with --convert only.").arg(option->names().constLast()));
        if (!pictures.isEmpty())
            return usageError(Text::tr("unexpected argument '%1': --capture takes the screen.").arg(pictures.constFirst()));
        bool number = true;
        const int seconds = parser.isSet(delay) ? parser.value(delay).toInt(&number) : 0;
        if (!number || seconds < 0 || seconds > 3600)
            return usageError(Text::tr("--delay takes whole seconds from 0 to 3600, not '%1'.").arg(parser.value(delay)));
        if (std::optional<Request> refused = refusedOutput(parser, output))
            return *refused;
        Request request = answer(Action::Capture);
        request.output = parser.value(output);
        request.quiet = parser.isSet(quiet);
        request.delaySeconds = seconds;
        request.interactive = parser.isSet(interactive);
        return request;
    }
    for (const QCommandLineOption* option : {&delay, &interactive})
        if (parser.isSet(*option))
            return usageError(Text::tr("--%1 is used with --capture only.").arg(option->names().constLast()));
    if (!parser.isSet(convert)) {
        for (const QCommandLineOption* option : {&colours, &output, &prefix, &force})
            if (parser.isSet(*option) && !(option == &output && parser.isSet(save)))
                return usageError(Text::tr("--%1 is used with --convert only.").arg(option->names().constLast()));
        if (std::optional<Request> refused = refusedOutput(parser, output))
            return *refused;
        if (!pictures.isEmpty() && parser.isSet(save))
            return usageError(Text::tr("unexpected argument '%1': --save takes the clipboard's picture.")
                                  .arg(pictures.constFirst()));
        if (!pictures.isEmpty()) {
            for (const QCommandLineOption* option : {&output, &quiet})
                if (parser.isSet(*option))
                    return usageError(Text::tr("--%1 is used with --save only.").arg(option->names().constLast()));
            Request request = answer(Action::View);
            request.pictures = pictures;
            return request;
        }
        if (parser.isSet(quiet) && !parser.isSet(save))
            return usageError(Text::tr("--quiet is used with --save only."));
        Request request = answer(parser.isSet(save) ? Action::Save : Action::Window);
        request.output = parser.value(output);
        request.quiet = parser.isSet(quiet);
        return request;
    }
    if (parser.isSet(save))
        return usageError(Text::tr("--save and --convert cannot be used together."));
    if (parser.isSet(quiet))
        return usageError(Text::tr("--quiet is used with --save only."));
    if (pictures.isEmpty())
        return usageError(Text::tr("--convert needs at least one picture file."));
    Request request = answer(Action::Convert);
    request.pictures = pictures;
    const std::optional<capture::Depth> depth = depthFor(parser.value(colours));
    if (!depth)
        return usageError(Text::tr("--colours takes 2, 16, 256 or display, not '%1'.").arg(parser.value(colours)));
    request.depth = *depth;
    if (parser.isSet(output) && parser.isSet(prefix))
        return usageError(Text::tr("--output and --prefix cannot be used together."));
    if (parser.isSet(output) && pictures.size() > 1)
        return usageError(Text::tr("--output takes one picture; use --prefix for several."));
    if (parser.isSet(prefix) && parser.value(prefix).trimmed().isEmpty())
        return usageError(Text::tr("--%1 needs a name.").arg(prefix.names().constLast()));
    if (std::optional<Request> refused = refusedOutput(parser, output))
        return *refused;
    if (parser.isSet(prefix) && parser.isSet(force))
        return usageError(Text::tr("--force cannot be used with --prefix: numbered files never replace others."));
    request.output = parser.value(output);
    request.prefix = parser.value(prefix);
    request.force = parser.isSet(force);
    return request;
}

std::optional<int> runWithoutDisplay(const Request& request)
{
    switch (request.action) {
    case Action::Help:
    case Action::Version:
        return host::printLine(request.text.trimmed()) ? 0 : 1;
    case Action::UsageError:
        host::printError(request.text);
        host::printError(Text::tr("Try 'qorix-capture --help' for the options."));
        return 2;
    case Action::Convert:
        return batch::convert(request);
    case Action::Window:
    case Action::Watch:
    case Action::Save:
    case Action::Capture:
    case Action::View:
        break;
    }
    if (const QString missing = forms::missingDisplay(); !missing.isEmpty()) {
        host::printError(missing);
        return 1;
    }
    return std::nullopt;
}

} // namespace cli
