#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace forms {

// The open-file dialog. Its properties are set before each ShowOpen:
// a title, a filter of "description|patterns|description|patterns" pairs
// (patterns separated by ";"), the folder it opens in, whether Cancel raises
// a cancel error, flags (0x1000: the file must exist; 0x4: no read-only box)
// and the file name, which afterwards holds the chosen file's full path.
class CommonDialog {
public:
    static constexpr int cdlOFNHideReadOnly = 0x4;
    static constexpr int cdlOFNFileMustExist = 0x1000;

    QString DialogTitle;
    QString Filter;
    QString InitDir;
    bool CancelError = false;
    int Flags = 0;
    QString FileName;

    void ShowOpen(QWidget* owner = nullptr);

    // The filter as Qt's name filters: each pattern matches whatever the
    // letter case, and "*.*" matches every file, names without a dot too.
    static QStringList toNameFilters(const QString& filter);
};

} // namespace forms
