#pragma once

#include <QStringList>

// Picture files given to the program (opened from a file manager), each shown
// at actual size as "View a File" shows it, one after the other; one that
// cannot be read is said in a message box. Gives the exit code: 0 when every
// picture was shown, 1 when any could not be.
int viewPictures(const QStringList& pictures);
