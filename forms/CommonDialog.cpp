#include "forms/CommonDialog.h"

#include "forms/MessageBox.h"
#include "host/HostError.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPointer>

namespace forms {
namespace {

// "*.bmp" becomes "*.[bB][mM][pP]".
QString anyCase(const QString& pattern)
{
    if (pattern == QLatin1String("*.*"))
        return QStringLiteral("*");
    QString result;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

} // namespace

QStringList CommonDialog::toNameFilters(const QString& filter)
{
    QStringList filters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << anyCase(pattern.trimmed());
        // The patterns in the last brackets are the ones Qt uses; the
        // description shows as it was given.
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

void CommonDialog::ShowOpen(QWidget* owner)
{
    // On the heap, like every dialog that may outlive its owner's deletion.
    QPointer<QFileDialog> dialog = new QFileDialog(owner ? owner : dialogOwner(), DialogTitle, InitDir);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode((Flags & cdlOFNFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = toNameFilters(Filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    if (!FileName.isEmpty())
        dialog->selectFile(FileName);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog && !dialog->selectedFiles().isEmpty();
    const QString chosen = accepted ? dialog->selectedFiles().constFirst() : QString();
    delete dialog.data();
    if (!accepted) {
        if (CancelError)
            host::raiseError(host::ErrorKind::Cancel, QCoreApplication::translate("host", "Cancel was selected."));
        return;
    }
    FileName = chosen;
}

} // namespace forms
