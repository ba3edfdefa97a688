#include "message_box.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QScreen>

namespace platform {

namespace {

// Windows message boxes break lines at a lone carriage return too, and never
// read the text as markup (a path may contain "<").
void setBoxText(QMessageBox &box, const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
}

// Centres a parentless box on the screen once it has its final size; left to
// itself Qt would place it over whichever window is active.
class ScreenCentring : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *w = static_cast<QWidget *>(watched);
            if (QScreen *screen = w->screen()) {
                QRect frame = w->frameGeometry();
                frame.moveCenter(screen->availableGeometry().center());
                w->move(frame.topLeft());
            }
        }
        return false;
    }
};

void execOnScreenCentre(QMessageBox &box)
{
    ScreenCentring centring;
    box.installEventFilter(&centring);
    box.exec();
}

class QtMessageBoxes final : public MessageBoxes {
public:
    void plain(const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, currentTitle(), QString(), QMessageBox::Ok);
        setBoxText(box, text);
        execOnScreenCentre(box);
    }

    void error(QWidget *owner, const QString &caption, const QString &text) override
    {
        QMessageBox box(QMessageBox::Critical, caption, QString(), QMessageBox::Ok, owner);
        setBoxText(box, text);
        box.exec();
    }

    void errorReport(const QString &text) override
    {
        QMessageBox box(QMessageBox::Critical, currentTitle(), QString(), QMessageBox::Ok);
        setBoxText(box, text);
        execOnScreenCentre(box);
    }

private:
    static QString currentTitle()
    {
        return applicationTitle(QCoreApplication::applicationFilePath());
    }
};

QtMessageBoxes defaultBoxes;
MessageBoxes *installed = nullptr;

} // namespace

MessageBoxes &messageBoxes()
{
    return installed ? *installed : defaultBoxes;
}

void setMessageBoxes(MessageBoxes *boxes)
{
    installed = boxes;
}

QString errorReportText(const QString &errorText)
{
    // Only a non-empty text can end in a character after the full stop; an
    // empty text stays empty rather than becoming a lone ".".
    if (!errorText.isEmpty() && errorText.back().unicode() > u'.')
        return errorText + u'.';
    return errorText;
}

QString applicationTitle(const QString &executablePath)
{
    const qsizetype nameStart = std::max(executablePath.lastIndexOf(u'/'),
                                         executablePath.lastIndexOf(u'\\')) + 1;
    QString name = executablePath.sliced(nameStart);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    const qsizetype firstLength = (name[0].isHighSurrogate() && name.size() > 1) ? 2 : 1;
    return name.first(firstLength) + name.sliced(firstLength).toLower();
}

} // namespace platform
