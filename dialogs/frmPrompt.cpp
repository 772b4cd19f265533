#include "dialogs/frmPrompt.h"

#include "forms/EventHandlers.h"

using namespace host;

bool PromptAccepted = false;

frmPrompt::frmPrompt()
    : forms::Form({.caption = tr("QORIX Capture - Prompt to Save"),
            .clientWidth = 6144,
            .clientHeight = 948,
            .startPosition = forms::StartPosition::CenterOwner})
{
}

void frmPrompt::createControls(QWidget* window)
{
    txtFileName = new forms::TextBox(window, "txtFileName", "C:\\Pravlek", {1008, 120, 3588, 288, 0});
    cmdCancel = new forms::CommandButton(window, "cmdCancel", tr("&Cancel"), {4728, 504, 1200, 350, 1});
    cmdOK = new forms::CommandButton(window, "cmdOK", tr("&OK"), {4728, 96, 1200, 350, 2});
    Label1 = new forms::Label(window, "Label1", tr("Filename:"), {0, 144, 996, 276, 3}, Qt::AlignRight);
    Label1->setBuddy(txtFileName);
    // Enter presses OK; Esc is deliberately not bound to Cancel.
    setDefaultButton(cmdOK);

    connect(cmdOK, &QPushButton::clicked, this, forms::handler([this] { cmdOK_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, forms::handler([this] { cmdCancel_Click(); }));
}

void frmPrompt::Form_Load()
{
    PromptAccepted = false;
}

void frmPrompt::cmdOK_Click()
{
    // The answer is set before the hide, because hiding ends the caller's wait.
    PromptAccepted = true;
    Hide();
}

void frmPrompt::cmdCancel_Click()
{
    Hide();
}
