#pragma once

#include "forms/Controls.h"
#include "forms/Form.h"

// The answer of the prompt dialog: False when it loads, True from its OK.
extern bool PromptAccepted;

// The small dialog in which the user types the full path of the file about to
// be written. It hands back the text exactly as typed; the caller reads it
// after the dialog has hidden itself, and then unloads it.
class frmPrompt : public forms::Form {
    Q_OBJECT
public:
    frmPrompt();

    QPointer<forms::TextBox> txtFileName;
    QPointer<forms::CommandButton> cmdCancel;
    QPointer<forms::CommandButton> cmdOK;
    QPointer<forms::Label> Label1;

protected:
    void createControls(QWidget* window) override;
    void Form_Load() override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();
};
