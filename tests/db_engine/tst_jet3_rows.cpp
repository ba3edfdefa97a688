// Jet 3 (Access 97) rows of every length the stock tables allow: long
// Cyrillic texts in Windows-1251, several var columns, memos inline and in
// long-value pages, NULLs and fixed columns. Rows of 256 bytes and more keep
// their var offsets' high bits in a jump table; every value must come back
// exactly through the engine, the data module and mdbtools' own reader.
#include "connection.h"
#include "dataset.h"
#include "field.h"
#include "mdb_tools.h"
#include "result_table.h"
#include "stock_queries.h"
#include "stock_schema.h"
#include "test_databases.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <optional>

using jetdb::Type;

namespace {

// Windows-1251 text of exactly `length` characters, mostly Cyrillic, with
// no short period that could hide a shifted or lost piece.
std::string cyrillic(int length, QRandomGenerator &random)
{
    static const QString letters = QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюяЁё№«»°€ ,.;-0123456789ABCxyz");
    QString s;
    s.reserve(length);
    while (s.size() < length)
        s += letters.at(int(random.bounded(quint32(letters.size()))));
    return s.toStdString();
}

// A text length: empty, one character, full, nearly full or anything
// between, so the rows' lengths spread over several 256-byte blocks.
int textLength(int declared, QRandomGenerator &random)
{
    switch (random.bounded(8)) {
    case 0: return 0;
    case 1: return 1;
    case 2: return declared;
    case 3: return std::max(0, declared - int(random.bounded(4)));
    default: return int(random.bounded(declared + 1));
    }
}

int memoLength(QRandomGenerator &random)
{
    // Inline (up to 64 bytes), one long-value row, a chain of rows.
    static const int lengths[] = {0, 1, 63, 64, 65, 300, 2032, 2033, 5000};
    return lengths[random.bounded(int(std::size(lengths)))];
}

struct StockRows {
    jetdb::Database db{jetdb::Format::Jet3, 1251};
    std::map<std::string, std::vector<jetdb::Row>> rows;   // per table, as written
};

// Fills the eight stock tables with `count` rows each; every column is NULL
// now and then, except the keys and the Boolean ones.
void fillStock(StockRows &stock, int count, quint32 seed)
{
    stock::addStockTables(stock.db);
    QRandomGenerator random(seed);
    for (const char *name : {"Sverla", "Frezy", "Derj_Plast", "Plastinyi", "Firma", "Dolgi", "People", "List_Tabl"}) {
        jetdb::Table &table = *stock.db.table(name);
        for (int r = 0; r < count; ++r) {
            jetdb::Row row;
            for (const jetdb::Column &c : table.columns()) {
                const bool null = !c.autoNumber && c.type != Type::Boolean && random.bounded(6) == 0;
                // Keys that join, so that the data module lists every row:
                // IDs 1..count, debts of drills, inserts and milling cutters.
                const std::optional<std::int64_t> key = c.name == "ID" ? r + 1
                    : c.name == "ID_Tabl"                              ? 1 + random.bounded(3)
                    : c.name.starts_with("ID_")                        ? 1 + random.bounded(count)
                                                                       : std::optional<std::int64_t>();
                if (key) {
                    row.push_back(*key);
                } else if (c.type == Type::Boolean) {
                    row.push_back(random.bounded(2) == 1);
                } else if (null) {
                    row.push_back(jetdb::Null{});
                } else if (c.type == Type::Text) {
                    row.push_back(cyrillic(textLength(c.textLength, random), random));
                } else if (c.type == Type::Memo) {
                    row.push_back(cyrillic(memoLength(random), random));
                } else if (c.type == Type::Double) {
                    row.push_back(random.generateDouble() * 1000 - 500);
                } else if (c.type == Type::DateTime) {
                    row.push_back(jetdb::Date::fromCivil(1990 + int(random.bounded(40)), 1 + int(random.bounded(12)),
                                                         1 + int(random.bounded(28)), int(random.bounded(24))));
                } else {
                    row.push_back(std::int64_t(qint32(random.generate())));
                }
            }
            table.addRow(row);
            stock.rows[name].push_back(std::move(row));
        }
    }
}

QVariant expectedValue(const jetdb::Value &v)
{
    if (const auto *b = std::get_if<bool>(&v))
        return *b;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return qint64(*i);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *date = std::get_if<jetdb::Date>(&v))
        return date->days;
    if (const auto *s = std::get_if<std::string>(&v))
        return QString::fromStdString(*s);
    return {};
}

bool sameValue(const QVariant &got, const QVariant &want)
{
    if (want.isNull())
        return got.isNull();
    if (got.isNull())
        return false;
    switch (want.typeId()) {
    case QMetaType::Bool: return got.toBool() == want.toBool();
    case QMetaType::LongLong: return got.toLongLong() == want.toLongLong();
    case QMetaType::Double: return got.toDouble() == want.toDouble();
    default: return got.toString() == want.toString();
    }
}

// The bytes a row's fixed columns and var data take (a memo's inline text
// counted, its long-value pages not): to know the rows run past two blocks.
int dataLength(const jetdb::Table &table, const jetdb::Row &row)
{
    int length = 1;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const Type type = table.columns()[i].type;
        const auto *s = std::get_if<std::string>(&row[i]);
        const int chars = s ? int(QString::fromStdString(*s).size()) : 0;
        if (type == Type::Text)
            length += chars;
        else if (type == Type::Memo)
            length += s ? 12 + (chars <= 64 ? chars : 0) : 0;
        else if (type == Type::Double || type == Type::DateTime)
            length += 8;
        else if (type == Type::Long)
            length += 4;
    }
    return length;
}

} // namespace

class tst_Jet3Rows : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    StockRows m_stock;
    QString m_path;

    QVariant expectedField(const std::string &table, const QString &field, const jetdb::Row &row);

private slots:
    void initTestCase();
    void everyValueThroughTheEngine_data();
    void everyValueThroughTheEngine();
    void everyValueThroughMdbtools_data();
    void everyValueThroughMdbtools();
    void everyValueThroughTheQueries();
    void everyEdgeOfABlock_data();
    void everyEdgeOfABlock();
    void tablesOfAnyShape();
};

void tst_Jet3Rows::initTestCase()
{
    QVERIFY(m_dir.isValid());
    fillStock(m_stock, 300, 97);
    m_path = testdb::write(m_stock.db, m_dir.filePath(QStringLiteral("stock97.mdb")));
    int longest = 0;
    for (const auto &[name, rows] : m_stock.rows)
        for (const jetdb::Row &row : rows)
            longest = std::max(longest, dataLength(*m_stock.db.table(name), row));
    QVERIFY2(longest > 768, qPrintable(QString::number(longest)));
}

void tst_Jet3Rows::everyValueThroughTheEngine_data()
{
    QTest::addColumn<QString>("table");
    for (const char *name : {"Sverla", "Frezy", "Derj_Plast", "Plastinyi", "Firma", "Dolgi", "People", "List_Tabl"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_Jet3Rows::everyValueThroughTheEngine()
{
    QFETCH(QString, table);
    const jetdb::Table &written = *m_stock.db.table(table.toStdString());
    const std::vector<jetdb::Row> &rows = m_stock.rows[table.toStdString()];

    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(m_path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT * FROM ") + table);
    QCOMPARE(r.rowCount(), int(rows.size()));
    QCOMPARE(r.columns.size(), written.columns().size());
    for (int row = 0; row < r.rowCount(); ++row)
        for (int col = 0; col < int(r.columns.size()); ++col) {
            const QVariant want = expectedValue(rows[std::size_t(row)][std::size_t(col)]);
            const QVariant got = r.value(row, col);
            QVERIFY2(sameValue(got, want), qPrintable(QStringLiteral("row %1 column %2: got \"%3\", wrote \"%4\"")
                                                          .arg(row).arg(r.columns[std::size_t(col)].name,
                                                                        got.toString(), want.toString())));
        }
}

void tst_Jet3Rows::everyValueThroughMdbtools_data() { everyValueThroughTheEngine_data(); }

// libmdb's own row cracking (the raw bytes and null bit of each text) and
// mdb-export's CSV (texts, memos and whole numbers as written).
void tst_Jet3Rows::everyValueThroughMdbtools()
{
    QFETCH(QString, table);
    const jetdb::Table &written = *m_stock.db.table(table.toStdString());
    const std::vector<jetdb::Row> &rows = m_stock.rows[table.toStdString()];
    const QList<mdbtest::RawRow> raw = mdbtest::readRaw(m_path, table);
    QCOMPARE(raw.size(), qsizetype(rows.size()));
    const QList<QList<mdbtest::Cell>> exported =
        mdbtest::exportTable(m_path, table, {QStringLiteral("MDB_JET3_CHARSET=CP1251")});
    QCOMPARE(exported.size(), qsizetype(rows.size()));
    for (int row = 0; row < raw.size(); ++row)
        for (int col = 0; col < int(written.columns().size()); ++col) {
            const jetdb::Column &c = written.columns()[std::size_t(col)];
            const jetdb::Value &v = rows[std::size_t(row)][std::size_t(col)];
            const QByteArray where = QByteArray("row ") + QByteArray::number(row) + " column " + c.name.c_str();
            const auto *s = std::get_if<std::string>(&v);
            if (c.type == Type::Text) {
                QVERIFY2(raw[row][col].null == !s, where);
                QVERIFY2(!s || raw[row][col].bytes.size() == QString::fromStdString(*s).size(), where);
            }
            QString want;   // mdb-export shows NULL and an empty text alike
            if (s)
                want = QString::fromStdString(*s);
            else if (const auto *i = std::get_if<std::int64_t>(&v); i && c.type == Type::Long)
                want = QString::number(*i);
            else if (!std::holds_alternative<jetdb::Null>(v))
                continue;
            QVERIFY2(exported[row][col].value_or(QString()) == want, where);
        }
}

// What a query's column shows, from the rows written: its own table's
// column, or the joined firm, worker, tool kind or tool.
QVariant tst_Jet3Rows::expectedField(const std::string &table, const QString &field, const jetdb::Row &row)
{
    auto cell = [&](const std::string &from, const jetdb::Row &r, const std::string &column) {
        return expectedValue(r[std::size_t(m_stock.db.table(from)->columnIndex(column))]);
    };
    auto byId = [&](const std::string &from, const QVariant &id) -> const jetdb::Row & {
        return m_stock.rows[from][std::size_t(id.toLongLong() - 1)];
    };
    const std::string name = field.toLower().toStdString();
    if (table == "Dolgi") {
        static const char *const tools[] = {"", "Sverla", "Plastinyi", "Frezy"};
        const char *tool = tools[cell(table, row, "ID_Tabl").toInt()];
        if (name == "kod" || name == "pikcher")
            return cell(tool, byId(tool, cell(table, row, "ID_Instr")), name);
        if (name == "fio" || name == "foto")
            return cell("People", byId("People", cell(table, row, "ID_People")), name);
        if (name == "tabl_name")
            return cell("List_Tabl", byId("List_Tabl", cell(table, row, "ID_Tabl")), name);
    } else if (name == "name") {
        return cell("Firma", byId("Firma", cell(table, row, "ID_Firma")), "Name");
    } else if (name == "derj_name") {
        return cell(table, row, "Name");
    }
    return cell(table, row, name);
}

// The data module's five queries join the tables; every column of every
// listed row shows what was written.
void tst_Jet3Rows::everyValueThroughTheQueries()
{
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(m_path));
    connection.open();
    const std::pair<const char *, std::string> sets[] = {
        {queries::kSverlaQuery, "Sverla"}, {queries::kFrezyQuery, "Frezy"}, {queries::kDerjQuery, "Derj_Plast"},
        {queries::kPlastQuery, "Plastinyi"}, {queries::kDolgiQuery, "Dolgi"}};
    for (const auto &[sql, table] : sets) {
        const db::ResultTable result = connection.execute(QString::fromLatin1(sql));
        int idColumn = 0;
        while (idColumn < int(result.columns.size()) && result.columns[std::size_t(idColumn)].name != u"ID")
            ++idColumn;
        QVERIFY(idColumn < int(result.columns.size()));
        const std::vector<jetdb::Row> &rows = m_stock.rows[table];
        QCOMPARE(result.rowCount(), int(rows.size()));
        for (int row = 0; row < result.rowCount(); ++row) {
            const QVariant id = result.value(row, idColumn);
            const jetdb::Row &written = rows[std::size_t(id.toLongLong() - 1)];
            for (int column = 0; column < int(result.columns.size()); ++column) {
                const QString &name = result.columns[std::size_t(column)].name;
                const QVariant got = result.value(row, column);
                const QVariant want = expectedField(table, name, written);
                QVERIFY2(sameValue(got, want), qPrintable(QStringLiteral("%1 ID %2 column %3: got \"%4\", wrote \"%5\"")
                                                              .arg(QString::fromStdString(table), id.toString(), name,
                                                                   got.toString(), want.toString())));
            }
        }
    }
}

void tst_Jet3Rows::everyEdgeOfABlock_data()
{
    // Lengths of the texts after the first one, and the memo's: the first
    // text then runs through all its lengths, moving each later offset and
    // the end of the data over every position around the block edges.
    QTest::addColumn<QList<int>>("lengths");   // B, M, C; -1 is NULL
    QTest::newRow("one long text") << QList<int>{-1, -1, -1};
    QTest::newRow("second text across 256") << QList<int>{200, -1, 0};
    QTest::newRow("memo header across 256") << QList<int>{230, 64, -1};
    QTest::newRow("empty values after 256") << QList<int>{255, 0, 0};
    QTest::newRow("long-value memo, last text across 512") << QList<int>{255, 300, 255};
    QTest::newRow("three blocks") << QList<int>{255, 64, 255};
    QTest::newRow("NULL between long texts") << QList<int>{-1, 64, 255};
}

void tst_Jet3Rows::everyEdgeOfABlock()
{
    QFETCH(QList<int>, lengths);
    jetdb::Database db(jetdb::Format::Jet3, 1251);
    jetdb::Table &t = db.addTable("Edges", {{"N", Type::Long}, {"A", Type::Text, 255}, {"B", Type::Text, 255},
                                            {"Flag", Type::Boolean}, {"M", Type::Memo}, {"C", Type::Text, 255},
                                            {"D", Type::Double}});
    QRandomGenerator random(1997);
    auto value = [&](int length) -> jetdb::Value {
        if (length < 0)
            return jetdb::Null{};
        return cyrillic(length, random);
    };
    std::vector<jetdb::Row> rows;
    for (int a = 0; a <= 255; ++a) {
        rows.push_back({std::int64_t(a), value(a), value(lengths[0]), a % 2 == 1, value(lengths[1]), value(lengths[2]),
                        a * 0.25});
        t.addRow(rows.back());
    }
    const QString path = testdb::write(db, m_dir.filePath(QStringLiteral("edges.mdb")));

    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT * FROM Edges ORDER BY N"));
    QCOMPARE(r.rowCount(), int(rows.size()));
    const QList<mdbtest::RawRow> raw = mdbtest::readRaw(path, QStringLiteral("Edges"));
    QCOMPARE(raw.size(), qsizetype(rows.size()));
    for (int row = 0; row < r.rowCount(); ++row)
        for (int col = 0; col < int(r.columns.size()); ++col) {
            const jetdb::Value &v = rows[std::size_t(row)][std::size_t(col)];
            const QVariant want = expectedValue(v);
            const QVariant got = r.value(row, col);
            const QByteArray where = "row " + QByteArray::number(row) + " column " + r.columns[std::size_t(col)].name.toUtf8();
            QVERIFY2(sameValue(got, want), where + ": got \"" + got.toString().toUtf8() + (got.isNull() ? "\" (NULL)" : "\""));
            if (const auto *s = std::get_if<std::string>(&v); s && col != 4)
                QCOMPARE(raw[row][col].bytes.size(), QString::fromStdString(*s).size());
        }
}

// Tables of random column kinds, counts and orders (var columns among the
// fixed ones, null masks of several bytes), rows up to the longest a table
// allows.
void tst_Jet3Rows::tablesOfAnyShape()
{
    QRandomGenerator random(3097);
    jetdb::Database db(jetdb::Format::Jet3, 1251);
    std::vector<std::vector<jetdb::Row>> written;
    const Type kinds[] = {Type::Boolean, Type::Byte, Type::Integer, Type::Long, Type::Currency, Type::Single,
                          Type::Double, Type::DateTime, Type::Text, Type::Text, Type::Text, Type::Memo};
    for (int t = 0; t < 30; ++t) {
        std::vector<jetdb::Column> columns{{"N", Type::Long}};
        const int count = 1 + int(random.bounded(24));
        for (int c = 0; c < count; ++c)
            columns.push_back({"C" + std::to_string(c), kinds[random.bounded(int(std::size(kinds)))],
                               1 + int(random.bounded(255))});
        jetdb::Table &table = db.addTable("Shape" + std::to_string(t), columns);
        written.emplace_back();
        for (int r = 0; r < 40; ++r) {
            jetdb::Row row{std::int64_t(r)};
            for (std::size_t c = 1; c < columns.size(); ++c) {
                const jetdb::Column &col = columns[c];
                if (col.type != Type::Boolean && random.bounded(5) == 0) {
                    row.push_back(jetdb::Null{});
                    continue;
                }
                switch (col.type) {
                case Type::Boolean: row.push_back(random.bounded(2) == 1); break;
                case Type::Byte: row.push_back(std::int64_t(random.bounded(256))); break;
                case Type::Integer: row.push_back(std::int64_t(qint16(random.generate()))); break;
                case Type::Long: row.push_back(std::int64_t(qint32(random.generate()))); break;
                case Type::Currency: row.push_back(jetdb::Currency{qint32(random.generate())}); break;
                case Type::Single: row.push_back(double(float(random.generateDouble()))); break;
                case Type::Double: row.push_back(random.generateDouble()); break;
                case Type::DateTime: row.push_back(jetdb::Date::fromCivil(2000, 1, 1 + int(random.bounded(28)))); break;
                case Type::Text: row.push_back(cyrillic(textLength(col.textLength, random), random)); break;
                case Type::Memo: row.push_back(cyrillic(memoLength(random), random)); break;
                case Type::Numeric: QFAIL("Access 97 has no decimal columns");
                }
            }
            table.addRow(row);
            written.back().push_back(std::move(row));
        }
    }
    const QString path = testdb::write(db, m_dir.filePath(QStringLiteral("shapes.mdb")));
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    for (std::size_t t = 0; t < written.size(); ++t) {
        const db::ResultTable r = connection.execute(QStringLiteral("SELECT * FROM Shape%1 ORDER BY N").arg(t));
        QCOMPARE(r.rowCount(), int(written[t].size()));
        for (int row = 0; row < r.rowCount(); ++row)
            for (int col = 0; col < int(r.columns.size()); ++col) {
                const jetdb::Value &v = written[t][std::size_t(row)][std::size_t(col)];
                QVariant want = expectedValue(v);
                if (const auto *c = std::get_if<jetdb::Currency>(&v))
                    want = double(c->scaled) / 10000.0;
                const QVariant got = r.value(row, col);
                QVERIFY2(sameValue(got, want), qPrintable(QStringLiteral("Shape%1 row %2 column %3: got \"%4\"")
                                                              .arg(t).arg(row).arg(r.columns[std::size_t(col)].name, got.toString())));
            }
    }
}

QTEST_GUILESS_MAIN(tst_Jet3Rows)
#include "tst_jet3_rows.moc"
