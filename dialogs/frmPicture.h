#pragma once

#include "forms/Controls.h"
#include "forms/Form.h"
#include "forms/PictureBox.h"

#include <functional>

// Shows a picture at actual size, one picture pixel to one screen pixel, in a
// window that fits itself around it. It has no picture of its own: each time
// it loads it takes the picture that its source holds at that moment.
class frmPicture : public forms::Form {
    Q_OBJECT
public:
    explicit frmPicture(std::function<QImage()> source);

    QPointer<forms::CommandButton> cmdClose;
    QPointer<forms::PictureBox> Picture1;

    // A picture box narrower than 100 twips keeps the design layout.
    static bool keepsDesignLayout(double pictureBoxWidth) { return pictureBoxWidth < 100; }

protected:
    void createControls(QWidget* window) override;
    void Form_Load() override;

private:
    void cmdClose_Click();
    QSizeF fittedBox(double across, double down);

    std::function<QImage()> m_source;
};
