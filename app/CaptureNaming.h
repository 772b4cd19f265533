#pragma once

#include <QString>

// How the save command builds file names from the Filename box.
namespace naming {

// Leading and trailing blanks (spaces) removed; other characters are kept.
QString trimBlanks(const QString& text);

// The name with ".BMP" appended, unless its last four characters already
// read ".BMP" in any letter case.
QString withBmpExtension(const QString& name);

// The counter with at least three digits: 001, 099, 1000, 10001.
QString counterText(int counter);

// The prefix without its blanks, the counter, and ".BMP".
QString numberedName(const QString& prefix, int counter);

} // namespace naming
