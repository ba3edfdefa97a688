#include "file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace platform {

namespace {

// QFileDialog keeps its history, last folder and layout in Qt's user settings
// (~/.config/QtProject.conf), saved whenever a dialog is destroyed; no option
// turns that off. Morvel writes no file but its configuration file, so Qt's
// user settings are pointed under /dev/null, where no folder can be made (not
// even by root): the save then fails quietly, and there is nothing to read.
// Morvel itself keeps no QSettings.
void keepQtUserSettingsUnwritten()
{
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

} // namespace

QStringList qtNameFilters(const QString &windowsFilter)
{
    QStringList filters;
    const QStringList parts = windowsFilter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &p : patterns)
            p = p.trimmed();
        const QString joined = patterns.join(u' ');
        // Qt reads the patterns from the description's last brackets.
        if (description.endsWith(u'(' + joined + u')'))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + joined + u')';
    }
    return filters;
}

OpenFileChooser::OpenFileChooser(const QString &filter)
    : m_nameFilters(qtNameFilters(filter))
{
}

void OpenFileChooser::configure(QFileDialog &dialog) const
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);   // a missing typed name is accepted
    // The same chooser on every desktop, and one tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setSizeGripEnabled(true);
    if (!m_nameFilters.isEmpty())
        dialog.setNameFilters(m_nameFilters);
    if (!m_lastName.isEmpty()) {
        const QFileInfo last(m_lastName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
}

std::optional<QString> OpenFileChooser::choose(QWidget *owner)
{
    keepQtUserSettingsUnwritten();
    QFileDialog dialog(owner);
    configure(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    m_lastName = dialog.selectedFiles().constFirst();
    return m_lastName;
}

} // namespace platform
