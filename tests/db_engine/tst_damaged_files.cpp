// Files that are not databases, or are damaged, give a clear db::Error and
// never crash; no file is ever changed, damaged or not.
#include "../support/address_space_limit.h"
#include "connection.h"
#include "dataset.h"
#include "result_table.h"
#include "stock_schema.h"
#include "test_databases.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

// Every table the program's queries read, and two of its joins.
const QStringList kQueries = {
    QStringLiteral("SELECT S.ID, S.Kod, S.Prim, F.Name FROM Sverla S, Firma F WHERE S.ID_Firma=F.ID ORDER BY S.Kod;"),
    QStringLiteral("SELECT * FROM Frezy ORDER BY Diam_Frez;"),
    QStringLiteral("SELECT * FROM Derj_Plast;"),
    QStringLiteral("SELECT * FROM Plastinyi;"),
    QStringLiteral("SELECT D.ID, PL.FIO, LT.Tabl_Name FROM Dolgi AS D, People AS PL, List_Tabl AS LT "
                   "WHERE D.ID_People=PL.ID AND D.ID_Tabl=LT.ID"),
};

enum class Outcome { Opens, FailsAtConnect, FailsAtQuery };

// Connects and runs every query; returns the first error's text, if any.
QString openAndQuery(const QString &path, Outcome *outcome = nullptr, const QStringList &queries = kQueries)
{
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    try {
        connection.open();
    } catch (const db::Error &e) {
        if (outcome)
            *outcome = Outcome::FailsAtConnect;
        return e.text();
    }
    try {
        // Every value is read, memos included: they are fetched from the
        // file only now.
        for (const QString &sql : queries) {
            const db::ResultTable r = connection.execute(sql);
            for (int row = 0; row < r.rowCount(); ++row)
                for (int column = 0; column < int(r.columns.size()); ++column)
                    r.value(row, column);
        }
    } catch (const db::Error &e) {
        if (outcome)
            *outcome = Outcome::FailsAtQuery;
        return e.text();
    }
    if (outcome)
        *outcome = Outcome::Opens;
    return {};
}

QStringList listing(const QString &dir)
{
    QStringList out;
    for (const QFileInfo &fi : QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        out << fi.fileName() + QLatin1Char(' ') + QString::number(fi.size()) + QLatin1Char(' ')
                + fi.lastModified().toString(Qt::ISODateWithMs);
    return out;
}

} // namespace

class tst_DamagedFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void badFiles_data();
    void badFiles();
    void hugeFilesRefused_data();
    void hugeFilesRefused();
    void badConnectionStrings_data();
    void badConnectionStrings();
    void randomDamage();
    void longValueChainLoops();
    void damagedRowsRefused_data();
    void damagedRowsRefused();
    void fileUntouched();
    void writingStatementsRefused_data();
    void writingStatementsRefused();

private:
    QTemporaryDir m_dir;
    QString m_stock;
    QByteArray m_stockBytes;
};

void tst_DamagedFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_stock = m_dir.filePath(QStringLiteral("stock.mdb"));
    stock::writeBench(m_stock.toStdString(), {60, 40, 20, 40, 150}, 7);
    m_stockBytes = testdb::readAll(m_stock);
    QVERIFY(m_stockBytes.size() > 10 * 4096);
    QCOMPARE(openAndQuery(m_stock), QString());
}

void tst_DamagedFiles::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");   // %1 stands for the path

    const QByteArray valid = m_stockBytes;
    const int page = 4096;
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.");
    const int atConnect = int(Outcome::FailsAtConnect), atQuery = int(Outcome::FailsAtQuery);

    QTest::newRow("empty file") << QByteArray() << atConnect << unrecognized;
    QTest::newRow("text file") << QByteArray("[BD]\r\nPathToBD=C:\\tools.mdb\r\n").repeated(300) << atConnect << unrecognized;
    QByteArray ace = valid;
    ace.replace(4, 15, "Standard ACE DB");
    QTest::newRow("Access 2007 file") << ace << atConnect << unrecognized;
    QByteArray version = valid;
    version[0x14] = 9;
    QTest::newRow("unknown version") << version << atConnect << unrecognized;
    QTest::newRow("truncated inside a page") << valid.left(valid.size() - 1000) << atConnect
                                             << QStringLiteral("The database '%1' is damaged and cannot be read "
                                                               "(its length is not a whole number of pages; it may be truncated).");
    QTest::newRow("header page only") << valid.left(page) << atConnect
                                      << QStringLiteral("The database '%1' is damaged and cannot be read (the table catalog is missing).");
    QByteArray catalog = valid;
    catalog.replace(2 * page, page, QByteArray(page, '\0'));
    QTest::newRow("catalog definition zeroed") << catalog << atConnect
                                               << QStringLiteral("The database '%1' is damaged and cannot be read (the table catalog is missing).");
    // The catalog's rows: data pages (type 01) owned by its definition on page 2.
    QByteArray catalogRows = valid;
    for (int p = 3; p < valid.size() / page; ++p)
        if (valid.at(p * page) == 1 && valid.mid(p * page + 4, 4) == QByteArray("\x02\0\0\0", 4))
            catalogRows.replace(p * page, page, QByteArray(page, '\0'));
    QVERIFY(catalogRows != valid);
    QTest::newRow("catalog rows zeroed") << catalogRows << atConnect
                                         << QStringLiteral("The database '%1' is damaged and cannot be read (the table catalog cannot be read).");

    jetdb::Database lacking;
    lacking.addTable("Sverla", {{"ID", jetdb::Type::Long}});
    const QString lackingPath = m_dir.filePath(QStringLiteral("lacking.mdb"));
    testdb::write(lacking, lackingPath);
    const QString firmaMissing = QStringLiteral("The Microsoft Jet database engine cannot find the input table or query "
                                                "'Firma'.  Make sure it exists and that its name is spelled correctly.");
    QTest::newRow("a table missing") << testdb::readAll(lackingPath) << atQuery << firmaMissing;
    // A database password: Jet 4 masks it with the creation date, so that a
    // dated file without one holds the mask itself there. Only a table is
    // missing from a file that opens.
    const auto dated = [&](jetdb::Format format, const char *password) {
        jetdb::Database db(format, 1251);
        db.addTable("Sverla", {{"ID", jetdb::Type::Long}});
        db.setCreationDate(jetdb::Date::fromCivil(2003, 5, 17, 10, 30));
        db.setPassword(password);
        return testdb::readAll(testdb::write(db, m_dir.filePath(QStringLiteral("dated.mdb"))));
    };
    const QString password = QStringLiteral("Not a valid password.");
    QTest::newRow("Jet 4 file with a password") << dated(jetdb::Format::Jet4, "склад") << atConnect << password;
    QTest::newRow("Jet 3 file with a password") << dated(jetdb::Format::Jet3, "склад") << atConnect << password;
    QTest::newRow("Jet 4 file without a password") << dated(jetdb::Format::Jet4, "") << atQuery << firmaMissing;
    QTest::newRow("Jet 3 file without a password") << dated(jetdb::Format::Jet3, "") << atQuery << firmaMissing;
    // Jet 3 text is 8-bit in the code page at 0x3C of the header's RC4-masked block.
    jetdb::Database jet3(jetdb::Format::Jet3, 1251);
    jet3.addTable("Sverla", {{"ID", jetdb::Type::Long}});
    const QString jet3Path = m_dir.filePath(QStringLiteral("jet3.mdb"));
    testdb::write(jet3, jet3Path);
    QByteArray unknownCodePage = testdb::readAll(jet3Path);
    const quint16 mask = 0x427B;
    QCOMPARE(quint16((quint8(unknownCodePage[0x3C]) | quint8(unknownCodePage[0x3D]) << 8) ^ mask), quint16(1251));
    unknownCodePage[0x3C] = char((9999 ^ mask) & 0xFF);
    unknownCodePage[0x3D] = char((9999 ^ mask) >> 8);
    QTest::newRow("Jet 3 file in an unknown code page")
        << unknownCodePage << atConnect
        << QStringLiteral("The database '%1' keeps its text in code page 9999, which cannot be read on this system.");
    QByteArray lastHalf = valid;
    const int pages = int(valid.size() / page);
    for (int p = pages / 2; p < pages; ++p)
        lastHalf.replace(p * page, page, QByteArray(page, '\xA5'));
    QTest::newRow("second half overwritten") << lastHalf << -1 << QString();
    QTest::newRow("cut to whole pages") << valid.left((pages / 3) * page) << -1 << QString();
}

// Each bad file gives a message that says what is wrong; none crashes.
// An outcome of -1 accepts any: the damage may fall where nothing is read.
void tst_DamagedFiles::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("bad файл.mdb"));
    testdb::writeAll(path, bytes);
    Outcome got = Outcome::Opens;
    const QString text = openAndQuery(path, &got);
    if (outcome >= 0) {
        QCOMPARE(int(got), outcome);
        QCOMPARE(text, QString(message).replace(QLatin1String("%1"), path));
    } else if (got != Outcome::Opens) {
        QVERIFY(!text.isEmpty());
    }
    QCOMPARE(testdb::readAll(path), bytes);
}

// A file far larger than any database, nearly all of it a hole: refused
// from its first bytes, without being taken into memory (which would fail
// here).
void tst_DamagedFiles::hugeFilesRefused_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("message");   // %1 stands for the path
    QTest::newRow("no database") << QByteArray("[BD]\r\nPathToBD=C:\\tools.mdb\r\n")
                                 << QStringLiteral("Unrecognized database format '%1'.");
    QTest::newRow("a database's header")
        << m_stockBytes.left(4096)
        << QStringLiteral("The file '%1' is larger than an Access database can be (2 GiB) and cannot be read.");
}

void tst_DamagedFiles::hugeFilesRefused()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("huge.mdb"));
    const auto remove = qScopeGuard([&] { QFile::remove(path); });
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(head), head.size());
        QVERIFY(file.resize(qint64(3) << 30));
    }
    const AddressSpaceLimit limit(512 << 20);
    QVERIFY(limit.active());
    Outcome got = Outcome::Opens;
    const QString text = openAndQuery(path, &got);
    QCOMPARE(int(got), int(Outcome::FailsAtConnect));
    QCOMPARE(text, message.arg(path));
}

void tst_DamagedFiles::badConnectionStrings_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("message");
    const QString folder = m_dir.path();
    const QString missing = m_dir.filePath(QStringLiteral("нет такого.mdb"));
    QTest::newRow("missing file") << testdb::connectionStringFor(missing)
                                  << QStringLiteral("Could not find file '%1'.").arg(missing);
    QTest::newRow("a folder") << testdb::connectionStringFor(folder)
                              << QStringLiteral("Could not find file '%1'.").arg(folder);
    QTest::newRow("write mode") << QStringLiteral("Data Source=%1;Mode=ReadWrite").arg(m_stock)
                                << QStringLiteral("The database can be opened for reading only (Mode=Read); the requested mode is 'ReadWrite'.");
    QTest::newRow("no mode") << QStringLiteral("Data Source=%1").arg(m_stock)
                             << QStringLiteral("The database can be opened for reading only (Mode=Read); the requested mode is ''.");
    QTest::newRow("no file named") << QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Mode=Read")
                                   << QStringLiteral("No database file is named in the connection string.");
}

void tst_DamagedFiles::badConnectionStrings()
{
    QFETCH(QString, connectionString);
    QFETCH(QString, message);
    db::Connection connection;
    connection.setConnectionString(connectionString);
    try {
        connection.open();
        QFAIL("the connection opened");
    } catch (const db::Error &e) {
        QCOMPARE(e.text(), message);
    }
    QVERIFY(!connection.connected());
}

// Seeded damage anywhere in a valid file: bytes flipped, pages zeroed or
// filled with noise. Whatever happens must be an orderly result or a db::Error.
void tst_DamagedFiles::randomDamage()
{
    const QString path = m_dir.filePath(QStringLiteral("random.mdb"));
    const int page = 4096;
    const int pages = int(m_stockBytes.size() / page);
    int failures = 0;
    // DAMAGE_SEEDS=N runs a longer search by hand.
    const int seeds = qEnvironmentVariableIsSet("DAMAGE_SEEDS") ? qEnvironmentVariableIntValue("DAMAGE_SEEDS") : 150;
    for (quint32 seed = 1; seed <= quint32(seeds); ++seed) {
        QRandomGenerator random(seed);
        QByteArray bytes = m_stockBytes;
        switch (seed % 3) {
        case 0:
            for (int n = 0; n < 40; ++n)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            break;
        case 1:
            bytes.replace(qsizetype(1 + random.bounded(pages - 1)) * page, page, QByteArray(page, '\0'));
            break;
        default: {
            const int p = 1 + random.bounded(pages - 1);
            for (int b = 0; b < page; ++b)
                bytes[qsizetype(p) * page + b] = char(random.bounded(256));
        }
        }
        testdb::writeAll(path, bytes);
        Outcome outcome;
        const QString text = openAndQuery(path, &outcome);
        if (outcome != Outcome::Opens) {
            ++failures;
            QVERIFY2(!text.isEmpty(), qPrintable(QStringLiteral("seed %1").arg(seed)));
        }
    }
    qInfo("%d of %d damaged files were refused", failures, seeds);
}

// A memo chain whose rows hold no data and point back at themselves: each
// hop adds nothing, so only the rows themselves can end the walk. The memo
// reads as NULL; the other values of its row are still there.
void tst_DamagedFiles::longValueChainLoops()
{
    jetdb::Database database;
    jetdb::Table &notes = database.addTable("Notes", {{"ID", jetdb::Type::Long}, {"Prim", jetdb::Type::Memo}});
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "ж";   // 6000 bytes of UTF-16: a chain of LVAL rows
    notes.addRow({std::int64_t(7), text});
    const QString path = testdb::write(database, m_dir.filePath(QStringLiteral("loop.mdb")));

    QByteArray bytes = testdb::readAll(path);
    const int page = 4096, rowCountAt = 12;
    auto put16 = [&](qsizetype at, quint32 v) { bytes[at] = char(v); bytes[at + 1] = char(v >> 8); };
    int lvalPages = 0;
    for (qsizetype p = 0; p < bytes.size() / page; ++p) {
        const qsizetype base = p * page;
        if (bytes.at(base) != 1 || bytes.mid(base + 4, 4) != "LVAL")
            continue;
        ++lvalPages;
        const int rows = quint8(bytes.at(base + rowCountAt)) | (quint8(bytes.at(base + rowCountAt + 1)) << 8);
        int end = page;
        for (int r = 0; r < rows; ++r) {
            const int start = end - 4;
            put16(base + rowCountAt + 2 + 2 * r, quint32(start));
            const quint32 self = quint32(p << 8) | quint32(r);
            put16(base + start, self & 0xFFFF);
            put16(base + start + 2, self >> 16);
            end = start;
        }
    }
    QVERIFY(lvalPages > 0);
    testdb::writeAll(path, bytes);

    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT ID, Prim FROM Notes"));
    QCOMPARE(r.rowCount(), 1);
    QCOMPARE(r.value(0, 0), QVariant(7));
    QVERIFY(r.value(0, 1).isNull());
}

// A row or value that cannot be read fails the query that reads its table,
// naming the table and the page, instead of leaving out the row or showing
// the value as NULL. Each row of the table below spoils one part of a small
// file: a table "Stock" of one row (ID 7, a memo held inline, a decimal).
namespace {

struct StockFile {
    QByteArray bytes;
    int definitionPage = -1;
    int dataPage = -1;
};

// Where `pattern` is in the one data page of "Stock" (-1 if not there).
qsizetype onDataPage(const StockFile &f, const QByteArray &pattern)
{
    const qsizetype at = f.bytes.indexOf(pattern, qsizetype(f.dataPage) * 4096);
    return at >= 0 && at < qsizetype(f.dataPage + 1) * 4096 ? at : -1;
}

QByteArray decimalBytes(quint32 high, quint32 low)   // sign, then four words
{
    QByteArray b(17, '\0');
    qToLittleEndian(high, b.data() + 9);
    qToLittleEndian(low, b.data() + 13);
    return b;
}

using Damage = std::function<void(StockFile &)>;

} // namespace

Q_DECLARE_METATYPE(Damage)

void tst_DamagedFiles::damagedRowsRefused_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("why");   // %1: the data page, as the message names it
    const QString row = QStringLiteral("a row of table 'Stock' on page %1 cannot be read");
    // The memo's 12-byte head: length 10 (FF FE and 8 characters) flagged
    // inline, then no page and row.
    const QByteArray inlineHead = QByteArray("\x0A\0\0\x80", 4) + QByteArray(8, '\0') + "\xFF\xFE";
    QTest::newRow("memo head both inline and in one row") << Damage([=](StockFile &f) {
        f.bytes[onDataPage(f, inlineHead) + 3] = char(0xC0);
    }) << row;
    QTest::newRow("memo longer than its field") << Damage([=](StockFile &f) {
        f.bytes[onDataPage(f, inlineHead)] = char(0x0B);
    }) << row;
    QTest::newRow("memo in a row of a page that is no data page") << Damage([=](StockFile &f) {
        const qsizetype at = onDataPage(f, inlineHead);
        f.bytes[at + 3] = char(0x40);
        qToLittleEndian<quint32>(quint32(f.definitionPage) << 8, f.bytes.data() + at + 4);
    }) << row;
    QTest::newRow("decimal beyond 28 digits") << Damage([=](StockFile &f) {
        // 1234 (12.34) becomes 10^28 = 0x204FCE5E 3E250261 10000000.
        const qsizetype at = onDataPage(f, decimalBytes(0, 1234));
        f.bytes.replace(at, 17, QByteArray(1, '\0') + QByteArray("\0\0\0\0\x5E\xCE\x4F\x20\x61\x02\x25\x3E\0\0\0\x10", 16));
    }) << row;
    QTest::newRow("row cut to its column count") << Damage([=](StockFile &f) {
        qToLittleEndian<quint16>(4096 - 2, f.bytes.data() + qsizetype(f.dataPage) * 4096 + 14);
    }) << row;
    QTest::newRow("row slot past the page") << Damage([=](StockFile &f) {
        qToLittleEndian<quint16>(5000, f.bytes.data() + qsizetype(f.dataPage) * 4096 + 14);
    }) << row;
    // The decimal column's entry: precision at 11, scale at 12.
    auto decimalEntry = [](StockFile &f) {
        for (qsizetype at = qsizetype(f.definitionPage) * 4096 + 63;; at += 25)
            if (f.bytes[at] == 0x10)
                return at;
    };
    QTest::newRow("decimal of precision 29") << Damage([=](StockFile &f) {
        f.bytes[decimalEntry(f) + 11] = 29;
    }) << "the decimal column 'Qty' of table 'Stock' has precision 29 and scale 2";
    QTest::newRow("decimal of precision 0") << Damage([=](StockFile &f) {
        f.bytes[decimalEntry(f) + 11] = 0;
    }) << "the decimal column 'Qty' of table 'Stock' has precision 0 and scale 2";
    QTest::newRow("decimal scale above its precision") << Damage([=](StockFile &f) {
        f.bytes[decimalEntry(f) + 12] = 11;
    }) << "the decimal column 'Qty' of table 'Stock' has precision 10 and scale 11";
}

void tst_DamagedFiles::damagedRowsRefused()
{
    QFETCH(Damage, damage);
    QFETCH(QString, why);
    jetdb::Database database;
    jetdb::Column qty{"Qty", jetdb::Type::Numeric};
    qty.precision = 10;
    qty.scale = 2;
    database.addTable("Stock", {{"ID", jetdb::Type::Long}, {"Prim", jetdb::Type::Memo}, qty})
        .addRow({std::int64_t(7), std::string("ABCDEFGH"), jetdb::Decimal{"12.34"}});
    const QString path = testdb::write(database, m_dir.filePath(QStringLiteral("rows.mdb")));
    StockFile file{testdb::readAll(path)};
    for (int p = 3; p < file.bytes.size() / 4096; ++p) {
        const char *at = file.bytes.constData() + qsizetype(p) * 4096;
        if (at[0] == 2)
            file.definitionPage = p;
        else if (at[0] == 1 && qFromLittleEndian<quint32>(at + 4) > 2 && std::memcmp(at + 4, "LVAL", 4) != 0)
            file.dataPage = p;
    }
    QVERIFY(file.definitionPage > 0 && file.dataPage > 0);
    db::Connection intact;
    intact.setConnectionString(testdb::connectionStringFor(path));
    intact.open();
    const db::ResultTable r = intact.execute(QStringLiteral("SELECT ID, Prim, Qty FROM Stock"));
    QCOMPARE(r.value(0, 2).toDouble(), 12.34);

    damage(file);
    testdb::writeAll(path, file.bytes);
    Outcome outcome = Outcome::Opens;
    const QString text = openAndQuery(path, &outcome, {QStringLiteral("SELECT ID, Prim, Qty FROM Stock")});
    QCOMPARE(int(outcome), int(Outcome::FailsAtQuery));
    QCOMPARE(text, QStringLiteral("The database '%1' is damaged and cannot be read (%2).")
                       .arg(path, QString(why).replace(QLatin1String("%1"), QString::number(file.dataPage))));
}

// Opening, querying, sorting and closing leave the file's bytes and its
// folder's listing as they were: no lock file, no temporary file.
void tst_DamagedFiles::fileUntouched()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("склад инструмента.mdb"));
    QVERIFY(QFile::copy(m_stock, path));
    const QStringList before = listing(dir.path());
    {
        db::Connection connection;
        connection.setConnectionString(testdb::connectionStringFor(path));
        connection.open();
        db::DataSet ds(QStringLiteral("dtset_Sverla"), &connection);
        ds.addField({QStringLiteral("ID"), db::FieldKind::AutoIncrement});
        ds.addField({QStringLiteral("Kod"), db::FieldKind::WideText, 150});
        ds.setCommandText(kQueries.first());
        ds.open();
        QVERIFY(ds.recordCount() > 0);
        QCOMPARE(listing(dir.path()), before);
        ds.setSort(QStringLiteral("Kod"));
        ds.close();
        connection.close();
    }
    QCOMPARE(listing(dir.path()), before);
    QCOMPARE(testdb::readAll(path), m_stockBytes);
}

// The query engine runs any statement it is given, but none may change the
// snapshot or create a file: each is refused with an error and the folder
// stays as it was.
void tst_DamagedFiles::writingStatementsRefused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("attach a new file") << QStringLiteral("ATTACH DATABASE '%1' AS extra");
    QTest::newRow("vacuum into a file") << QStringLiteral("VACUUM INTO '%1'");
    QTest::newRow("create a table") << QStringLiteral("CREATE TABLE x(a)");
    QTest::newRow("insert") << QStringLiteral("INSERT INTO Sverla(ID) VALUES (1)");
}

void tst_DamagedFiles::writingStatementsRefused()
{
    QFETCH(QString, sql);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stock.mdb"));
    QVERIFY(QFile::copy(m_stock, path));
    const QStringList before = listing(dir.path());
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    connection.execute(QStringLiteral("SELECT ID FROM Sverla"));
    try {
        connection.execute(sql.arg(dir.filePath(QStringLiteral("copy.db"))));
        QFAIL("the statement ran");
    } catch (const db::Error &e) {
        QVERIFY(!e.text().isEmpty());
    }
    QCOMPARE(listing(dir.path()), before);
    QCOMPARE(connection.execute(QStringLiteral("SELECT ID FROM Sverla")).rowCount(), 60);
}

QTEST_GUILESS_MAIN(tst_DamagedFiles)
#include "tst_damaged_files.moc"
