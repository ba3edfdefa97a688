// Renders the main window's five pages to PNG files, for comparing the look
// by eye: render_main_form OUTDIR [DATABASE.mdb]. Without a database the
// window shows its closed state; message boxes are recorded, not shown.
#include "fake_message_boxes.h"
#include "frm_Main_Unit.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QThreadPool>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QString database = argc > 2 ? QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath() : QString();
    FakeMessageBoxes boxes;
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("morvel.INI"));
    if (!database.isEmpty()) {
        QFile ini(config);
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write("[BD]\r\nPathToBD=" + database.toLocal8Bit() + "\r\n");
    }
    createSingletons(config);
    frm_Main->resize(1197, 661);
    frm_Main->show();
    // Photos decode on workers; their pictures arrive as events.
    QThreadPool::globalInstance()->waitForDone();
    app.processEvents();
    qInfo("font: %s %dpx; boxes: %d", qPrintable(QFontInfo(frm_Main->font()).family()),
          QFontInfo(frm_Main->font()).pixelSize(), int(boxes.shown.size()));
    for (const RecordedBox &b : boxes.shown)
        qInfo("box: %s", qPrintable(b.text));
    for (int i = 0; i < frm_Main->PageControl_Main->count(); ++i) {
        frm_Main->PageControl_Main->setCurrentIndex(i);
        app.processEvents();
        frm_Main->grab().save(QDir(dir).filePath(QStringLiteral("page%1.png").arg(i)));
    }
    destroySingletons();
    return 0;
}
