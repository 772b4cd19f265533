#include "dialogs/frmPicture.h"

#include "forms/EventHandlers.h"
#include "forms/MessageBox.h"
#include "forms/Screen.h"

#include <algorithm>

using namespace host;

frmPicture::frmPicture(std::function<QImage()> source)
    : forms::Form({.caption = tr("Actual Size Bitmap"),
            .clientWidth = 7152,
            .clientHeight = 4272,
            .startPosition = forms::StartPosition::CenterOwner}),
      m_source(std::move(source))
{
}

void frmPicture::createControls(QWidget* window)
{
    cmdClose = new forms::CommandButton(window, "cmdClose", tr("&Close"), {5880, 3840, 1200, 350, 0});
    Picture1 = new forms::PictureBox(window, "Picture1", {120, 120, 6900, 3612, 1}, true);
    connect(cmdClose, &QPushButton::clicked, this, forms::handler([this] { cmdClose_Click(); }));
}

void frmPicture::Form_Load()
{
    Picture1->setPicture(m_source());
    if (keepsDesignLayout(Picture1->Width()))
        return;
    // The window is the picture box with margins around it and the Close
    // button's row below; it takes the box's size unless that is more than
    // the screen holds.
    const double across = Picture1->Left() * 2;
    const double down = Picture1->Top() * 2 + 450 + CaptionHeight;
    const QSizeF box = fittedBox(across, down);
    // A picture narrower than the Close button gets a window wide enough
    // for the button, which always stands inside it.
    const double inner = std::max(box.width(), cmdClose->Width());
    // Sizes travel as single-precision numbers.
    setWidth(float(across + inner));
    setHeight(float(down + box.height()));
    cmdClose->setLeft(float(Picture1->Left() + inner - cmdClose->Width()));
    cmdClose->setTop(float(Picture1->Top() + box.height() + 50));
}

// The picture box's size, or, for a picture larger than the screen, the part
// of the screen that is left for it: the picture then stays unscaled inside
// scroll bars.
QSizeF frmPicture::fittedBox(double across, double down)
{
    const QRect screen = forms::availableScreenArea(forms::dialogOwner());
    const double roomWidth = forms::logicalPixelsToTwips(screen.width()) - across;
    const double roomHeight = forms::logicalPixelsToTwips(screen.height()) - down;
    const double width = Picture1->Width();
    const double height = Picture1->Height();
    if (screen.isEmpty() || (width <= roomWidth && height <= roomHeight))
        return {width, height};
    // A scroll bar in one direction takes room from the other.
    const double bar = forms::ScrollBox::scrollBarTwips();
    bool wide = width > roomWidth;
    bool tall = height > roomHeight;
    for (int pass = 0; pass < 2; ++pass) {
        tall = tall || (wide && height + bar > roomHeight);
        wide = wide || (tall && width + bar > roomWidth);
    }
    const QSizeF box(wide ? roomWidth : width + bar, tall ? roomHeight : height + bar);

    auto* scroller =
        new forms::ScrollBox(window(), "pictureScroller", {Picture1->Left(), Picture1->Top(), box.width(), box.height()});
    scroller->setWidget(Picture1);
    scroller->show();
    return box;
}

void frmPicture::cmdClose_Click()
{
    Unload();
}
