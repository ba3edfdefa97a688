#include "message_box.h"

#include "file_lookup.h"

#include <QCoreApplication>
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

// A box centred on the screen. Left to itself Qt places a parentless box
// over whichever window is active. The move follows QMessageBox's own
// showEvent, which gives the box its final size.
class ScreenCentredBox : public QMessageBox {
public:
    ScreenCentredBox(Icon icon, const QString &title)
        : QMessageBox(icon, title, QString(), QMessageBox::Ok)
    {
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        if (QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void plain(const QString &text) override
    {
        ScreenCentredBox box(QMessageBox::NoIcon, currentTitle());
        setBoxText(box, text);
        box.exec();
    }

    void error(QWidget *owner, const QString &caption, const QString &text) override
    {
        QMessageBox box(QMessageBox::Critical, caption, QString(), QMessageBox::Ok, owner);
        setBoxText(box, text);
        box.exec();
    }

    void errorReport(const QString &text) override
    {
        ScreenCentredBox box(QMessageBox::Critical, currentTitle());
        setBoxText(box, text);
        box.exec();
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
    QString name = executablePath.sliced(fileNameStart(executablePath));
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    const qsizetype firstLength = (name[0].isHighSurrogate() && name.size() > 1) ? 2 : 1;
    return name.first(firstLength) + name.sliced(firstLength).toLower();
}

} // namespace platform
