// Text in query results: values read straight from a table are kept as
// references into the snapshot's tables, values SQLite builds are copied
// (equal ones once), and a column may hold both; all must read back as the
// query gave them, also after the connection has closed.
#include "connection.h"
#include "result_table.h"
#include "test_databases.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_ResultText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void values_data();
    void values();
    void outlivesTheConnection();

private:
    QTemporaryDir m_dir;
    QString m_path;
    QStringList m_names;   // Names.Name by ID, "<NULL>" for NULL
    QStringList m_tagNames;   // the same, by Tags.ID
};

namespace {

QStringList texts(const db::ResultTable &t, int column)
{
    QStringList list;
    for (int r = 0; r < t.rowCount(); ++r)
        list << (t.isNull(r, column) ? QStringLiteral("<NULL>") : t.value(r, column).toString());
    return list;
}

} // namespace

void tst_ResultText::initTestCase()
{
    QVERIFY(m_dir.isValid());
    jetdb::Database db;
    auto &names = db.addTable("Names", {{"ID", jetdb::Type::Long}, {"Name", jetdb::Type::Text, 40}});
    // NULL and empty texts first: the column cannot tell its source from them.
    const std::vector<jetdb::Value> values = {jetdb::Null{}, std::string(), std::string("Борис"), jetdb::Null{},
                                              std::string("abc"), std::string(), std::string("Ёлка 12"),
                                              std::string("abd")};
    for (std::size_t i = 0; i < values.size(); ++i) {
        names.addRow({std::int64_t(i + 1), values[i]});
        m_names << (std::holds_alternative<jetdb::Null>(values[i]) ? QStringLiteral("<NULL>")
                                                                   : QString::fromStdString(std::get<std::string>(values[i])));
    }
    // Tags name a Names row by Name_ID, the first one the row whose ID is 1.
    auto &tags = db.addTable("Tags", {{"ID", jetdb::Type::Long}, {"Name_ID", jetdb::Type::Long}});
    for (const int nameId : {1, 3, 5, 7, 2, 4, 6, 8}) {
        tags.addRow({std::int64_t(tags.rows().size() + 1), std::int64_t(nameId)});
        m_tagNames << m_names[nameId - 1];
    }
    m_path = testdb::write(db, m_dir.filePath(QStringLiteral("names.mdb")));
}

void tst_ResultText::values_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("expected");
    const QStringList names = m_names;
    QStringList built;
    for (const QString &n : names)
        built << (n == QLatin1String("<NULL>") ? n : n + u'!');
    QTest::newRow("from the table") << "SELECT Name FROM Names ORDER BY ID" << 0 << names;
    QTest::newRow("built by SQLite") << "SELECT Name || '!' FROM Names ORDER BY ID" << 0 << built;
    QTest::newRow("table, then built") << "SELECT Name FROM Names UNION ALL SELECT Name || '!' FROM Names" << 0 << names + built;
    QTest::newRow("built, then table") << "SELECT Name || '!' FROM Names UNION ALL SELECT Name FROM Names" << 0 << built + names;
    QTest::newRow("through a sort") << "SELECT Name FROM Names ORDER BY +ID" << 0 << names;
    QStringList repeated;   // copies of equal values are kept once
    for (const QString &n : names)
        for (int i = 0; i < int(names.size()); ++i)
            repeated << n;
    QTest::newRow("repeated, through a sort")
        << "SELECT A.Name FROM Names A, Names B ORDER BY +A.ID, B.ID" << 0 << repeated;
    QTest::newRow("alternating, through a sort")
        << "SELECT A.Name FROM Names A, Names B ORDER BY +B.ID, A.ID" << 0 << [&] {
               QStringList list;
               for (int i = 0; i < int(names.size()); ++i)
                   list += names;
               return list;
           }();
    // A plain column is read from its table's row where SQLite's row is made
    // of the scans' rows, or where the result holds the row's ID; any other
    // value is a copy.
    QStringList ids;
    for (int i = 1; i <= int(names.size()); ++i)
        ids << QString::number(i);
    const QStringList turned = names.mid(0, 2) + QStringList(names.crbegin(), names.crend() - 2);
    QTest::newRow("numbers from the table") << "SELECT ID FROM Names ORDER BY ID" << 0 << ids;
    QTest::newRow("numbers through a sort") << "SELECT ID FROM Names ORDER BY +ID" << 0 << ids;
    QTest::newRow("a union, rows found by ID")
        << "SELECT ID, Name FROM Names WHERE ID > 4 UNION SELECT ID, Name FROM Names WHERE ID <= 4" << 1 << names;
    QTest::newRow("a table joined to itself, the ID's row, then another")
        << "SELECT A.ID, B.Name FROM Names A, Names B WHERE B.ID = CASE WHEN A.ID < 3 THEN A.ID ELSE 11 - A.ID END"
           " ORDER BY A.ID" << 1 << turned;
    // Found by the column joined to the ID, after a constant that names the
    // first row only.
    QTest::newRow("a union, rows found by a column joined to the ID")
        << "SELECT 1 AS One, T.ID, T.Name_ID, N.Name FROM Tags T, Names N WHERE N.ID = T.Name_ID AND T.ID > 4"
           " UNION SELECT 1, T.ID, T.Name_ID, N.Name FROM Tags T, Names N WHERE N.ID = T.Name_ID AND T.ID <= 4"
        << 3 << m_tagNames;
    // More distinct copies than a first look-up table holds, each met again
    // after it has grown.
    QTest::newRow("many distinct, repeated, through a sort")
        << "SELECT A.Name || B.ID FROM Names A, Names B, Names C ORDER BY +C.ID, B.ID, A.ID" << 0 << [&] {
               QStringList list;
               for (int c = 0; c < int(names.size()); ++c)
                   for (int b = 1; b <= int(names.size()); ++b)
                       for (const QString &n : names)
                           list << (n == QLatin1String("<NULL>") ? n : n + QString::number(b));
               return list;
           }();
}

void tst_ResultText::values()
{
    QFETCH(QString, query);
    QFETCH(int, column);
    QFETCH(QStringList, expected);
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(m_path));
    connection.open();
    QCOMPARE(texts(connection.execute(query), column), expected);
}

void tst_ResultText::outlivesTheConnection()
{
    db::ResultTable kept;
    {
        db::Connection connection;
        connection.setConnectionString(testdb::connectionStringFor(m_path));
        connection.open();
        kept = connection.execute(QStringLiteral("SELECT Name FROM Names ORDER BY ID"));
        connection.close();
    }
    QCOMPARE(texts(kept, 0), m_names);
    QCOMPARE(kept.value(2, 0), QVariant(QStringLiteral("Борис")));
}

QTEST_GUILESS_MAIN(tst_ResultText)
#include "tst_result_text.moc"
