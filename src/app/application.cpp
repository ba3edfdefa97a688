#include "application.h"

#include "error_report.h"
#include "message_box.h"

#include <QDirIterator>
#include <QIcon>

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // No title of the program's own: boxes are captioned after the executable.
    setApplicationName(platform::applicationTitle(applicationFilePath()));
    // Every window, dialog and message box carries the application icon;
    // the desktop entry's name ties the windows to the menu entry.
    setWindowIcon(applicationIcon());
    setDesktopFileName(QStringLiteral("morvel"));
}

QIcon Application::applicationIcon()
{
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (sizes.hasNext())
        icon.addFile(sizes.next() + QStringLiteral("/apps/morvel.png"));
    return icon;
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportError(error);
    }
    return false;
}
