#include "app/SaveCommand.h"

#include "capture/CaptureNaming.h"
#include "capture/SaveService.h"
#include "dialogs/frmPrompt.h"
#include "forms/Clipboard.h"
#include "forms/MessageBox.h"
#include "forms/Sound.h"
#include "host/Files.h"
#include "host/Handlers.h"

#include <QCoreApplication>
#include <optional>

using namespace host;

namespace {

// The messages, translated where they are shown.
QString tr(const char* text)
{
    return QCoreApplication::translate("frmMain", text);
}

const char* const kNoCapture = QT_TRANSLATE_NOOP(
    "frmMain",
    "Clipboard does not contain a screen capture - Use PrintScreen (or Alt-PrintScreen) key on an active window "
    "to place the image to windows clipboard.");
const char* const kNoFileName =
    QT_TRANSLATE_NOOP("frmMain", "Prompt to save is OFF and not filename has been entered.");
const char* const kNumbersUsedUp = QT_TRANSLATE_NOOP("frmMain", "Already 10000 files with that prefix - use new prefix");
const char* const kNoColourDepth = QT_TRANSLATE_NOOP(
    "frmMain",
    "No colour depth is selected, so nothing was saved. Choose Monochrome, 16 Colours, 256 Colours or "
    "Display Card Colour Depth, then save again.");

// The name typed into the prompt; none when it is cancelled.
std::optional<QString> promptedName(QWidget* owner)
{
    frmPrompt prompt;
    prompt.Load();
    prompt.txtFileName->setText(QString());
    prompt.Show(forms::ShowMode::Modal, owner);
    std::optional<QString> name;
    if (PromptAccepted)
        name = expandHome(prompt.txtFileName->Text());
    prompt.Unload();
    return name;
}

// Where the options send the capture; none, after saying why when it is
// not a cancelled prompt, when nowhere.
std::optional<capture::Target> targetOf(const options::Values& options, bool toCaptureFile, QWidget* owner)
{
    using capture::Target;
    if (toCaptureFile)
        return Target::file(CaptureFilePath());
    if (capture::trimBlanks(options.filename).isEmpty() && options.savePrompt == 0) {
        forms::MsgBox(tr(kNoFileName));
        return std::nullopt;
    }
    if (options.savePrompt != 0) {
        const std::optional<QString> name = promptedName(owner);
        if (!name)
            return std::nullopt;
        return Target::file(*name);
    }
    if (options.autoIncrement == 1)
        return Target::numbered(options.filename);
    // A greyed box builds no name at all.
    if (options.autoIncrement != 0)
        return Target::file(QString());
    return Target::file(
        capture::withBmpExtension(capture::typedName(capture::withDates(options.filename, QDateTime::currentDateTime()))));
}

} // namespace

QString noCaptureMessage()
{
    return tr(kNoCapture);
}

QString CaptureFilePath()
{
    return AppFolder() + QLatin1String("/tolvo.bmp");
}

QString SaveCommand::run(const options::Values& options, bool toCaptureFile) const
{
    QString written;
    trapErrors(
        [&] {
            if (!picture && !forms::ClipboardHasBitmap(*clipboard)) {
                forms::MsgBox(noCaptureMessage());
                return;
            }
            // Nothing could be written: say so before asking for a name.
            if (!options.depth) {
                forms::MsgBox(tr(kNoColourDepth));
                return;
            }
            const std::optional<capture::Target> target =
                output.isEmpty() ? targetOf(options, toCaptureFile, owner) : capture::Target::file(expandHome(output));
            if (!target)
                return;
            try {
                written = capture::save([this] { return place(picture ? *picture : forms::ClipboardGetBitmap(*clipboard)); },
                                        *options.depth, *target, m_workspace);
            } catch (const capture::NumbersUsedUp&) {
                forms::MsgBox(tr(kNumbersUsedUp));
                return;
            }
            forms::Beep();
        },
        [](const HostError& error) { forms::MsgBox(error.description(), forms::MsgBoxStyle::Critical); });
    return written;
}
