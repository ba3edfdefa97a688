// morvel-bench-pictures [--records N] DIR: what holding the Down key costs
// in a grid whose every record names a different camera photo.
//
// DIR receives a stock of N drills (200 unless told) and, unless already
// there, N different 4000 x 3000 JPEGs of about 4 MB, one per drill. The
// main window is shown offscreen on that stock; each move sets the next
// record current and repaints the drills' picture view at once: the file
// test, the read, the JPEG header and the repaint, while the body decodes on
// a worker. Then the time until the record's own picture is painted, a held
// Down key at three repeat rates, and the same files decoded at full size, for
// comparison. Prints a few lines of figures; run it on an idle machine.
#include "DM_Unit.h"
#include "application.h"
#include "dataset.h"
#include "frm_Main_Unit.h"
#include "image_view.h"
#include "picture_decoding.h"
#include "pictures.h"
#include "startup.h"
#include "stock_schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The GUI thread's processor time: on a busy machine the wall clock also
// counts the time other processes had the core.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString photoName(int i) { return u"photo_%1.jpg"_s.arg(i, 3, 10, QLatin1Char('0')); }

// The photos differ in subject and grain; quality 90 brings a 12-megapixel
// picture with grain to about 4 MB, as a camera's.
void writePhotos(const QString &dir, int count)
{
    using stock::pictures::Tool;
    const Tool kinds[] = {Tool::Drill, Tool::Cutter, Tool::Holder, Tool::Insert};
    for (int i = 0; i < count; ++i) {
        const QString path = dir + u"/Images/Instrument/"_s + photoName(i);
        if (QFileInfo(path).size() > 0)
            continue;
        stock::pictures::save(stock::pictures::photo(kinds[i % 4], i, QSize(4000, 3000), unsigned(i)), path.toStdString(), 90);
        std::fprintf(stderr, "\rphotos: %d/%d", i + 1, count);
    }
    std::fprintf(stderr, "\n");
}

void writeStock(const QString &path, int count)
{
    jetdb::Database db(jetdb::Format::Jet4);
    stock::StockTables t = stock::addStockTables(db);
    stock::addToolKinds(t.listTabl);
    t.firma.addRow({std::int64_t(1), std::string("Sandvik Coromant")});
    for (int i = 0; i < count; ++i)
        t.sverla.addNamedRow({{"Kod", "R840-" + std::to_string(i)}, {"Diam_Sverla", 1.0 + i},
                              {"K_vo_New", std::int64_t(i % 3)}, {"K_vo_BU", std::int64_t(1)},
                              {"Pikcher", photoName(i).toStdString()}, {"ID_Firma", std::int64_t(1)}});
    db.write(path.toStdString());
}

struct Figures {
    double mean, median, worst;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms)
        sum += m;
    return {sum / double(ms.size()), ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    int count = 200;
    QString dir;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--records") == 0 && i + 1 < argc)
            count = std::max(1, atoi(argv[++i]));
        else
            dir = QString::fromLocal8Bit(argv[i]);
    }
    if (dir.isEmpty()) {
        std::fprintf(stderr, "usage: morvel-bench-pictures [--records N] DIR\n");
        return 2;
    }
    QDir().mkpath(dir);
    dir = QFileInfo(dir).absoluteFilePath();
    writePhotos(dir, count);
    const QString database = dir + u"/bench_pictures.mdb"_s;
    writeStock(database, count);
    const QString config = dir + u"/morvel.INI"_s;
    QFile ini(config);
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[BD]\r\nPathToBD=" + QFile::encodeName(database) + "\r\n");
    ini.close();

    createSingletons(config);
    frm_Main->FAppDir = dir + u"/app/"_s;
    frm_Main->show();
    ImageView *view = frm_Main->im_PicSv;
    const long peakBefore = peakKb();

    // One move at a time: the move with its repaint (what the GUI thread
    // spends before the next key press is handled), then the wait until the
    // record's own picture is painted, and the GUI thread's share of that.
    std::vector<double> moves, moveCpu, latency, arrivalCpu;
    QElapsedTimer timer;
    for (int pass = 0; pass < 2; ++pass) {  // the first pass warms the file cache
        moves.clear();
        moveCpu.clear();
        latency.clear();
        arrivalCpu.clear();
        for (int row = 0; row < count; ++row) {
            double cpu = threadCpuMs();
            timer.start();
            DM->dtset_Sverla->setCurrentRow(row);
            view->repaint();
            moves.push_back(double(timer.nsecsElapsed()) / 1e6);
            moveCpu.push_back(threadCpuMs() - cpu);
            double waitedCpu = 0;
            while (view->picturePending()) {
                const double before = threadCpuMs();
                QThread::usleep(200);  // a poll, not counted as the GUI thread's work
                waitedCpu += threadCpuMs() - before;
                QCoreApplication::processEvents();
            }
            view->repaint();
            latency.push_back(double(timer.nsecsElapsed()) / 1e6);
            arrivalCpu.push_back(threadCpuMs() - cpu - moveCpu.back() - waitedCpu);
        }
    }
    const long peakMoves = peakKb();
    const Figures move = figures(moves);
    const Figures moveCpuFigures = figures(moveCpu);
    const Figures latencyFigures = figures(latency);
    const Figures arrivalCpuFigures = figures(arrivalCpu);
    const QSize shownSize = view->picture().size();
    const QSize viewSize = view->size();
    const qreal ratio = view->devicePixelRatioF();
    const QSize deviceSize = (QSizeF(viewSize) * ratio).toSize();

    // A held Down key: a move every `interval` ms, from the first record to
    // the last, the message loop running in between as it would. Gives how
    // late a move came at worst against the key's rhythm, counts the records
    // whose picture was painted before the next move (the others' decodes
    // were dropped), and checks that the picture finally shown is the last
    // record's.
    std::string held;
    for (int interval : {66, 33, 16}) {
        DM->dtset_Sverla->setCurrentRow(0);
        view->waitForPicture();
        int painted = 0;
        double lateMs = 0;
        timer.start();
        for (int row = 1; row < count; ++row) {
            lateMs = std::max(lateMs, double(timer.nsecsElapsed()) / 1e6 - double(row - 1) * interval);
            DM->dtset_Sverla->setCurrentRow(row);
            view->repaint();
            const qint64 shownKey = view->picture().cacheKey();
            const qint64 due = qint64(row) * interval;
            QEventLoop loop;
            QTimer::singleShot(int(std::max<qint64>(0, due - timer.elapsed())), Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
            if (view->picture().cacheKey() != shownKey)
                ++painted;
        }
        view->waitForPicture();
        QFile last(dir + u"/Images/Instrument/"_s + photoName(count - 1));
        if (!last.open(QIODevice::ReadOnly))
            return 1;
        const bool right = view->picture() == platform::decodePicture(last.readAll(), u"jpg"_s, deviceSize);
        char line[200];
        std::snprintf(line, sizeof line, "held_key every=%dms moves=%d painted=%d dropped=%d worst_late_ms=%.1f final_is_last=%s\n",
                      interval, count - 1, painted, count - 1 - painted, lateMs, right ? "yes" : "NO");
        held += line;
    }
    const long peakHeld = peakKb();

    // The worker's part of a move, here on this thread: the same files
    // decoded at the view's size, then at full size.
    std::vector<double> scaledCpu, full, fullCpu;
    QSize fullSize;
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        QFile file(dir + u"/Images/Instrument/"_s + photoName(i));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray data = file.readAll();
        bytes += data.size();
        const double scaledStart = threadCpuMs();
        platform::decodePicture(data, u"jpg"_s, deviceSize);
        scaledCpu.push_back(threadCpuMs() - scaledStart);
        const double fullStart = threadCpuMs();
        timer.start();
        const QImage image = platform::decodePicture(data, u"jpg"_s, QSize());
        full.push_back(double(timer.nsecsElapsed()) / 1e6);
        fullCpu.push_back(threadCpuMs() - fullStart);
        fullSize = image.size();
    }
    const Figures decode = figures(full);
    const Figures decodeCpu = figures(fullCpu);
    const Figures scaledDecodeCpu = figures(scaledCpu);
    const long peakFull = peakKb();
    destroySingletons();

    std::printf("records=%d mean_file_kb=%lld view=%dx%d@%.1f decoded=%dx%d\n"
                "move_ms mean=%.2f median=%.2f max=%.2f cpu_mean=%.2f cpu_median=%.2f peak_rss_kb before=%ld after=%ld\n"
                "painted_after_ms mean=%.2f median=%.2f max=%.2f arrival_cpu_mean=%.2f arrival_cpu_median=%.2f\n"
                "%speak_rss_kb after_held_key=%ld\n"
                "view_decode cpu_mean=%.2f cpu_median=%.2f\n"
                "full_decode=%dx%d ms mean=%.2f median=%.2f max=%.2f cpu_mean=%.2f cpu_median=%.2f peak_rss_kb=%ld\n",
                count, bytes / count / 1024, viewSize.width(), viewSize.height(), ratio,
                shownSize.width(), shownSize.height(), move.mean, move.median, move.worst, moveCpuFigures.mean,
                moveCpuFigures.median, peakBefore, peakMoves, latencyFigures.mean, latencyFigures.median,
                latencyFigures.worst, arrivalCpuFigures.mean, arrivalCpuFigures.median, held.c_str(), peakHeld,
                scaledDecodeCpu.mean, scaledDecodeCpu.median,
                fullSize.width(), fullSize.height(), decode.mean, decode.median, decode.worst, decodeCpu.mean,
                decodeCpu.median, peakFull);
    return 0;
}
