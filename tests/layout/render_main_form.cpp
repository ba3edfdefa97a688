// Renders the main window's five pages to PNG files in the folder given as
// the first argument (default /tmp), for comparing the look by eye.
#include "ui_frm_Main.h"

#include "form_setup.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTabWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QMainWindow window;
    Ui::Tfrm_Main ui;
    ui.setupUi(&window);
    prepareForm(&window);
    window.resize(1197, 661);
    window.show();
    qInfo("font: %s %dpx", qPrintable(QFontInfo(window.font()).family()), QFontInfo(window.font()).pixelSize());
    for (int i = 0; i < ui.PageControl_Main->count(); ++i) {
        ui.PageControl_Main->setCurrentIndex(i);
        app.processEvents();
        window.grab().save(QDir(dir).filePath(QStringLiteral("page%1.png").arg(i)));
    }
    return 0;
}
