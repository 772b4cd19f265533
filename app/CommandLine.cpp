#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace cli {
namespace {

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

// The DepthCode for the value of --colours; 0 for a value it does not take.
qint16 depthFor(const QString& colours)
{
    if (colours == QLatin1String("2"))
        return 2;
    if (colours == QLatin1String("16"))
        return 4;
    if (colours == QLatin1String("256"))
        return 8;
    if (colours == QLatin1String("display"))
        return kOwnDepth;
    return 0;
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

} // namespace

Request parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Saves the screen capture on the clipboard as a bitmap file (.BMP). Without options it opens its "
             "window."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QCoreApplication::translate("CommandLine", "Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("CommandLine", "Show the version and exit."));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QCoreApplication::translate("CommandLine", "Save the clipboard's picture once, as \"Save to File\" does with the "
                                       "stored options, without the window; print the file written."));
    const QCommandLineOption convert(QStringLiteral("convert"),
                                     QCoreApplication::translate("CommandLine", "Convert the picture files given to bitmap files; needs no display."));
    const QCommandLineOption colours(QStringLiteral("colours"),
                                     QCoreApplication::translate("CommandLine", "With --convert: 2, 16, 256 or display (the picture's own depth). "
                                          "Default: 256."),
                                     QCoreApplication::translate("CommandLine", "colours"), QStringLiteral("256"));
    const QCommandLineOption output(QStringLiteral("output"), QCoreApplication::translate("CommandLine", "With --convert: the bitmap file of the one "
                                                                   "picture given."),
                                    QCoreApplication::translate("CommandLine", "file"));
    const QCommandLineOption prefix(QStringLiteral("prefix"),
                                    QCoreApplication::translate("CommandLine", "With --convert: number the bitmaps from this prefix, as numbered saves "
                                         "are (PREFIX001.BMP, the first free number)."),
                                    QCoreApplication::translate("CommandLine", "prefix"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QCoreApplication::translate("CommandLine", "With --convert: replace a bitmap that exists (never with --prefix)."));
    parser.addOptions({help, version, save, convert, colours, output, prefix, force});
    parser.addPositionalArgument(QCoreApplication::translate("CommandLine", "PICTURE"), QCoreApplication::translate("CommandLine", "With --convert: the picture files to convert."),
                                 QCoreApplication::translate("CommandLine", "[PICTURE...]"));

    if (!parser.parse(withoutQtOptions(arguments)))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return answer(Action::Help, parser.helpText());
    if (parser.isSet(version))
        return answer(Action::Version, QStringLiteral("qorix-capture %1").arg(QStringLiteral(QORIX_VERSION)));

    const QStringList pictures = parser.positionalArguments();
    if (!parser.isSet(convert)) {
        for (const QCommandLineOption* option : {&colours, &output, &prefix, &force})
            if (parser.isSet(*option))
                return usageError(QCoreApplication::translate("CommandLine", "--%1 is used with --convert only.").arg(option->names().constLast()));
        if (!pictures.isEmpty())
            return usageError(QCoreApplication::translate("CommandLine", "unexpected argument '%1': pictures are converted with --convert.")
                                  .arg(pictures.constFirst()));
        return answer(parser.isSet(save) ? Action::Save : Action::Window);
    }
    if (parser.isSet(save))
        return usageError(QCoreApplication::translate("CommandLine", "--save and --convert cannot be used together."));
    if (pictures.isEmpty())
        return usageError(QCoreApplication::translate("CommandLine", "--convert needs at least one picture file."));
    Request request = answer(Action::Convert);
    request.pictures = pictures;
    request.depth = depthFor(parser.value(colours));
    if (request.depth == 0)
        return usageError(QCoreApplication::translate("CommandLine", "--colours takes 2, 16, 256 or display, not '%1'.").arg(parser.value(colours)));
    if (parser.isSet(output) && parser.isSet(prefix))
        return usageError(QCoreApplication::translate("CommandLine", "--output and --prefix cannot be used together."));
    if (parser.isSet(output) && pictures.size() > 1)
        return usageError(QCoreApplication::translate("CommandLine", "--output takes one picture; use --prefix for several."));
    for (const QCommandLineOption* option : {&output, &prefix})
        if (parser.isSet(*option) && parser.value(*option).trimmed().isEmpty())
            return usageError(QCoreApplication::translate("CommandLine", "--%1 needs a name.").arg(option->names().constLast()));
    if (parser.isSet(prefix) && parser.isSet(force))
        return usageError(QCoreApplication::translate("CommandLine", "--force cannot be used with --prefix: numbered files never replace others."));
    request.output = parser.value(output);
    request.prefix = parser.value(prefix);
    request.force = parser.isSet(force);
    return request;
}

} // namespace cli
