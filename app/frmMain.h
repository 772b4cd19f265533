#pragma once

#include "app/Options.h"
#include "app/SaveCommand.h"
#include "app/ShortcutService.h"
#include "app/StoredOptions.h"
#include "dialogs/frmPicture.h"
#include "email/frmEmail.h"
#include "forms/CommonDialog.h"
#include "forms/Controls.h"
#include "forms/Form.h"
#include "forms/ImageControl.h"
#include "forms/PictureBox.h"

#include <memory>
#include <optional>

// The main window: the options, the commands and the thumbnail of the last
// picture. Loading it starts the program; unloading it ends the program.
class frmMain : public forms::Form {
    Q_OBJECT
public:
    frmMain();

    // Set by the e-mail button; the save command takes and clears it, so that
    // exactly one save goes to the fixed capture file.
    bool SaveToAppFolder = false;
    // The thumbnail's design size in twips: the largest a fitted thumbnail gets.
    qint32 ThumbnailBoxWidth = 0;
    qint32 ThumbnailBoxHeight = 0;

    QPointer<forms::Frame> frameFilename;
    QPointer<forms::Label> Label1;
    QPointer<forms::TextBox> txtFileName;
    QPointer<forms::Label> Label2;
    QPointer<forms::Label> lblLastMade;
    QPointer<forms::CheckBox> chkAutoIncrementFilename;
    QPointer<forms::CheckBox> chkPrompt;
    QPointer<forms::CommandButton> cmdView;
    QPointer<forms::CheckBox> chkThumbnail;
    QPointer<forms::Frame> frameColourOptions;
    QPointer<forms::OptionButton> OptMonochrome;
    QPointer<forms::OptionButton> opt16;
    QPointer<forms::OptionButton> opt256;
    QPointer<forms::OptionButton> optDisplayCard;
    QPointer<forms::Frame> Frame3;
    QPointer<forms::CommandButton> cmdPreview;
    QPointer<forms::CommandButton> cmdSave;
    QPointer<forms::CommandButton> cmdEmail;
    QPointer<forms::CommandButton> cmdClose;
    QPointer<forms::Frame> framePreview;
    QPointer<forms::ImageControl> Image1;
    QPointer<forms::PictureBox> Picture1;
    forms::CommonDialog dlgCommonDialog;

    // The actual-size window, which shows what the thumbnail holds, and the
    // e-mail dialog.
    frmPicture& pictureWindow() { return m_picture; }
    frmEmail& emailDialog() { return m_email; }

    // "Save to File": writes the clipboard's capture to the fixed capture
    // file, a prompted name, the next numbered name or the Filename box's
    // name. Also run by the e-mail button.
    void cmdSave_Click();
    // The same, giving the file written; empty when nothing was, after the
    // message that says why.
    QString saveCapture();
    // The same, asked from outside (a keyboard shortcut's --save or
    // --capture): to the file named instead of where the options say, when
    // one is, and of the screenshot given instead of the clipboard's capture.
    QString saveFor(const QString& output, std::optional<QImage> screenshot);

protected:
    void createControls(QWidget* window) override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;

private:
    options::Values shownOptions() const;
    void showOptions(const options::Values& values);
    QImage placeCapture(const QImage& capture);

    void cmdClose_Click();
    void chkThumbnail_Click();
    void cmdPreview_Click();
    void cmdView_Click();
    void Image1_Click();
    void cmdEmail_Click();
    void fitIntoThumbnail(const std::function<QImage()>& picture);
    void applyWindowHeightRule();

    // Every save of the run converts here.
    palette::Workspace m_workspace;
    frmPicture m_picture;
    // Answers the keyboard shortcut while the window is open.
    std::unique_ptr<ShortcutService> m_shortcuts;
    frmEmail m_email{m_picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
};
