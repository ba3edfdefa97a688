// morvel-bench-open FILE: the time and memory of opening a database the way
// the program does at start-up, through the data module's OpenBD (connect,
// then the five data sets in page order).
// morvel-bench-open --plan FILE: prints how SQLite runs each data set's query
// (EXPLAIN QUERY PLAN), to check that joins are keyed look-ups.
// morvel-bench-open --digest FILE: prints a digest of every value of each
// data set in its order, to check that a faster engine gives the same rows.
// morvel-bench-open --sort FILE: also times re-sorting the largest data sets
// by a text column, as a click on a column title does.
// morvel-bench-open --click FILE: opens FILE through the main window instead
// and times whole title clicks on the drills and debts grids (the handler's
// sort and locate, then the first repaint of the visible rows), the first
// and a repeated click on every shown title, and the repaint of one screenful.
// --click clicks as soon as the window is open; --click-idle first waits
// until the sort keys ranked ahead are made, as a user who looks first;
// --click-cold opens each grid's data set anew before each title's first
// click, so that every first click ranks all its keys itself, as the very
// first click after the open does when the ranking ahead has not begun.
#include "DM_Unit.h"
#include "connection.h"
#include "data_source.h"
#include "dataset.h"
#include "db_grid.h"
#include "field.h"
#include "frm_Main_Unit.h"
#include "result_table.h"
#include "db_error.h"
#include "startup.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// CPU time of this thread in nanoseconds: on a busy machine it tells the
// work apart from the waiting that the wall clock also counts.
qint64 cpuNanoseconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Title clicks through the main window as the user makes them; returns the
// process's exit code.
long peakKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);  // ru_maxrss is in kilobytes on Linux
    return usage.ru_maxrss;
}

enum class ClickMode { AtOnce, Idle, Cold };

int timeTitleClicks(const QString &path, ClickMode mode)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"morvel.INI"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("[BD]\nPathToBD=" + QFile::encodeName(path) + "\n");
    file.close();

    QElapsedTimer timer;
    timer.start();
    createSingletons(config);
    frm_Main->show();  // opens the database
    QCoreApplication::processEvents();
    std::printf("open_ms=%lld peak_rss_kb=%ld\n", static_cast<long long>(timer.elapsed()), peakKb());
    if (mode == ClickMode::Idle) {
        // As a user who looks before clicking: the sort keys ranked ahead.
        QElapsedTimer wait;
        wait.start();
        while ((DM->dtset_Sverla->rankingAhead() || DM->dtset_Dolgi->rankingAhead()) && wait.elapsed() < 60000) {
            QCoreApplication::processEvents();
            usleep(5000);
        }
        std::printf("ranked ahead after %lld ms, peak_rss_kb=%ld\n", static_cast<long long>(wait.elapsed()), peakKb());
    }

    // Every shown title of the drills and debts grids, in the grids' order:
    // the first click ranks what the key list needs and no earlier click
    // ranked; the second reuses it.
    const struct {
        int page;
        DBGrid *grid;
        void (Tfrm_Main::*click)(int);
    } grids[] = {
        {0, frm_Main->dbgr_Sverlo, &Tfrm_Main::dbgr_SverloTitleClick},
        {4, frm_Main->dbgrid_Dolgi, &Tfrm_Main::dbgrid_DolgiTitleClick},
    };
    double worstPer100k = 0;
    for (const auto &g : grids) {
        frm_Main->PageControl_Main->setCurrentIndex(g.page);
        QCoreApplication::processEvents();
        db::DataSet *dataSet = g.grid->dataSource()->dataSet();
        for (int column = 0; column < g.grid->columnCount(); ++column) {
            if (!g.grid->columnField(column) || g.grid->isColumnHidden(column))
                continue;
            if (mode == ClickMode::Cold) {
                // The query's rows again, with no ranks made and none under way.
                dataSet->close();
                dataSet->open();
                QCoreApplication::processEvents();
            }
            // Somewhere in the middle, as after scrolling.
            dataSet->setCurrentRow(dataSet->recordCount() / 3);
            g.grid->viewport()->repaint();
            for (const char *round : {"first", "again"}) {
                const qint32 id = dataSet->fieldByName(u"ID"_s)->asInteger();
                QElapsedTimer click;
                const qint64 cpuStart = cpuNanoseconds();
                click.start();
                (frm_Main->*g.click)(column);
                const qint64 handler = click.nsecsElapsed();
                g.grid->viewport()->repaint();
                const qint64 total = click.nsecsElapsed();
                const qint64 cpu = cpuNanoseconds() - cpuStart;
                if (dataSet->fieldByName(u"ID"_s)->asInteger() != id) {
                    std::fprintf(stderr, "morvel-bench-open: the click lost the current record\n");
                    return 1;
                }
                const double per100k = total / 1e6 * 100000 / std::max(1, dataSet->recordCount());
                worstPer100k = std::max(worstPer100k, per100k);
                std::printf("click %s %s, by %s (%s): %.1f ms, cpu %.1f ms, %.1f ms per 100000 rows "
                            "(sort+locate %.1f, repaint %.1f; %d rows)\n",
                            qPrintable(dataSet->name()), qPrintable(g.grid->columnField(column)->fieldName()),
                            qPrintable(dataSet->sort()), round, total / 1e6, cpu / 1e6, per100k, handler / 1e6, (total - handler) / 1e6,
                            dataSet->recordCount());
            }
        }
    }
    std::printf("slowest click: %.1f ms per 100000 rows\n", worstPer100k);
    // One screenful, as when the window is uncovered.
    frm_Main->PageControl_Main->setCurrentIndex(0);
    QCoreApplication::processEvents();
    constexpr int kRepaints = 50;
    QElapsedTimer paint;
    const qint64 cpuStart = cpuNanoseconds();
    paint.start();
    for (int i = 0; i < kRepaints; ++i)
        frm_Main->dbgr_Sverlo->viewport()->repaint();
    std::printf("repaint drills screenful: %.2f ms, cpu %.2f ms\n", paint.nsecsElapsed() / 1e6 / kRepaints,
                (cpuNanoseconds() - cpuStart) / 1e6 / kRepaints);
    std::printf("peak_rss_kb=%ld\n", peakKb());
    destroySingletons();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The data module lives beside the main window in the program; no window
    // is needed to time the open.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool plan = argc == 3 && qstrcmp(argv[1], "--plan") == 0;
    const bool digest = argc == 3 && qstrcmp(argv[1], "--digest") == 0;
    const bool sort = argc == 3 && qstrcmp(argv[1], "--sort") == 0;
    const bool click = argc == 3 && qstrcmp(argv[1], "--click") == 0;
    const bool clickIdle = argc == 3 && qstrcmp(argv[1], "--click-idle") == 0;
    const bool clickCold = argc == 3 && qstrcmp(argv[1], "--click-cold") == 0;
    if (argc != 2 && !plan && !digest && !sort && !click && !clickIdle && !clickCold) {
        std::fprintf(stderr, "usage: morvel-bench-open [--plan | --digest | --sort | --click | --click-idle | --click-cold] FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[argc - 1]);
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "morvel-bench-open: no such file: %s\n", argv[argc - 1]);
        return 2;
    }
    if (click || clickIdle || clickCold)
        return timeTitleClicks(path, clickIdle ? ClickMode::Idle : clickCold ? ClickMode::Cold : ClickMode::AtOnce);

    DM = new TDM;
    long long rows = 0;
    // The processor time beside the wall time: on a busy machine it varies
    // far less.
    const auto cpuMs = [] {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    };
    QElapsedTimer timer;
    timer.start();
    const qint64 startCpu = cpuMs();
    // Where the time goes, on stderr: each data set's open, the first one
    // with the connect (reading the file) before it.
    QStringList steps;
    qint64 last = 0, lastCpu = startCpu;
    const auto step = [&](const QString &name) {
        const qint64 now = timer.elapsed(), cpu = cpuMs();
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        steps.append(name + u'=' + QString::number(now - last) + u"(cpu="_s + QString::number(cpu - lastCpu)
                     + u",peak_kb="_s + QString::number(usage.ru_maxrss) + u')');
        last = now;
        lastCpu = cpu;
    };
    for (db::DataSet *dataSet : {DM->dtset_Sverla, DM->dtset_Frezy, DM->dtset_Derj, DM->dtset_Plast, DM->dtset_Dolgi}) {
        QObject::connect(dataSet, &db::DataSet::afterOpen, [&, dataSet] { step(dataSet->name() + u"_ms"_s); });
    }
    try {
        DM->OpenBD(path);
        for (db::DataSet *dataSet : {DM->dtset_Sverla, DM->dtset_Frezy, DM->dtset_Derj, DM->dtset_Plast, DM->dtset_Dolgi})
            rows += dataSet->recordCount();
    } catch (const db::Error &error) {
        std::fprintf(stderr, "morvel-bench-open: %s\n", error.what());
        return 1;
    }
    const qint64 elapsed = timer.elapsed(), elapsedCpu = cpuMs() - startCpu;
    if (digest) {
        for (db::DataSet *dataSet : {DM->dtset_Sverla, DM->dtset_Frezy, DM->dtset_Derj, DM->dtset_Plast, DM->dtset_Dolgi}) {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            const int fields = int(dataSet->fields().size());
            for (int r = 0; r < dataSet->recordCount(); ++r) {
                for (int f = 0; f < fields; ++f) {
                    const QVariant v = dataSet->value(r, f);
                    const QString text = v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
                    hash.addData((QString::fromLatin1(v.typeName()) + u'=' + text + u'\x1f').toUtf8());
                }
                hash.addData("\x1e");
            }
            std::printf("%s rows=%d sha256=%s\n", qPrintable(dataSet->name()), dataSet->recordCount(),
                        hash.result().toHex().constData());
        }
    }
    if (sort) {
        // The title clicks' key lists on the largest data sets, one after
        // another (a sort keeps ties in the order the previous one left), each
        // with a digest of the order it gives, to compare sort engines.
        const std::pair<db::DataSet *, QString> sorts[] = {
            {DM->dtset_Sverla, u"Kod"_s}, {DM->dtset_Sverla, u"Type,Diam_Sverla,KOD"_s},
            {DM->dtset_Sverla, u"Diam_Sverla,KOD"_s}, {DM->dtset_Sverla, u"Diam_Hvost,KOD"_s},
            {DM->dtset_Sverla, u"L_Instr,Diam_Sverla,KOD"_s}, {DM->dtset_Sverla, u"L_reza,Diam_Sverla,KOD"_s},
            {DM->dtset_Sverla, u"K_vo_New,Diam_Sverla,KOD"_s}, {DM->dtset_Sverla, u"K_vo_BU,Diam_Sverla,KOD"_s},
            {DM->dtset_Sverla, u"K_vo_Dolg,Diam_Sverla,KOD"_s}, {DM->dtset_Sverla, u"Name,Diam_Sverla,KOD"_s},
            {DM->dtset_Sverla, u"Korob,Diam_Sverla,KOD"_s}, {DM->dtset_Sverla, u"Prim"_s},
            {DM->dtset_Dolgi, u"KoD"_s}, {DM->dtset_Dolgi, u"FIO"_s}, {DM->dtset_Dolgi, u"Nomer_zap"_s},
            {DM->dtset_Dolgi, u"Tabl_Name,Nomer_zap"_s}, {DM->dtset_Dolgi, u"Date,Nomer_zap"_s},
            {DM->dtset_Dolgi, u"FIO,KOD"_s}, {DM->dtset_Dolgi, u"K_vo,KOD"_s},
            {DM->dtset_Dolgi, u"Instr_is_BU,KOD"_s}, {DM->dtset_Dolgi, u"FIO_AdminBD DESC,KoD"_s}};
        for (const auto &[dataSet, keys] : sorts) {
            QElapsedTimer sortTimer;
            sortTimer.start();
            dataSet->setSort(keys);
            const qint64 sortNs = sortTimer.nsecsElapsed();
            QCryptographicHash hash(QCryptographicHash::Sha256);
            db::Field *id = dataSet->fieldByName(u"ID"_s);
            for (int r = 0; r < dataSet->recordCount(); ++r)
                hash.addData(QByteArray::number(dataSet->value(r, id->index()).toInt()) + ',');
            std::printf("sort %s by %s: %.1f ms (%d rows) order=%s\n", qPrintable(dataSet->name()), qPrintable(keys),
                        sortNs / 1e6, dataSet->recordCount(), hash.result().toHex().left(16).constData());
        }
    }
    if (plan) {
        for (db::DataSet *dataSet : {DM->dtset_Sverla, DM->dtset_Frezy, DM->dtset_Derj, DM->dtset_Plast, DM->dtset_Dolgi}) {
            const db::ResultTable explained = dataSet->connection()->execute(u"EXPLAIN QUERY PLAN "_s + dataSet->commandText());
            std::printf("%s:\n", qPrintable(dataSet->name()));
            for (int r = 0; r < explained.rowCount(); ++r)
                std::printf("  %s\n", qPrintable(explained.value(r, 3).toString()));
        }
    }

    std::fprintf(stderr, "%s\n", qPrintable(steps.join(u' ')));

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);  // ru_maxrss is in kilobytes on Linux
    // What stays resident once open, beside the peak on the way.
    long residentPages = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%*d %ld", &residentPages) != 1)
            residentPages = 0;
        std::fclose(statm);
    }
    std::printf("open_ms=%lld rows=%lld peak_rss_kb=%ld cpu_ms=%lld rss_kb=%ld\n", static_cast<long long>(elapsed), rows,
                usage.ru_maxrss, static_cast<long long>(elapsedCpu), residentPages * (sysconf(_SC_PAGESIZE) / 1024));
    return 0;
}
