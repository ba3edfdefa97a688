// The file-open chooser, behind a small interface so that tests can confirm a
// name, type a missing one or cancel without a real dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QWidget;

namespace platform {

class FileChooser {
public:
    virtual ~FileChooser() = default;

    // Runs the chooser modally over `owner`: the chosen file's full path, or
    // nothing when the user cancels.
    virtual std::optional<QString> choose(QWidget *owner) = 0;
};

// A chooser on QFileDialog with a Windows-style filter ("description|pattern",
// pairs separated by "|", patterns by ";"). It accepts a typed name of a
// missing file, hides the read-only box, can be resized, and starts each run
// from the name last confirmed in it. It writes no file: Qt's own saving of
// the dialog's state is kept from reaching the disk.
class OpenFileChooser final : public FileChooser {
public:
    explicit OpenFileChooser(const QString &filter);

    std::optional<QString> choose(QWidget *owner) override;

    // Applies the filter and the options to `dialog`; choose() runs it.
    void configure(QFileDialog &dialog) const;

    QString lastName() const { return m_lastName; }

private:
    QStringList m_nameFilters;
    QString m_lastName;
};

// Qt name filters from a Windows filter: "Text files|*.txt;*.log" gives
// "Text files (*.txt *.log)"; a description that already ends with its
// patterns in brackets is kept as it is.
QStringList qtNameFilters(const QString &windowsFilter);

} // namespace platform
