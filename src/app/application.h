// The application object. Besides running the message loop it is the last
// line of the default error report: an exception that escapes an event
// handler is shown to the user and the loop goes on.
#pragma once

#include <QApplication>
#include <QIcon>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The icon at every size built into the program.
    static QIcon applicationIcon();
};
