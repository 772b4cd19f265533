#include "forms/Accessibility.h"

#include "forms/Controls.h"
#include "forms/Form.h"
#include "forms/ImageControl.h"

#include <QAccessibleWidget>

namespace forms {
namespace {

// Option buttons of a group that may have none set are not exclusive to Qt,
// which would present them as check boxes: a screen reader hears radio
// buttons, as a sighted user sees them.
class AccessibleOptionButton : public QAccessibleWidget {
public:
    explicit AccessibleOptionButton(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return button()->text().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* accessibleControl(const QString& className, QObject* object)
{
    if (className == QLatin1String(OptionButton::staticMetaObject.className()))
        return new AccessibleOptionButton(static_cast<OptionButton*>(object));
    if (className == QLatin1String(ImageControl::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<ImageControl*>(object), QAccessible::Graphic);
    if (className == QLatin1String(FormWindow::staticMetaObject.className())) {
        auto* window = static_cast<FormWindow*>(object);
        return new QAccessibleWidget(window, window->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window);
    }
    return nullptr;
}

} // namespace

void presentControlsToScreenReaders()
{
    QAccessible::installFactory(accessibleControl);
}

} // namespace forms
