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
    m_path = testdb::write(db, m_dir.filePath(QStringLiteral("names.mdb")));
}

void tst_ResultText::values_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    const QStringList names = m_names;
    QStringList built;
    for (const QString &n : names)
        built << (n == QLatin1String("<NULL>") ? n : n + u'!');
    QTest::newRow("from the table") << "SELECT Name FROM Names ORDER BY ID" << names;
    QTest::newRow("built by SQLite") << "SELECT Name || '!' FROM Names ORDER BY ID" << built;
    QTest::newRow("table, then built") << "SELECT Name FROM Names UNION ALL SELECT Name || '!' FROM Names" << names + built;
    QTest::newRow("built, then table") << "SELECT Name || '!' FROM Names UNION ALL SELECT Name FROM Names" << built + names;
    QTest::newRow("through a sort") << "SELECT Name FROM Names ORDER BY +ID" << names;
    QStringList repeated;   // copies of equal values are kept once
    for (const QString &n : names)
        for (int i = 0; i < int(names.size()); ++i)
            repeated << n;
    QTest::newRow("repeated, through a sort")
        << "SELECT A.Name FROM Names A, Names B ORDER BY +A.ID, B.ID" << repeated;
    QTest::newRow("alternating, through a sort")
        << "SELECT A.Name FROM Names A, Names B ORDER BY +B.ID, A.ID" << [&] {
               QStringList list;
               for (int i = 0; i < int(names.size()); ++i)
                   list += names;
               return list;
           }();
    // More distinct copies than a first look-up table holds, each met again
    // after it has grown.
    QTest::newRow("many distinct, repeated, through a sort")
        << "SELECT A.Name || B.ID FROM Names A, Names B, Names C ORDER BY +C.ID, B.ID, A.ID" << [&] {
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
    QFETCH(QStringList, expected);
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(m_path));
    connection.open();
    QCOMPARE(texts(connection.execute(query), 0), expected);
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
