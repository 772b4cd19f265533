#pragma once

#include <QString>
#include <QStringList>

namespace forms {

// A message for the desktop's mail program, which opens its compose window
// with it filled in; the person presses that program's Send.
struct MailDraft {
    QStringList addresses;
    QString subject;
    QString body;
    QString attachment; // a file, or none
};

// Opens the desktop's mail program with the draft: through the desktop
// portal's e-mail interface where one answers (the attachment handed over
// open), else through xdg-email where a default mail program is set for
// mailto:. The attachment goes as a copy of its own, which the next e-mail
// does not overwrite; copies a day old are removed then. Raises an error
// that says why none could be opened and what to do; the person closing the
// compose window is no error.
void composeInMailProgram(const MailDraft& draft);

} // namespace forms
