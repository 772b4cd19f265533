#include "app/frmMain.h"

#include "forms/Application.h"
#include "forms/Clipboard.h"
#include "forms/EventHandlers.h"
#include "forms/MessageBox.h"
#include "forms/Screen.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QIcon>
#include <QShortcut>
#include <cmath>

using namespace host;

frmMain::frmMain()
    : forms::Form({.caption = tr("QORIX Screen capture to bitmap"),
            .clientWidth = 5268,
            .clientHeight = 6360,
            .minimizeButton = true,
            .startPosition = forms::StartPosition::CenterScreen}),
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

    const options::Values design;
    frameFilename = new forms::Frame(window, "frameFilename", tr("Filename"), {120, 96, 5052, 1332, 5});
    Label1 = new forms::Label(frameFilename, "Label1", tr("Filename:"), {120, 240, 996, 276, 9}, Qt::AlignRight);
    txtFileName = new forms::TextBox(frameFilename, "txtFileName", design.filename, {1128, 216, 3588, 288, 6});
    Label2 = new forms::Label(frameFilename, "Label2", tr("Last Made:"), {120, 552, 996, 276, 8}, Qt::AlignRight);
    lblLastMade = new forms::Label(frameFilename, "lblLastMade", tr("Last Made:"), {1152, 552, 2988, 276, 7});
    lblLastMade->setElideMode(Qt::ElideMiddle);
    chkAutoIncrementFilename = new forms::CheckBox(frameFilename, "chkAutoIncrementFilename", tr("Auto Increment Filename"),
                                            {1152, 768, 2268, 228, 10}, design.autoIncrement);
    chkPrompt = new forms::CheckBox(frameFilename, "chkPrompt", tr("Prompt to Save"), {1152, 1008, 2028, 252, 11}, design.savePrompt);
    cmdView = new forms::CommandButton(frameFilename, "cmdView", tr("&View a File"), {3384, 624, 1560, 350, 20});
    chkThumbnail = new forms::CheckBox(frameFilename, "chkThumbnail", tr("Thumbnail Preview"), {3240, 1032, 1788, 252, 16}, design.thumbnail);

    frameColourOptions = new forms::Frame(window, "frameColourOptions", tr("Colour Options"), {120, 1488, 3252, 1836, 0});
    OptMonochrome = new forms::OptionButton(frameColourOptions, "OptMonochrome", tr("Monochrome"), {312, 288, 1260, 240, 2},
                                     design.depth == capture::Depth::Mono);
    opt16 = new forms::OptionButton(frameColourOptions, "opt16", tr("16 Colours"), {312, 504, 1284, 240, 4},
                             design.depth == capture::Depth::Colours16);
    opt256 = new forms::OptionButton(frameColourOptions, "opt256", tr("256 Colours"), {312, 744, 1260, 240, 3},
                              design.depth == capture::Depth::Colours256);
    optDisplayCard = new forms::OptionButton(frameColourOptions, "optDisplayCard", tr("Display Card Colour Depth"),
                                      {312, 984, 2388, 240, 1}, design.depth == capture::Depth::Display);

    Frame3 = new forms::Frame(window, "Frame3", tr("Action"), {3408, 1488, 1764, 1836, 13});
    cmdPreview = new forms::CommandButton(Frame3, "cmdPreview", tr("&Preview Clipboard"), {120, 216, 1560, 350, 18});
    cmdSave = new forms::CommandButton(Frame3, "cmdSave", tr("Save to File"), {120, 624, 1560, 350, 14});
    cmdEmail = new forms::CommandButton(Frame3, "cmdEmail", tr("e-Mail"), {120, 1008, 1560, 350, 19});
    cmdClose = new forms::CommandButton(Frame3, "cmdClose", tr("&Close"), {120, 1392, 1560, 350, 15});

    framePreview = new forms::Frame(window, "framePreview", tr("Thumbnail Preview"), {120, 3360, 5052, 2940, 17});
    // Last in the tab order, so that the keyboard reaches it too.
    Image1 = new forms::ImageControl(framePreview, "Image1", {120, 240, 4836, 2580, 21}, true);

    // What a screen reader says of the controls that have no caption of their own.
    Label1->setBuddy(txtFileName);
    Image1->setAccessibleName(tr("Thumbnail"));
    Image1->setAccessibleDescription(tr("The last picture. Space or Enter shows it at actual size."));

    Picture1 = new forms::PictureBox(window, "Picture1", {2736, 1920, 516, 324, 12}, true);
    Picture1->setVisible(false);
    Picture1->setFocusPolicy(Qt::NoFocus);

    connect(cmdSave, &QPushButton::clicked, this, forms::handler([this] { cmdSave_Click(); }));
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), window), &QShortcut::activated, this,
            forms::handler([this] { cmdSave_Click(); }));
    connect(cmdPreview, &QPushButton::clicked, this, forms::handler([this] { cmdPreview_Click(); }));
    connect(cmdView, &QPushButton::clicked, this, forms::handler([this] { cmdView_Click(); }));
    connect(Image1, &forms::ImageControl::clicked, this, forms::handler([this] { Image1_Click(); }));
    connect(cmdEmail, &QPushButton::clicked, this, forms::handler([this] { cmdEmail_Click(); }));
    connect(cmdClose, &QPushButton::clicked, this, forms::handler([this] { cmdClose_Click(); }));
    connect(chkThumbnail, &QCheckBox::clicked, this, forms::handler([this] { chkThumbnail_Click(); }));
}

// The window's own steps, and the options, each run on its own: a failing
// step is skipped and the next one runs. A settings store that cannot be
// used at all is told once, so that options are never lost without a word.
void frmMain::Form_Load()
{
    skipOnError([this] {
        ThumbnailBoxWidth = qint32(std::lround(Image1->Width()));
        ThumbnailBoxHeight = qint32(std::lround(Image1->Height()));
    });
    skipOnError(forms::setCaptionHeight);
    showOptions(options::load());
    skipOnError([this] { applyWindowHeightRule(); });
    // A window that nobody sees does not answer.
    if (forms::onScreen())
        m_shortcuts = std::make_unique<ShortcutService>(
            [this](const QString& output, std::optional<QImage> screenshot) {
                return saveFor(output, std::move(screenshot));
            },
            [](bool) { return true; });
}

void frmMain::Form_Unload(int&)
{
    m_shortcuts.reset();
    options::store(shownOptions());
}

options::Values frmMain::shownOptions() const
{
    options::Values values;
    values.filename = txtFileName->Text();
    values.autoIncrement = chkAutoIncrementFilename->Value();
    values.savePrompt = chkPrompt->Value();
    values.thumbnail = chkThumbnail->Value();
    values.depth = OptMonochrome->Value()    ? std::optional(capture::Depth::Mono)
                   : opt16->Value()          ? std::optional(capture::Depth::Colours16)
                   : opt256->Value()         ? std::optional(capture::Depth::Colours256)
                   : optDisplayCard->Value() ? std::optional(capture::Depth::Display)
                                             : std::nullopt;
    return values;
}

void frmMain::showOptions(const options::Values& values)
{
    txtFileName->setText(values.filename);
    chkAutoIncrementFilename->setValue(values.autoIncrement);
    chkPrompt->setValue(values.savePrompt);
    chkThumbnail->setValue(values.thumbnail);
    OptMonochrome->setValue(values.depth == capture::Depth::Mono);
    opt16->setValue(values.depth == capture::Depth::Colours16);
    opt256->setValue(values.depth == capture::Depth::Colours256);
    optDisplayCard->setValue(values.depth == capture::Depth::Display);
}

void frmMain::cmdSave_Click()
{
    saveCapture();
}

QString frmMain::saveCapture()
{
    return saveFor(QString(), std::nullopt);
}

QString frmMain::saveFor(const QString& output, std::optional<QImage> screenshot)
{
    const bool toAppFolder = SaveToAppFolder;
    SaveToAppFolder = false;
    SaveCommand command(m_workspace);
    command.place = [this](const QImage& capture) { return placeCapture(capture); };
    command.owner = window();
    command.output = output;
    command.picture = std::move(screenshot);
    const QString written = command.run(shownOptions(), toAppFolder);
    if (!written.isEmpty()) {
        lblLastMade->setCaption(written);
        Picture1->setPicture(pictures::LoadPicture(QString()));
    }
    return written;
}

// Puts the capture in the thumbnail (when it is ticked) and in Picture1,
// whose picture is the one written.
QImage frmMain::placeCapture(const QImage& capture)
{
    if (chkThumbnail->Value() == 1)
        Image1->setPicture(capture);
    Picture1->setPicture(capture);
    return Picture1->Image();
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
    if (!forms::ClipboardHasBitmap()) {
        forms::MsgBox(noCaptureMessage());
        return;
    }
    fitIntoThumbnail([] { return forms::ClipboardGetBitmap(); });
    m_picture.Show(forms::ShowMode::Modal, window());
}

void frmMain::cmdView_Click()
{
    dlgCommonDialog.DialogTitle = tr("View file for: ");
    dlgCommonDialog.Filter = tr("Images (*.BMP;*.JPG;*.PCX;)|*.BMP;*.JPG;*.PCX;|All Files (*.*)|*.*");
    dlgCommonDialog.InitDir = AppFolder();
    dlgCommonDialog.CancelError = true;
    dlgCommonDialog.Flags = forms::CommonDialog::cdlOFNFileMustExist | forms::CommonDialog::cdlOFNHideReadOnly;
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
            fitIntoThumbnail([this] { return pictures::LoadPicture(dlgCommonDialog.FileName); });
            m_picture.Load();
            m_picture.setCaption(dlgCommonDialog.FileName);
            m_picture.Show(forms::ShowMode::Modal, window());
        },
        [](const HostError& error) { forms::MsgBox(error.description(), forms::MsgBoxStyle::Critical); });
}

void frmMain::Image1_Click()
{
    m_picture.Show(forms::ShowMode::Modal, window());
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
            forms::MsgBox(error.description(), forms::MsgBoxStyle::Critical);
        });
    if (removed)
        cmdSave_Click();
    m_email.CaptureOutdated = !removed;
    m_email.Show(forms::ShowMode::Modal, window());
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
    forms::Frame* lower = chkThumbnail->Value() == 1 ? framePreview.data() : frameColourOptions.data();
    setHeight(lower->Top() + lower->Height() + frameFilename->Top() + CaptionHeight + 50);
}
