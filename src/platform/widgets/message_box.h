// The program's message boxes, behind one small interface so that tests can
// see and answer them (setMessageBoxes()).
#pragma once

#include <QString>

class QWidget;

namespace platform {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // The plain box: application title as caption, the text, OK, no icon,
    // modal, centred on the screen.
    virtual void plain(const QString &text) = 0;

    // A box with its own caption, the error icon and OK, owned by `owner`.
    virtual void error(QWidget *owner, const QString &caption, const QString &text) = 0;

    // The default error report for an error nothing else caught: application
    // title as caption, error icon, OK. `text` is shown as given; callers use
    // errorReportText() to apply the full-stop rule.
    virtual void errorReport(const QString &text) = 0;
};

MessageBoxes &messageBoxes();                // the installed one (QMessageBox-based by default)
void setMessageBoxes(MessageBoxes *boxes);   // nullptr restores the default

// The error text with a full stop appended unless its last character is a
// full stop or sorts before it (so "!", " " and "." get none).
QString errorReportText(const QString &errorText);

// The executable's file name without its folder, cut at its first dot, every
// letter after the first in lower case ("MORVEL.EXE" -> "Morvel").
QString applicationTitle(const QString &executablePath);

} // namespace platform
