// The program entry: the application object, then the three singletons in
// their fixed order, then the message loop, which first shows the main
// window.
#include "application.h"
#include "command_line.h"
#include "error_report.h"
#include "frm_Main_Unit.h"
#include "message_box.h"
#include "private_profile.h"
#include "startup.h"

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Prints what `action` asks for and gives the exit code.
int answer(CommandLineAction action)
{
    switch (action) {
    case CommandLineAction::PrintVersion:
        print(stdout, versionText());
        return 0;
    case CommandLineAction::PrintHelp:
        print(stdout, helpText(QCoreApplication::applicationFilePath()));
        return 0;
    case CommandLineAction::Run:
    case CommandLineAction::Refuse:
        break;
    }
    print(stderr, usageText());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // --version and --help are answered without a display. Any other
    // argument may be one of Qt's own (-platform, -style), so it is judged
    // only after the application object has taken those away.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const CommandLineAction action = parseCommandLine(arguments);
        action == CommandLineAction::PrintVersion || action == CommandLineAction::PrintHelp) {
        QCoreApplication core(argc, argv);
        return answer(action);
    }

    Application app(argc, argv);
    if (const CommandLineAction action = parseCommandLine(QCoreApplication::arguments().mid(1));
        action != CommandLineAction::Run)
        return answer(action);
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
