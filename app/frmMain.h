#pragma once

#include "app/Options.h"
#include "app/SaveCommand.h"
#include "app/StoredOptions.h"
#include "dialogs/frmPicture.h"
#include "email/frmEmail.h"
#include "forms/CommonDialog.h"
#include "forms/Controls.h"
#include "forms/Form.h"
#include "forms/ImageControl.h"
#include "forms/PictureBox.h"

// The main window: the options, the commands and the thumbnail of the last
// picture. Loading it starts the program; unloading it ends the program.
class frmMain : public host::Form {
    Q_OBJECT
public:
    frmMain();

    // Set by the e-mail button; the save command takes and clears it, so that
    // exactly one save goes to the fixed capture file.
    bool SaveToAppFolder = false;
    // The thumbnail's design size in twips: the largest a fitted thumbnail gets.
    qint32 ThumbnailBoxWidth = 0;
    qint32 ThumbnailBoxHeight = 0;

    QPointer<host::Frame> frameFilename;
    QPointer<host::Label> Label1;
    QPointer<host::TextBox> txtFileName;
    QPointer<host::Label> Label2;
    QPointer<host::Label> lblLastMade;
    QPointer<host::CheckBox> chkAutoIncrementFilename;
    QPointer<host::CheckBox> chkPrompt;
    QPointer<host::CommandButton> cmdView;
    QPointer<host::CheckBox> chkThumbnail;
    QPointer<host::Frame> frameColourOptions;
    QPointer<host::OptionButton> OptMonochrome;
    QPointer<host::OptionButton> opt16;
    QPointer<host::OptionButton> opt256;
    QPointer<host::OptionButton> optDisplayCard;
    QPointer<host::Frame> Frame3;
    QPointer<host::CommandButton> cmdPreview;
    QPointer<host::CommandButton> cmdSave;
    QPointer<host::CommandButton> cmdEmail;
    QPointer<host::CommandButton> cmdClose;
    QPointer<host::Frame> framePreview;
    QPointer<host::ImageControl> Image1;
    QPointer<host::PictureBox> Picture1;
    host::CommonDialog dlgCommonDialog;

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
    frmEmail m_email{m_picture, {options::kSection, options::kEmailAddress, options::kEmailSubject}, CaptureFilePath()};
};
