#include "application.h"

#include "error_report.h"
#include "message_box.h"

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // No title of the program's own: boxes are captioned after the executable.
    setApplicationName(platform::applicationTitle(applicationFilePath()));
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
