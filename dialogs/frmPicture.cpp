#include "dialogs/frmPicture.h"

#include "host/Handlers.h"
#include "host/Screen.h"

using namespace host;

frmPicture::frmPicture(std::function<QImage()> source)
    : Form({.caption = QStringLiteral("Actual Size Bitmap"),
            .clientWidth = 7152,
            .clientHeight = 4272,
            .startPosition = StartPosition::CenterOwner}),
      m_source(std::move(source))
{
}

void frmPicture::createControls(QWidget* window)
{
    cmdClose = new CommandButton(window, "cmdClose", "&Close", {5880, 3840, 1200, 350, 0});
    Picture1 = new PictureBox(window, "Picture1", {120, 120, 6900, 3612, 1}, true);
    connect(cmdClose, &QPushButton::clicked, this, handler([this] { cmdClose_Click(); }));
}

void frmPicture::Form_Load()
{
    Picture1->setPicture(m_source());
    if (keepsDesignLayout(Picture1->Width()))
        return;
    // Sizes travel as single-precision numbers.
    setWidth(float(Picture1->Left() * 2 + Picture1->Width()));
    setHeight(float(Picture1->Top() * 2 + Picture1->Height() + 450 + CaptionHeight));
    cmdClose->setLeft(float(Picture1->Left() + Picture1->Width() - cmdClose->Width()));
    cmdClose->setTop(float(Picture1->Top() + Picture1->Height() + 50));
}

void frmPicture::cmdClose_Click()
{
    Unload();
}
