// morvel-bench-open FILE: the time and memory of opening a database the way
// the program does at start-up, through the data module's OpenBD (connect,
// then the five data sets in page order).
// morvel-bench-open --plan FILE: prints how SQLite runs each data set's query
// (EXPLAIN QUERY PLAN), to check that joins are keyed look-ups.
// morvel-bench-open --digest FILE: prints a digest of every value of each
// data set in its order, to check that a faster engine gives the same rows.
// morvel-bench-open --sort FILE: also times re-sorting the largest data sets
// by a text column, as a click on a column title does.
#include "DM_Unit.h"
#include "connection.h"
#include "dataset.h"
#include "result_table.h"
#include "db_error.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>

#include <sys/resource.h>

#include <cstdio>

using namespace Qt::StringLiterals;

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
    if (argc != 2 && !plan && !digest && !sort) {
        std::fprintf(stderr, "usage: morvel-bench-open [--plan | --digest | --sort] FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[argc - 1]);
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "morvel-bench-open: no such file: %s\n", argv[argc - 1]);
        return 2;
    }

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
        const std::pair<db::DataSet *, QString> sorts[] = {
            {DM->dtset_Sverla, u"Kod"_s}, {DM->dtset_Sverla, u"Type,Diam_Sverla,KOD"_s},
            {DM->dtset_Dolgi, u"KoD"_s}, {DM->dtset_Dolgi, u"FIO"_s}, {DM->dtset_Dolgi, u"KoD"_s}};
        for (const auto &[dataSet, keys] : sorts) {
            QElapsedTimer sortTimer;
            sortTimer.start();
            dataSet->setSort(keys);
            std::printf("sort %s by %s: %lld ms (%d rows)\n", qPrintable(dataSet->name()), qPrintable(keys),
                        static_cast<long long>(sortTimer.elapsed()), dataSet->recordCount());
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
    std::printf("open_ms=%lld rows=%lld peak_rss_kb=%ld cpu_ms=%lld\n", static_cast<long long>(elapsed), rows,
                usage.ru_maxrss, static_cast<long long>(elapsedCpu));
    return 0;
}
