// morvel-mkdb and the stock it writes: the demo stock, the fallback
// pictures and benchmark stocks, read back with mdbtools.
#include "file_lookup.h"
#include "mdb_tools.h"
#include "metafile_helper.h"
#include "picture_decoding.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using mdbtest::Cell;

namespace {

const QString mkdb = QStringLiteral(MORVEL_MKDB);

// A table exported by mdb-export, its cells reachable by column name.
struct Exported {
    QStringList header;
    QList<QList<Cell>> rows;
    int col(const QString &name) const { return int(header.indexOf(name)); }
    Cell at(int row, const QString &name) const { return rows[row].value(col(name)); }
    qint64 number(int row, const QString &name) const { return at(row, name).value_or("0").toLongLong(); }
    QSet<qint64> numbers(const QString &name) const
    {
        QSet<qint64> s;
        for (int r = 0; r < rows.size(); ++r)
            if (at(r, name))
                s.insert(number(r, name));
        return s;
    }
};

Exported load(const QString &file, const QString &table)
{
    return Exported{mdbtest::exportHeader(file, table), mdbtest::exportTable(file, table)};
}

QByteArray digest(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

const QStringList toolTables{"Sverla", "Frezy", "Derj_Plast", "Plastinyi"};

} // namespace

class tst_Mkdb : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_demo;

private slots:
    void initTestCase();
    void demoTablesAndColumns_data();
    void demoTablesAndColumns();
    void demoDeclaredTypes();
    void demoContent();
    void demoShowsWhatTheProgramMarks_data();
    void demoShowsWhatTheProgramMarks();
    void demoPictures();
    void noFotoPictures();
    void benchStock();
    void fullBenchRoundTrip();
    void errors_data();
    void errors();
};

void tst_Mkdb::initTestCase()
{
    QVERIFY(m_dir.isValid());
    platform::metafile_helper::setFolder(QStringLiteral(MORVEL_BIN_DIR));
    const QString dir = m_dir.filePath("demo");
    const mdbtest::Output o = mdbtest::run(mkdb, {"demo", dir});
    QVERIFY2(o.exitCode == 0, o.err.constData());
    m_demo = dir + "/tools.mdb";
    QVERIFY(QFile::exists(m_demo));
    QCOMPARE(mdbtest::run("mdb-ver", {m_demo}).out.trimmed(), QByteArray("JET4"));
}

void tst_Mkdb::demoTablesAndColumns_data()
{
    // Every column the program's five queries name, spelled as the tables
    // spell them.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("Sverla") << "Sverla"
                            << QStringList{"ID", "Kod", "Type", "Diam_Sverla", "Diam_Hvost", "L_Instr", "L_reza", "N_zub",
                                           "K_vo_New", "K_vo_BU", "K_vo_Dolg", "K_vo_Vozvrat", "Pikcher", "Prim",
                                           "ID_Firma", "Korob"};
    QTest::newRow("Frezy") << "Frezy"
                           << QStringList{"ID", "Kod", "Type", "R_FAS_instr", "Diam_Frez", "L_Reza", "Diam_Hvost", "L_Instr",
                                          "N_zub", "K_vo_New", "K_vo_BU", "K_vo_DOLG", "K_vo_Vozvrat", "Pikcher", "Prim",
                                          "ID_Firma", "Korob"};
    QTest::newRow("Derj_Plast") << "Derj_Plast"
                                << QStringList{"ID", "Name", "Kod", "K_vo_NEW", "K_vo_BU", "K_vo_Dolg", "K_vo_Vozvrat",
                                               "ID_Firma", "Pikcher", "Prim", "Korob"};
    QTest::newRow("Plastinyi") << "Plastinyi"
                               << QStringList{"ID", "Naimenovanie", "Kod", "K_vo_NEW", "K_vo_BU", "K_vo_Vozvrat",
                                              "K_vo_Dolg", "ID_Firma", "Pikcher", "Prim", "Korob"};
    QTest::newRow("Firma") << "Firma" << QStringList{"ID", "Name"};
    QTest::newRow("Dolgi") << "Dolgi"
                           << QStringList{"ID", "Nomer_Zap", "ID_Tabl", "ID_Instr", "Date", "ID_People", "K_vo",
                                          "Instr_is_BU", "FIO_AdminBD"};
    QTest::newRow("People") << "People" << QStringList{"ID", "FIO", "Foto"};
    QTest::newRow("List_Tabl") << "List_Tabl" << QStringList{"ID", "Tabl_Name"};
}

void tst_Mkdb::demoTablesAndColumns()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QVERIFY(mdbtest::tables(m_demo).contains(table));
    QCOMPARE(mdbtest::tables(m_demo).size(), 8);
    const QStringList header = mdbtest::exportHeader(m_demo, table);
    for (const QString &c : columns)
        QVERIFY2(header.contains(c), qPrintable(c + " missing from " + header.join(',')));
}

void tst_Mkdb::demoDeclaredTypes()
{
    const QString schema = QString::fromUtf8(mdbtest::run("mdb-schema", {m_demo, "access"}).out);
    auto declared = [&](const QString &table, const QString &column) {
        const qsizetype at = schema.indexOf("CREATE TABLE [" + table + "]");
        const qsizetype end = schema.indexOf(");", at);
        const QRegularExpression re("\\[" + column + "\\]\\s+([^,\\n]+?),?\\s*\\n");
        const auto m = re.match(schema.mid(at, end - at));
        return m.hasMatch() ? m.captured(1).trimmed() : QString();
    };
    // Drills keep lengths and teeth as integers, milling cutters as floats.
    QCOMPARE(declared("Sverla", "L_Instr"), QString("Long Integer"));
    QCOMPARE(declared("Frezy", "L_Instr"), QString("Double"));
    QCOMPARE(declared("Sverla", "Diam_Sverla"), QString("Double"));
    QCOMPARE(declared("Sverla", "Kod"), QString("Text (150)"));
    QCOMPARE(declared("Frezy", "Kod"), QString("Text (250)"));
    QCOMPARE(declared("Plastinyi", "Prim"), QString("Memo/Hyperlink (255)"));
    QCOMPARE(declared("Dolgi", "Date"), QString("DateTime"));
    QCOMPARE(declared("Dolgi", "Instr_is_BU"), QString("Boolean NOT NULL"));
    QCOMPARE(declared("People", "FIO"), QString("Text (255)"));
    // Tool IDs are AutoNumbers; the other tables' IDs plain integers.
    const QString postgres = QString::fromUtf8(mdbtest::run("mdb-schema", {m_demo, "postgres"}).out);
    QCOMPARE(postgres.count(QRegularExpression("\"id\"\\s+SERIAL")), 4);
}

void tst_Mkdb::demoContent()
{
    for (const QString &t : toolTables) {
        const qint64 n = mdbtest::count(m_demo, t);
        QVERIFY2(n >= 30 && n <= 60, qPrintable(t + ": " + QString::number(n)));
    }
    QCOMPARE(mdbtest::count(m_demo, "Firma"), 6);
    QCOMPARE(mdbtest::count(m_demo, "People"), 8);

    const Exported kinds = load(m_demo, "List_Tabl");
    QStringList kindRows;
    for (int r = 0; r < kinds.rows.size(); ++r)
        kindRows << *kinds.at(r, "ID") + " " + *kinds.at(r, "Tabl_Name");
    QCOMPARE(kindRows, (QStringList{"1 Сверла", "2 Пластины", "3 Фрезы", "4 Державки пластин"}));

    // The debts page lists a debt of kind 1 (drills), 2 (inserts) or 3
    // (milling cutters) whose tool, worker and kind exist.
    const Exported debts = load(m_demo, "Dolgi");
    const QSet<qint64> people = load(m_demo, "People").numbers("ID");
    const QSet<qint64> tools[] = {{}, load(m_demo, "Sverla").numbers("ID"), load(m_demo, "Plastinyi").numbers("ID"),
                                  load(m_demo, "Frezy").numbers("ID")};
    int listed = 0, kindFour = 0;
    QSet<qint64> kindsListed;
    for (int r = 0; r < debts.rows.size(); ++r) {
        const qint64 kind = debts.number(r, "ID_Tabl");
        if (kind == 4)
            ++kindFour;
        if (kind >= 1 && kind <= 3 && tools[kind].contains(debts.number(r, "ID_Instr"))
            && people.contains(debts.number(r, "ID_People"))) {
            ++listed;
            kindsListed.insert(kind);
        }
    }
    QCOMPARE(listed, 25);
    QCOMPARE(kindsListed.size(), 3);
    QVERIFY(kindFour >= 1);
}

void tst_Mkdb::demoShowsWhatTheProgramMarks_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("newColumn");
    for (const QString &t : toolTables)
        QTest::newRow(qPrintable(t)) << t << (t == "Sverla" || t == "Frezy" ? "K_vo_New" : "K_vo_NEW");
}

void tst_Mkdb::demoShowsWhatTheProgramMarks()
{
    QFETCH(QString, table);
    QFETCH(QString, newColumn);
    const Exported t = load(m_demo, table);
    const QSet<qint64> firms = load(m_demo, "Firma").numbers("ID");
    const QString dir = QFileInfo(m_demo).path() + "/Images/Instrument/";
    int noStock = 0, negative = 0, nullQty = 0, missingFirm = 0, longNotes = 0, missingPicture = 0;
    for (int r = 0; r < t.rows.size(); ++r) {
        const Cell fresh = t.at(r, newColumn), used = t.at(r, "K_vo_BU");
        if (fresh.value_or("0").toInt() <= 0 && used.value_or("0").toInt() <= 0)
            ++noStock;
        if (fresh.value_or("0").toInt() < 0 || used.value_or("0").toInt() < 0)
            ++negative;
        if (!fresh || !used)
            ++nullQty;
        if (!t.at(r, "ID_Firma") || !firms.contains(t.number(r, "ID_Firma")))
            ++missingFirm;
        const QString note = t.at(r, "Prim").value_or(QString());
        if (note.size() > 300 && note.contains("\r\n"))
            ++longNotes;
        const Cell picture = t.at(r, "Pikcher");
        if (picture && !QFile::exists(dir + QString(*picture).replace('\\', '/'))
            && !QFile::exists(dir + picture->toLower().replace('\\', '/')))
            ++missingPicture;
    }
    QVERIFY(noStock >= 2);
    QVERIFY(nullQty >= 1);
    QVERIFY(missingFirm >= 1);
    QVERIFY(longNotes >= 1);
    QVERIFY(missingPicture >= 1);
    if (table == "Sverla")
        QVERIFY(negative >= 1);

    // NULL and empty picture names: only the cracked rows tell them apart.
    const auto raw = mdbtest::readRaw(m_demo, table);
    const int pik = t.col("Pikcher");
    int nulls = 0, empties = 0;
    for (const auto &row : raw) {
        nulls += row[pik].null ? 1 : 0;
        empties += !row[pik].null && row[pik].bytes.isEmpty() ? 1 : 0;
    }
    QVERIFY(nulls >= 1);
    QVERIFY(empties >= 1);
}

void tst_Mkdb::demoPictures()
{
    const QString dir = QFileInfo(m_demo).path() + "/Images/Instrument/";
    // Names as stored by Windows programs: some differ from the files in
    // letter case, some use backslashes.
    QStringList names;
    for (const QString &table : toolTables) {
        const Exported t = load(m_demo, table);
        for (int r = 0; r < t.rows.size(); ++r)
            if (const Cell c = t.at(r, "Pikcher"); c && !c->isEmpty())
                names << *c;
    }
    const Exported people = load(m_demo, "People");
    for (int r = 0; r < people.rows.size(); ++r)
        if (const Cell c = people.at(r, "Foto"); c && !c->isEmpty())
            names << *c;
    int exact = 0, otherCase = 0, backslash = 0, missing = 0;
    QMap<QString, int> kinds;
    for (const QString &name : names) {
        const QString slashed = QString(name).replace('\\', '/');
        if (QFile::exists(dir + slashed)) {
            ++exact;
            backslash += name.contains('\\') ? 1 : 0;
        } else if (QFile::exists(dir + slashed.toLower())) {
            ++otherCase;
        } else {
            ++missing;
            continue;
        }
        // Every picture the demo names shows, found the way the program
        // finds it.
        QFile file(platform::resolvePath(dir + name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        const QString extension = QFileInfo(slashed).suffix();
        QVERIFY2(!platform::decodePicture(file.readAll(), extension, QSize(249, 129)).isNull(), qPrintable(name));
        ++kinds[extension.toLower()];
    }
    for (const char *kind : {"jpg", "bmp", "ico", "emf", "wmf"})
        QVERIFY2(kinds.value(QString::fromLatin1(kind)) >= 1, kind);
    QVERIFY(exact >= 100);
    QVERIFY(otherCase >= 3);
    QVERIFY(backslash >= 3);
    QVERIFY(missing >= 4);

    QDirIterator it(dir, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        QImageReader reader(it.next());
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QSize size = reader.size();
        QVERIFY2(size.width() >= 200 && size.width() <= 4000, qPrintable(it.filePath()));
        ++files;
    }
    QVERIFY(files >= 20);
}

void tst_Mkdb::noFotoPictures()
{
    const QString dir = m_dir.filePath("app");
    const mdbtest::Output o = mdbtest::run(mkdb, {"nofoto", dir});
    QVERIFY2(o.exitCode == 0, o.err.constData());
    const QString one = dir + "/Images/NoFoto/null_img_1.jpg", two = dir + "/Images/NoFoto/null_img_2.jpg";
    for (const QString &f : {one, two}) {
        QImageReader reader(f);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QVERIFY(reader.size().width() >= 200);
    }
    QVERIFY(digest(one) != digest(two));
}

void tst_Mkdb::benchStock()
{
    // The stock as Access lays it out, deleted rows included: mdbtools passes
    // them by as it passes by Access's own.
    const QStringList sizes{"--drills", "3000", "--cutters", "1500", "--holders", "600", "--inserts", "1500",
                            "--debts", "6000"};
    const QString a = m_dir.filePath("a.mdb"), b = m_dir.filePath("b.mdb"), c = m_dir.filePath("c.mdb");
    QCOMPARE(mdbtest::run(mkdb, QStringList{"bench", a} + sizes + QStringList{"--seed", "5"}).exitCode, 0);
    QCOMPARE(mdbtest::run(mkdb, QStringList{"bench", b} + sizes + QStringList{"--seed", "5"}).exitCode, 0);
    QCOMPARE(mdbtest::run(mkdb, QStringList{"bench", c} + sizes + QStringList{"--seed", "6"}).exitCode, 0);
    QCOMPARE(digest(a), digest(b));
    QVERIFY(digest(a) != digest(c));

    const QList<QPair<QString, int>> counts{{"Sverla", 3000}, {"Frezy", 1500}, {"Derj_Plast", 600},
                                            {"Plastinyi", 1500}, {"Dolgi", 6000}};
    for (const auto &[table, n] : counts)
        QCOMPARE(mdbtest::count(a, table), n);

    const QSet<qint64> firms = load(a, "Firma").numbers("ID");
    int tools = 0, notes = 0, longNotes = 0, missingFirm = 0;
    for (const QString &table : toolTables) {
        const Exported t = load(a, table);
        QCOMPARE(t.rows.size(), counts[toolTables.indexOf(table)].second);
        for (int r = 0; r < t.rows.size(); ++r) {
            ++tools;
            const Cell note = t.at(r, "Prim");
            notes += note ? 1 : 0;
            longNotes += note && note->size() * 2 > 4000 ? 1 : 0;  // stored as UTF-16
            missingFirm += !t.at(r, "ID_Firma") || !firms.contains(t.number(r, "ID_Firma")) ? 1 : 0;
        }
        // NULLs in every nullable column (all but the AutoNumber).
        for (int col = 1; col < t.header.size(); ++col) {
            int nulls = 0;
            for (int r = 0; r < t.rows.size(); ++r)
                nulls += t.rows[r][col] ? 0 : 1;
            QVERIFY2(nulls > 0, qPrintable(table + "." + t.header[col]));
        }
    }
    QVERIFY2(notes > tools * 25 / 100 && notes < tools * 35 / 100, qPrintable(QString::number(notes)));
    QVERIFY(longNotes >= 1 && longNotes < notes / 20);
    QVERIFY2(missingFirm > tools / 200 && missingFirm < tools * 3 / 100, qPrintable(QString::number(missingFirm)));

    const Exported debts = load(a, "Dolgi");
    const QSet<qint64> people = load(a, "People").numbers("ID");
    int missingPerson = 0;
    for (int r = 0; r < debts.rows.size(); ++r)
        missingPerson += !debts.at(r, "ID_People") || !people.contains(debts.number(r, "ID_People")) ? 1 : 0;
    QVERIFY2(missingPerson > 6000 / 200 && missingPerson < 6000 * 3 / 100, qPrintable(QString::number(missingPerson)));
}

void tst_Mkdb::fullBenchRoundTrip()
{
    const QString file = m_dir.filePath("full.mdb");
    const mdbtest::Output o = mdbtest::run(mkdb, {"bench", file, "--drills", "100000", "--cutters", "50000", "--holders",
                                                  "20000", "--inserts", "50000", "--debts", "200000", "--seed", "1"});
    QVERIFY2(o.exitCode == 0, o.err.constData());
    const QList<QPair<QString, int>> counts{{"Sverla", 100000}, {"Frezy", 50000}, {"Derj_Plast", 20000},
                                            {"Plastinyi", 50000}, {"Dolgi", 200000}, {"List_Tabl", 4}};
    for (const auto &[table, n] : counts)
        QCOMPARE(mdbtest::count(file, table), n);
    // Every row comes back, not just the count in the definition.
    const Exported drills = load(file, "Sverla");
    QCOMPARE(drills.rows.size(), 100000);
    QCOMPARE(drills.number(99999, "ID"), 100000);
    const mdbtest::Output debts = mdbtest::run("mdb-export", {"-H", file, "Dolgi"});
    QCOMPARE(debts.out.count('\n'), 200000);
    QFile::remove(file);
}

void tst_Mkdb::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");  // must not exist afterwards
    QTest::newRow("unknown command") << QStringList{"make", "x.mdb"} << "x.mdb";
    QTest::newRow("no target") << QStringList{"bench"} << "";
    QTest::newRow("bad number") << QStringList{"bench", "x.mdb", "--drills", "ten"} << "x.mdb";
    QTest::newRow("negative size") << QStringList{"bench", "x.mdb", "--debts", "-5"} << "x.mdb";
    QTest::newRow("unknown option") << QStringList{"bench", "x.mdb", "--screws", "5"} << "x.mdb";
    QTest::newRow("missing value") << QStringList{"bench", "x.mdb", "--seed"} << "x.mdb";
    QTest::newRow("unknown layout") << QStringList{"bench", "x.mdb", "--layout", "compressed,tidy"} << "x.mdb";
    QTest::newRow("folder missing") << QStringList{"bench", "none/x.mdb", "--drills", "10"} << "none/x.mdb";
    QTest::newRow("demo into a file") << QStringList{"demo", "plain-file/d"} << "plain-file/d/tools.mdb";
}

void tst_Mkdb::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (QString &a : arguments)
        if (a.contains(".mdb") || a.contains('/'))
            a = dir.filePath(a);
    const mdbtest::Output o = mdbtest::run(mkdb, arguments);
    QVERIFY(o.exitCode != 0);
    QVERIFY(!o.err.trimmed().isEmpty());
    if (!target.isEmpty())
        QVERIFY(!QFile::exists(dir.filePath(target)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"plain-file"});
}

QTEST_MAIN(tst_Mkdb)
#include "tst_mkdb.moc"
