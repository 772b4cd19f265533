#include "app/frmMain.h"

#include "app/CaptureNaming.h"
#include "app/Options.h"
#include "capture/modcap.h"
#include "host/Clipboard.h"
#include "host/Conversions.h"
#include "host/Files.h"
#include "host/Handlers.h"
#include "host/HostError.h"
#include "host/MessageBox.h"
#include "host/Picture.h"
#include "host/Screen.h"
#include "host/Settings.h"
#include "host/Sound.h"

#include <QIcon>
#include <QShortcut>
#include <cmath>

using namespace host;

namespace {

// The messages, translated where they are shown.
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

QString setting(const char* key, const QString& defaultValue)
{
    return GetSetting(applicationName(), options::kSection, key, defaultValue);
}

void saveSetting(const char* key, const QString& value)
{
    SaveSetting(applicationName(), options::kSection, key, value);
}

} // namespace

frmMain::frmMain()
    : Form({.caption = tr("QORIX Screen capture to bitmap"),
            .clientWidth = 5268,
            .clientHeight = 6360,
            .minimizeButton = true,
            .startPosition = StartPosition::CenterScreen}),
      m_picture([this] { return Image1 ? Image1->Picture() : QImage(); })
{
}

void frmMain::createControls(QWidget* window)
{
    window->setWindowIcon([] {
        QIcon icon(QStringLiteral(":/icons/qorix-capture.svg"));
        icon.addFile(QStringLiteral(":/icons/qorix-capture-32.png"), QSize(32, 32));
        return icon;
    }());

    frameFilename = new Frame(window, "frameFilename", tr("Filename"), {120, 96, 5052, 1332, 5});
    Label1 = new Label(frameFilename, "Label1", tr("Filename:"), {120, 240, 996, 276, 9}, Qt::AlignRight);
    txtFileName = new TextBox(frameFilename, "txtFileName", "C:\\Pravlek", {1128, 216, 3588, 288, 6});
    Label2 = new Label(frameFilename, "Label2", tr("Last Made:"), {120, 552, 996, 276, 8}, Qt::AlignRight);
    lblLastMade = new Label(frameFilename, "lblLastMade", tr("Last Made:"), {1152, 552, 2988, 276, 7});
    lblLastMade->setElideMode(Qt::ElideMiddle);
    chkAutoIncrementFilename = new CheckBox(frameFilename, "chkAutoIncrementFilename", tr("Auto Increment Filename"),
                                            {1152, 768, 2268, 228, 10}, 1);
    chkPrompt = new CheckBox(frameFilename, "chkPrompt", tr("Prompt to Save"), {1152, 1008, 2028, 252, 11}, 0);
    cmdView = new CommandButton(frameFilename, "cmdView", tr("&View a File"), {3384, 624, 1560, 350, 20});
    chkThumbnail = new CheckBox(frameFilename, "chkThumbnail", tr("Thumbnail Preview"), {3240, 1032, 1788, 252, 16}, 0);

    frameColourOptions = new Frame(window, "frameColourOptions", tr("Colour Options"), {120, 1488, 3252, 1836, 0});
    OptMonochrome = new OptionButton(frameColourOptions, "OptMonochrome", tr("Monochrome"), {312, 288, 1260, 240, 2});
    opt16 = new OptionButton(frameColourOptions, "opt16", tr("16 Colours"), {312, 504, 1284, 240, 4}, true);
    opt256 = new OptionButton(frameColourOptions, "opt256", tr("256 Colours"), {312, 744, 1260, 240, 3});
    optDisplayCard = new OptionButton(frameColourOptions, "optDisplayCard", tr("Display Card Colour Depth"),
                                      {312, 984, 2388, 240, 1});

    Frame3 = new Frame(window, "Frame3", tr("Action"), {3408, 1488, 1764, 1836, 13});
    cmdPreview = new CommandButton(Frame3, "cmdPreview", tr("&Preview Clipboard"), {120, 216, 1560, 350, 18});
    cmdSave = new CommandButton(Frame3, "cmdSave", tr("Save to File"), {120, 624, 1560, 350, 14});
    cmdEmail = new CommandButton(Frame3, "cmdEmail", tr("e-Mail"), {120, 1008, 1560, 350, 19});
    cmdClose = new CommandButton(Frame3, "cmdClose", tr("&Close"), {120, 1392, 1560, 350, 15});

    framePreview = new Frame(window, "framePreview", tr("Thumbnail Preview"), {120, 3360, 5052, 2940, 17});
    // Last in the tab order, so that the keyboard reaches it too.
    Image1 = new ImageControl(framePreview, "Image1", {120, 240, 4836, 2580, 21}, true);

    // What a screen reader says of the controls that have no caption of their own.
    Label1->setBuddy(txtFileName);
    Image1->setAccessibleName(tr("Thumbnail"));
    Image1->setAccessibleDescription(tr("The last picture. Space or Enter shows it at actual size."));

    Picture1 = new PictureBox(window, "Picture1", {2736, 1920, 516, 324, 12}, true);
    Picture1->setVisible(false);
    Picture1->setFocusPolicy(Qt::NoFocus);

    connect(cmdSave, &QPushButton::clicked, this, handler([this] { cmdSave_Click(); }));
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), window), &QShortcut::activated, this,
            handler([this] { cmdSave_Click(); }));
    connect(cmdPreview, &QPushButton::clicked, this, handler([this] { cmdPreview_Click(); }));
    connect(cmdView, &QPushButton::clicked, this, handler([this] { cmdView_Click(); }));
    connect(Image1, &ImageControl::clicked, this, handler([this] { Image1_Click(); }));
    connect(cmdEmail, &QPushButton::clicked, this, handler([this] { cmdEmail_Click(); }));
    connect(cmdClose, &QPushButton::clicked, this, handler([this] { cmdClose_Click(); }));
    connect(chkThumbnail, &QCheckBox::clicked, this, handler([this] { chkThumbnail_Click(); }));
}

// The load and save sequences run each step on its own: a failing step is
// skipped and the next one runs. A settings store that cannot be used at all
// is told once, so that options are never lost without a word.
class OptionSteps {
public:
    void operator()(const std::function<void()>& step)
    {
        const std::optional<HostError> skipped = skipOnError(step);
        if (skipped && skipped->kind() == ErrorKind::File && m_storeProblem.isEmpty())
            m_storeProblem = skipped->description();
    }

    void tell(const QString& consequence) const
    {
        if (!m_storeProblem.isEmpty())
            MsgBox(consequence + QLatin1Char(' ') + m_storeProblem);
    }

private:
    QString m_storeProblem;
};

void frmMain::Form_Load()
{
    OptionSteps step;
    step([this] {
        ThumbnailBoxWidth = qint32(std::lround(Image1->Width()));
        ThumbnailBoxHeight = qint32(std::lround(Image1->Height()));
    });
    step([] { CaptionHeight = qint32(std::lround(twipsPerPixelY() * captionHeightPixels())); });
    step([this] { txtFileName->setText(setting(options::kFilename, QString())); });
    step([this] {
        chkAutoIncrementFilename->setValue(textToWholeNumber(setting(options::kAutoIncrement, wholeNumberToText(1))));
    });
    step([this] { chkPrompt->setValue(textToWholeNumber(setting(options::kSavePrompt, wholeNumberToText(0)))); });
    step([this] { chkThumbnail->setValue(textToWholeNumber(setting(options::kThumbnail, wholeNumberToText(1)))); });
    step([this] { opt16->setValue(textToBoolean(setting(options::k16Colours, wholeNumberToText(1)))); });
    step([this] { optDisplayCard->setValue(textToBoolean(setting(options::kDisplayColours, wholeNumberToText(0)))); });
    step([this] { OptMonochrome->setValue(textToBoolean(setting(options::k2Colours, wholeNumberToText(0)))); });
    step([this] { opt256->setValue(textToBoolean(setting(options::k256Colours, wholeNumberToText(0)))); });
    step([this] { applyWindowHeightRule(); });
    step.tell(tr("Your options could not be read, so the program starts with its own."));
}

void frmMain::Form_Unload(int&)
{
    OptionSteps step;
    step([this] { saveSetting(options::kFilename, txtFileName->Text()); });
    step([this] { saveSetting(options::kAutoIncrement, wholeNumberToText(chkAutoIncrementFilename->Value())); });
    step([this] { saveSetting(options::kSavePrompt, wholeNumberToText(chkPrompt->Value())); });
    step([this] { saveSetting(options::kThumbnail, wholeNumberToText(chkThumbnail->Value())); });
    step([this] { saveSetting(options::k16Colours, booleanToText(opt16->Value())); });
    step([this] { saveSetting(options::kDisplayColours, booleanToText(optDisplayCard->Value())); });
    step([this] { saveSetting(options::k2Colours, booleanToText(OptMonochrome->Value())); });
    step([this] { saveSetting(options::k256Colours, booleanToText(opt256->Value())); });
    step.tell(tr("Your options could not be saved."));
}

void frmMain::cmdSave_Click()
{
    saveCapture();
}

QString frmMain::saveCapture()
{
    QString written;
    trapErrors(
        [this, &written] {
            const bool toAppFolder = SaveToAppFolder;
            SaveToAppFolder = false;
            if (!ClipboardHasBitmap()) {
                MsgBox(tr(kNoCapture));
                return;
            }
            // Nothing could be written: say so before asking for a name.
            const qint16 depth = chosenDepth();
            if (depth == 0) {
                MsgBox(tr(kNoColourDepth));
                return;
            }
            QString CaptureFileName;
            bool numbered = false;
            if (toAppFolder) {
                CaptureFileName = CaptureFilePath();
            } else if (naming::trimBlanks(txtFileName->Text()).isEmpty() && chkPrompt->Value() == 0) {
                MsgBox(tr(kNoFileName));
                return;
            } else if (chkPrompt->Value() != 0) {
                m_prompt.Load();
                m_prompt.txtFileName->setText(CaptureFileName);
                m_prompt.Show(ShowMode::Modal, window());
                if (!PromptAccepted) {
                    m_prompt.Unload();
                    return;
                }
                CaptureFileName = expandHome(m_prompt.txtFileName->Text());
                m_prompt.Unload();
            } else if (chkAutoIncrementFilename->Value() != 0) {
                numbered = true;
                if (!freeNumberedName(CaptureFileName))
                    return;
            } else {
                CaptureFileName = naming::withBmpExtension(naming::typedName(txtFileName->Text()));
            }
            placeCapture();
            AtomicFile file(CaptureFileName, numbered ? AtomicFile::Existing::Keep : AtomicFile::Existing::Replace);
            writeCapture(file, depth);
            if (!numbered) {
                file.commit();
            } else {
                // A numbered file never replaces another, not even one that another
                // copy of the program has just written: it takes the next free number.
                const std::optional<QString> name = naming::commitNumbered(file, txtFileName->Text());
                if (!name) {
                    MsgBox(tr(kNumbersUsedUp));
                    return;
                }
                CaptureFileName = *name;
            }
            lblLastMade->setCaption(CaptureFileName);
            Picture1->setPicture(LoadPicture(QString()));
            Beep();
            written = CaptureFileName;
        },
        [](const HostError& error) { MsgBox(error.description(), MsgBoxStyle::Critical); });
    return written;
}

// The first free numbered name; false, after saying so, when all are taken.
// Only a ticked box builds names: a greyed one leaves the name empty.
bool frmMain::freeNumberedName(QString& name)
{
    if (chkAutoIncrementFilename->Value() != 1) {
        name.clear();
        return true;
    }
    const std::optional<QString> free = naming::firstFreeNumberedName(txtFileName->Text());
    if (!free) {
        MsgBox(tr(kNumbersUsedUp));
        return false;
    }
    name = *free;
    return true;
}

// The colour depth that the option buttons choose, once: the DepthCode of
// our own writer, kDisplayDepth for the display's own, or 0 when none is
// selected (the buttons form one group, so at most one is).
qint16 frmMain::chosenDepth() const
{
    return OptMonochrome->Value() ? 2
           : opt16->Value()       ? 4
           : opt256->Value()      ? 8
           : optDisplayCard->Value() ? kDisplayDepth
                                     : 0;
}

// Puts the capture in the thumbnail (when it is ticked) and in Picture1.
void frmMain::placeCapture()
{
    const QImage capture = ClipboardGetBitmap();
    if (chkThumbnail->Value() == 1)
        Image1->setPicture(capture);
    Picture1->setPicture(capture);
}

// Writes Picture1's capture at the chosen colour depth.
void frmMain::writeCapture(AtomicFile& file, qint16 depth)
{
    if (depth == kDisplayDepth)
        SavePicture(Picture1->Picture(), file);
    else
        modcap::SaveBitmap(*Picture1, file, depth);
}

// The thumbnail takes the picture's own size, or the design box when the
// picture is wider or taller than it, squeezed without keeping proportions.
// If the picture cannot be had, the thumbnail stays exactly as it was.
void frmMain::fitIntoThumbnail(const std::function<QImage()>& picture)
{
    const bool stretch = Image1->Stretch();
    const double width = Image1->Width();
    const double height = Image1->Height();
    Image1->setStretch(false);
    try {
        Image1->setPicture(picture());
    } catch (...) {
        Image1->setStretch(stretch);
        Image1->setWidth(width);
        Image1->setHeight(height);
        throw;
    }
    Image1->setStretch(true);
    if (Image1->Width() > ThumbnailBoxWidth || Image1->Height() > ThumbnailBoxHeight) {
        Image1->setWidth(ThumbnailBoxWidth);
        Image1->setHeight(ThumbnailBoxHeight);
    }
}

void frmMain::cmdPreview_Click()
{
    if (!ClipboardHasBitmap()) {
        MsgBox(tr(kNoCapture));
        return;
    }
    fitIntoThumbnail(ClipboardGetBitmap);
    m_picture.Show(ShowMode::Modal, window());
}

void frmMain::cmdView_Click()
{
    dlgCommonDialog.DialogTitle = tr("View file for: ");
    dlgCommonDialog.Filter = tr("Images (*.BMP;*.JPG;*.PCX;)|*.BMP;*.JPG;*.PCX;|All Files (*.*)|*.*");
    dlgCommonDialog.InitDir = AppFolder();
    dlgCommonDialog.CancelError = true;
    dlgCommonDialog.Flags = CommonDialog::cdlOFNFileMustExist | CommonDialog::cdlOFNHideReadOnly;
    dlgCommonDialog.FileName = QString();
    bool chosen = false;
    // Cancelling, or a dialog that cannot be shown, ends the command silently.
    trapErrors([&] {
        dlgCommonDialog.ShowOpen(window());
        chosen = true;
    }, [](const HostError&) {});
    if (!chosen)
        return;
    trapErrors(
        [this] {
            fitIntoThumbnail([this] { return LoadPicture(dlgCommonDialog.FileName); });
            m_picture.Load();
            m_picture.setCaption(dlgCommonDialog.FileName);
            m_picture.Show(ShowMode::Modal, window());
        },
        [](const HostError& error) { MsgBox(error.description(), MsgBoxStyle::Critical); });
}

void frmMain::Image1_Click()
{
    m_picture.Show(ShowMode::Modal, window());
}

// Saves the capture to the fixed capture file and opens the e-mail dialog,
// whatever the save did. The old capture file goes first, so that a refused
// save can never leave an earlier capture to be sent; one that cannot be
// removed fails like the save itself: it is told, and never sent.
void frmMain::cmdEmail_Click()
{
    SaveToAppFolder = true;
    bool removed = false;
    trapErrors(
        [&removed] {
            const QString captureFile = CaptureFilePath();
            if (FileExists(captureFile))
                DeleteFile(captureFile);
            removed = true;
        },
        [this](const HostError& error) {
            SaveToAppFolder = false;
            MsgBox(error.description(), MsgBoxStyle::Critical);
        });
    if (removed)
        cmdSave_Click();
    m_email.CaptureOutdated = !removed;
    m_email.Show(ShowMode::Modal, window());
}

void frmMain::cmdClose_Click()
{
    Unload();
}

void frmMain::chkThumbnail_Click()
{
    applyWindowHeightRule();
}

// The window ends just below the thumbnail frame when the thumbnail is
// ticked, and below the colour options otherwise, cutting the thumbnail off.
void frmMain::applyWindowHeightRule()
{
    Frame* lower = chkThumbnail->Value() == 1 ? framePreview.data() : frameColourOptions.data();
    setHeight(lower->Top() + lower->Height() + frameFilename->Top() + CaptionHeight + 50);
}
