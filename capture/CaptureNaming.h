#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace host {
class AtomicFile;
}

// How the save command builds file names from the Filename box.
namespace capture {

// Leading and trailing blanks (spaces) removed; other characters are kept.
QString trimBlanks(const QString& text);

// The name with ".BMP" appended, unless its last four characters already
// read ".BMP" in any letter case.
QString withBmpExtension(const QString& name);

// The counter with at least three digits: 001, 099, 1000, 10001.
QString counterText(int counter);

// The Filename with the date and time of a save in it: %Y the year, %m the
// month, %d the day, %H the hour, %M the minute and %S the second, each with
// two digits (the year four), and %% a %; any other % stays as it is.
QString withDates(const QString& text, const QDateTime& when);

// The name typed in a box: without its blanks, and with "~/" at its start
// meaning the home folder.
QString typedName(const QString& text);

// The typed prefix, the counter, and ".BMP".
QString numberedName(const QString& prefix, int counter);

// The numbered name of the first counter, from 001 to kLastNumber, that
// nothing has (no file, folder, link or anything else); none when every one
// is taken.
constexpr int kLastNumber = 10001;
std::optional<QString> firstFreeNumberedName(const QString& prefix);

// Puts a written file in place under the first numbered name that nothing
// has. A name taken meanwhile, by another program say, is passed over and
// never replaced; no name is tried twice. The name given, or none when every
// number is taken.
std::optional<QString> commitNumbered(host::AtomicFile& file, const QString& prefix);

} // namespace capture
