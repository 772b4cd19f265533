// Must not compile: mail/ uses no Qt Widgets.
#include <QtWidgets/QWidget>
