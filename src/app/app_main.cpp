// The program entry: the application object, then the three singletons in
// their fixed order, then the message loop, which first shows the main
// window.
#include "application.h"
#include "error_report.h"
#include "frm_Main_Unit.h"
#include "message_box.h"
#include "private_profile.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    try {
        createSingletons(platform::configFileFor(QCoreApplication::applicationFilePath()));
    } catch (const std::exception &error) {
        // Nothing can run without the singletons: report and end.
        reportError(error);
        return 1;
    }
    // The loop's first event shows the main window, whose first show opens
    // the database.
    QMetaObject::invokeMethod(frm_Main, &QWidget::show, Qt::QueuedConnection);
    const int code = app.exec();
    destroySingletons();
    return code;
}
