// Scans that hand out their rows already in an ORDER BY's order, and look-ups
// of an integer column against a constant, must give exactly the rows, in
// exactly the order, that SQLite's own sort and filter give. "+column" keeps
// the column's collation but hides the column from the table, so SQLite sorts
// and filters those queries itself: they are the reference. A data set's
// sort, which ranks each column's values once, must give SQLite's order too.
#include "connection.h"
#include "dataset.h"
#include "result_table.h"
#include "test_databases.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using jetdb::Type;

class tst_OrderedScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameOrderAsSqlite_data();
    void sameOrderAsSqlite();
    void constantLookups_data();
    void constantLookups();
    void lookupsTakeSqliteAffinity_data();
    void lookupsTakeSqliteAffinity();
    void dataSetSortsAsSqlite_data();
    void dataSetSortsAsSqlite();

private:
    QTemporaryDir m_dir;
    db::Connection m_connection;
};

namespace {

// Values with NULLs, ties, letter case, both scripts, punctuation and long
// shared beginnings, so that every tie-break and the text order's slow path
// are exercised.
jetdb::Value text(QRandomGenerator &random)
{
    static const char *const parts[] = {"a", "A", "b", "Z", "0", "9", " ", "-", ".", "/", "ж", "Ж", "ё", "е",
                                        "Р6М5", "é", "_", "(", "я"};
    if (random.bounded(10) == 0)
        return jetdb::Null{};
    // Some share a long beginning, as names of one kind of tool do.
    std::string s = random.bounded(3) == 0 ? "Сверло спиральное Р6М5 " : "";
    for (int n = random.bounded(4); n > 0; --n)
        s += parts[random.bounded(int(std::size(parts)))];
    return s;
}

QList<qint32> ids(const db::ResultTable &t)
{
    QList<qint32> list;
    for (int r = 0; r < t.rowCount(); ++r)
        list.append(t.integerAt(r, 0));
    return list;
}

QString planOf(db::Connection &c, const QString &sql)
{
    const db::ResultTable plan = c.execute(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    QStringList steps;
    for (int r = 0; r < plan.rowCount(); ++r)
        steps << plan.value(r, 3).toString();
    return steps.join(QLatin1String("; "));
}

} // namespace

void tst_OrderedScan::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QRandomGenerator random(20261208);
    jetdb::Database db;
    auto &tools = db.addTable("Tools", {{"ID", Type::Long}, {"N", Type::Integer}, {"X", Type::Double},
                                        {"T", Type::Text, 40}, {"B", Type::Boolean}, {"D", Type::DateTime},
                                        {"ID_Firma", Type::Long}, {"M", Type::Memo}});
    for (int id = 1; id <= 2000; ++id) {
        const int n = random.bounded(12);
        const int x = random.bounded(20);
        tools.addRow({std::int64_t(id), n == 0 ? jetdb::Value(jetdb::Null{}) : jetdb::Value(std::int64_t(n - 6)),
                      x == 0 ? jetdb::Value(jetdb::Null{}) : jetdb::Value(x * 0.25 - 2.0), text(random),
                      random.bounded(2) == 1, jetdb::Date{double(random.bounded(40)) - 20.5},
                      std::int64_t(random.bounded(6)), text(random)});
    }
    auto &firms = db.addTable("Firms", {{"ID", Type::Long}, {"Name", Type::Text, 40}});
    for (int id = 1; id <= 4; ++id)   // ID 5 missing, 2 twice
        firms.addRow({std::int64_t(id == 4 ? 2 : id), text(random)});
    const QString path = testdb::write(db, m_dir.filePath(QStringLiteral("order.mdb")));
    m_connection.setConnectionString(testdb::connectionStringFor(path));
    m_connection.open();
}

void tst_OrderedScan::sameOrderAsSqlite_data()
{
    QTest::addColumn<QString>("query");   // %1 stands before each ORDER BY column
    QTest::newRow("text") << "SELECT ID, T FROM Tools ORDER BY %1T";
    QTest::newRow("text descending") << "SELECT ID FROM Tools ORDER BY %1T DESC";
    QTest::newRow("integer with NULLs") << "SELECT ID FROM Tools ORDER BY %1N";
    QTest::newRow("double descending, then text") << "SELECT ID FROM Tools ORDER BY %1X DESC, %1T";
    QTest::newRow("boolean, date") << "SELECT ID FROM Tools ORDER BY %1B, %1D DESC";
    QTest::newRow("three terms") << "SELECT ID FROM Tools ORDER BY %1T, %1N DESC, %1X";
    QTest::newRow("memo") << "SELECT ID FROM Tools ORDER BY %1M";
    QTest::newRow("join, ties in firm order")
        << "SELECT S.ID, F.Name FROM Tools S, Firms F WHERE S.ID_Firma=F.ID ORDER BY %1S.X";
    QTest::newRow("join on text") << "SELECT S.ID FROM Tools AS S, Firms AS F WHERE S.ID_Firma=F.ID ORDER BY %1S.T DESC";
}

void tst_OrderedScan::sameOrderAsSqlite()
{
    QFETCH(QString, query);
    const QString scanned = query.arg(QString());
    const QString sorted = query.arg(QStringLiteral("+"));
    // The two must really take different paths.
    QVERIFY2(!planOf(m_connection, scanned).contains(QLatin1String("TEMP B-TREE")), qPrintable(planOf(m_connection, scanned)));
    QVERIFY2(planOf(m_connection, sorted).contains(QLatin1String("TEMP B-TREE")), qPrintable(planOf(m_connection, sorted)));

    const db::ResultTable a = m_connection.execute(scanned);
    const db::ResultTable b = m_connection.execute(sorted);
    QVERIFY(a.rowCount() > 100);
    QCOMPARE(ids(a), ids(b));
    for (int c = 1; c < int(a.columns.size()); ++c)
        for (int r = 0; r < a.rowCount(); ++r)
            QCOMPARE(a.value(r, c), b.value(r, c));
}

void tst_OrderedScan::constantLookups_data()
{
    QTest::addColumn<QString>("query");   // %1 stands before the looked-up column
    QTest::newRow("integer") << "SELECT ID, T FROM Tools WHERE %1N = 3";
    QTest::newRow("negative, with a second condition") << "SELECT ID FROM Tools WHERE %1N = -6 AND X > 0";
    QTest::newRow("whole real") << "SELECT ID FROM Tools WHERE %1N = 2.0";
    QTest::newRow("fraction: no row") << "SELECT ID FROM Tools WHERE %1N = 2.5";
    QTest::newRow("NULL: no row") << "SELECT ID FROM Tools WHERE %1N = NULL";
    // The look-up must not draw the table inward: two firms share ID 2.
    QTest::newRow("in a join") << "SELECT S.ID, F.Name FROM Tools S, Firms F WHERE S.ID_Firma=F.ID AND %1S.N=3";
    // ID look-ups, which SQLite trusts without checking, against reals and
    // NULLs (sorted: the reference may join the other way round).
    QTest::newRow("ID against reals")
        << "SELECT S.ID, F.Name, S.X FROM Tools S, Firms F WHERE %1F.ID = S.X ORDER BY S.ID, F.Name";
    QTest::newRow("ID against NULLs")
        << "SELECT S.ID, F.Name FROM Tools S, Firms F WHERE %1F.ID = S.N - S.N + 1 ORDER BY S.ID, F.Name";
}

void tst_OrderedScan::constantLookups()
{
    QFETCH(QString, query);
    const QString lookedUp = query.arg(QString());
    const QString filtered = query.arg(QStringLiteral("+"));
    const db::ResultTable a = m_connection.execute(lookedUp);
    const db::ResultTable b = m_connection.execute(filtered);
    QCOMPARE(ids(a), ids(b));
    for (int c = 1; c < int(a.columns.size()); ++c)
        for (int r = 0; r < a.rowCount(); ++r)
            QCOMPARE(a.value(r, c), b.value(r, c));
}

// Look-ups that SQLite does not check again must match exactly what its own
// comparison with an integer column matches, text and blobs included.
// CAST(... AS INTEGER) keeps the integer affinity but is no column to look up.
void tst_OrderedScan::lookupsTakeSqliteAffinity_data()
{
    QTest::addColumn<QString>("value");
    for (const char *v : {"7", "7.0", "7.5", "'7'", "' 7 '", "'7.0'", "'7.5'", "'x7'", "x'07'", "'-3'", "NULL"})
        QTest::newRow(v) << QString::fromLatin1(v);
}

void tst_OrderedScan::lookupsTakeSqliteAffinity()
{
    QFETCH(QString, value);
    for (const char *column : {"ID", "N"}) {
        const QString looked = QStringLiteral("SELECT ID FROM Tools WHERE %1 = %2").arg(QLatin1String(column), value);
        const QString checked =
            QStringLiteral("SELECT ID FROM Tools WHERE CAST(%1 AS INTEGER) = %2").arg(QLatin1String(column), value);
        QVERIFY2(!planOf(m_connection, looked).endsWith(QLatin1String("INDEX 0:")), qPrintable(planOf(m_connection, looked)));
        QCOMPARE(ids(m_connection.execute(looked)), ids(m_connection.execute(checked)));
    }
}

QTEST_GUILESS_MAIN(tst_OrderedScan)
#include "tst_ordered_scan.moc"

void tst_OrderedScan::dataSetSortsAsSqlite_data()
{
    QTest::addColumn<QString>("keys");      // the data set's key list
    QTest::addColumn<QString>("orderBy");   // the same order in SQL
    // The tools' texts are mostly different, each ranked for itself; the
    // firms' few names repeat on every tool of the firm, ranked once each.
    QTest::newRow("text") << "T" << "+S.T";
    QTest::newRow("joined text descending, then integer") << "Name DESC,N" << "+F.Name DESC, +S.N";
    QTest::newRow("double, then text descending") << "X,T DESC" << "+S.X, +S.T DESC";
}

void tst_OrderedScan::dataSetSortsAsSqlite()
{
    QFETCH(QString, keys);
    QFETCH(QString, orderBy);
    const QString query = QStringLiteral("SELECT S.ID, S.N, S.X, S.T, F.Name FROM Tools S, Firms F "
                                         "WHERE S.ID_Firma=F.ID ORDER BY S.ID");
    db::DataSet ds(QStringLiteral("dtset_Tools"), &m_connection);
    ds.addField({QStringLiteral("ID"), db::FieldKind::Integer});
    ds.addField({QStringLiteral("N"), db::FieldKind::Integer});
    ds.addField({QStringLiteral("X"), db::FieldKind::Float});
    ds.addField({QStringLiteral("T"), db::FieldKind::WideText, 40});
    ds.addField({QStringLiteral("Name"), db::FieldKind::WideText, 40});
    ds.setCommandText(query);
    ds.open();
    ds.setSort(keys);
    QList<qint32> sorted;
    for (int r = 0; r < ds.recordCount(); ++r)
        sorted.append(ds.value(r, 0).toInt());
    // Rows equal on every key keep the query's order, by ID.
    const db::ResultTable reference = m_connection.execute(QString(query).replace(
        QLatin1String("ORDER BY S.ID"), QLatin1String("ORDER BY ") + orderBy + QLatin1String(", S.ID")));
    QVERIFY(sorted.size() > 1000);
    QCOMPARE(sorted, ids(reference));
}
