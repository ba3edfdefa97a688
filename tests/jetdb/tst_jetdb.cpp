// The Jet 4 writer, checked against an independent reader: files are
// written and read back with mdbtools (mdb-ver, mdb-tables, mdb-schema,
// mdb-export, mdb-count), and with libmdb's own row cracking where the
// tools cannot show a value exactly.
#include "jetdb.h"
#include "mdb_tools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>
#include <limits>

using namespace jetdb;
using mdbtest::Cell;

Q_DECLARE_METATYPE(jetdb::Column)
Q_DECLARE_METATYPE(std::vector<jetdb::Value>)
Q_DECLARE_METATYPE(std::function<void()>)

namespace {

const QString nullCell = QStringLiteral("<NULL>");

QStringList cellsOf(const QList<QList<Cell>> &rows, int index)
{
    QStringList out;
    for (const auto &row : rows)
        out << (index < row.size() && row[index] ? *row[index] : nullCell);
    return out;
}

QString printfDouble(const char *format, double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, v);
    return QString::fromLatin1(buffer);
}

// Memo and text values of a given length: Latin, Cyrillic and signs, with
// a line break now and then.
std::string sample(int characters, bool cyrillic)
{
    static const char16_t latin[] = u"Drill 10.5 mm, HSS; ";
    static const char16_t russian[] = u"Сверло Ø10,5 «Р6М5» №3 ёЁ 45°\r\n";
    const std::u16string pattern = cyrillic ? russian : latin;
    std::u16string s;
    while (int(s.size()) < characters)
        s += pattern[s.size() % pattern.size()];
    return QString::fromStdU16String(s).toStdString();
}

double rawDouble(const QByteArray &b)
{
    double d = 0;
    if (b.size() == 8)
        std::memcpy(&d, b.constData(), 8);
    return d;
}

std::int64_t i64(std::int64_t v) { return v; }

} // namespace

class tst_JetDb : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void values_data();
    void values();
    void schema_data();
    void schema();
    void emptyTextAndDatesBefore1900();
    void textCompression_data();
    void textCompression();
    void namedRows();
    void emptyTable();
    void largeTableUsesBitmapPages();
    void wideTableAndManyTables();
    void misuseIsRefused_data();
    void misuseIsRefused();
    void failedWriteLeavesNothing();
    void civilDates_data();
    void civilDates();
};

void tst_JetDb::values_data()
{
    QTest::addColumn<Column>("column");
    QTest::addColumn<std::vector<Value>>("values");
    QTest::addColumn<QStringList>("expected");

    const auto money = [](std::int64_t scaled) { return Value(Currency{scaled}); };
    QTest::newRow("boolean") << Column{"Flag", Type::Boolean} << std::vector<Value>{true, false, true}
                             << QStringList{"1", "0", "1"};
    QTest::newRow("byte") << Column{"B", Type::Byte} << std::vector<Value>{i64(0), i64(255), i64(17), Null{}}
                          << QStringList{"0", "255", "17", nullCell};
    QTest::newRow("integer") << Column{"I", Type::Integer} << std::vector<Value>{i64(-32768), i64(32767), i64(0), Null{}}
                             << QStringList{"-32768", "32767", "0", nullCell};
    QTest::newRow("long") << Column{"L", Type::Long}
                          << std::vector<Value>{i64(std::numeric_limits<std::int32_t>::min()),
                                                i64(std::numeric_limits<std::int32_t>::max()), i64(-1), Null{}}
                          << QStringList{"-2147483648", "2147483647", "-1", nullCell};
    QTest::newRow("currency") << Column{"C", Type::Currency}
                              << std::vector<Value>{money(125000), money(123456789012345), i64(5), money(0), Null{}}
                              << QStringList{"12.5000", "12345678901.2345", "5.0000", "0.0000", nullCell};
    QTest::newRow("single") << Column{"S", Type::Single} << std::vector<Value>{1.5, -0.1, 3.0e10, i64(7), Null{}}
                            << QStringList{"1.5", printfDouble("%.8g", double(-0.1f)), printfDouble("%.8g", double(3.0e10f)),
                                           "7", nullCell};
    QTest::newRow("double") << Column{"D", Type::Double} << std::vector<Value>{10.5, -1234.5678, 0.1, 1e-9, 12.0, Null{}}
                            << QStringList{"10.5", "-1234.5678", "0.1", printfDouble("%.16g", 1e-9), "12", nullCell};
    QTest::newRow("date and time")
        << Column{"Date", Type::DateTime}
        << std::vector<Value>{Date::fromCivil(1899, 12, 30), Date::fromCivil(1900, 1, 1, 6, 0, 1),
                              Date::fromCivil(2024, 2, 29, 23, 59, 59), Date::fromCivil(2000, 1, 1, 12, 0, 0),
                              Date::fromCivil(4000, 12, 31, 23, 59, 59), Null{}}
        << QStringList{"1899-12-30 00:00:00", "1900-01-01 06:00:01", "2024-02-29 23:59:59", "2000-01-01 12:00:00",
                       "4000-12-31 23:59:59", nullCell};
    QTest::newRow("text latin") << Column{"Kod", Type::Text, 40}
                                << std::vector<Value>{std::string("CNMG 120408-PM 4325"), std::string("a \"quoted\", word"),
                                                      Null{}}
                                << QStringList{"CNMG 120408-PM 4325", "a \"quoted\", word", nullCell};
    QTest::newRow("text cyrillic and signs")
        << Column{"Naimenovanie", Type::Text, 60}
        << std::vector<Value>{std::string("Сверло спиральное Р6М5"), std::string("ёЁ №12 «Ø10» 45° — тест"),
                              std::string("Ѐ and Ā have a zero low byte"), std::string("\xEF\xBB\xBF" "starts with U+FEFF"),
                              std::string("Ż"), std::string("x")}
        << QStringList{"Сверло спиральное Р6М5", "ёЁ №12 «Ø10» 45° — тест", "Ѐ and Ā have a zero low byte",
                       QChar(0xFEFF) + QString("starts with U+FEFF"), "Ż", "x"};
    QTest::newRow("text of 255 characters")
        << Column{"T", Type::Text, 255} << std::vector<Value>{sample(255, true), sample(255, false)}
        << QStringList{QString::fromStdString(sample(255, true)), QString::fromStdString(sample(255, false))};

    // Memo lengths around the storage limits: inline up to 64 bytes, one
    // LVAL row up to 4,076 bytes, chains beyond.
    for (bool cyrillic : {false, true}) {
        std::vector<Value> values;
        QStringList expected;
        for (int n : {1, 64, 65, 2000, 4076, 4077, 20000, 100000}) {
            // mdb-export shows at most 200,000 bytes of UTF-8.
            const std::string s = sample(n, cyrillic && n < 100000);
            values.push_back(s);
            expected << QString::fromStdString(s);
        }
        values.push_back(Null{});
        expected << nullCell;
        QTest::newRow(cyrillic ? "memo cyrillic" : "memo latin") << Column{"Prim", Type::Memo} << values << expected;
    }
}

void tst_JetDb::values()
{
    QFETCH(Column, column);
    QFETCH(std::vector<Value>, values);
    QFETCH(QStringList, expected);

    Database db;
    Table &t = db.addTable("Values", {{"N", Type::Long}, column});
    std::int64_t n = 0;
    for (const Value &v : values)
        t.addRow({++n, v});
    const QString file = path(QTest::currentDataTag() + QStringLiteral(".mdb"));
    db.write(file.toStdString());

    QCOMPARE(mdbtest::run("mdb-ver", {file}).out.trimmed(), QByteArray("JET4"));
    QCOMPARE(mdbtest::tables(file), QStringList{"Values"});
    QCOMPARE(mdbtest::exportHeader(file, "Values"), (QStringList{"N", QString::fromStdString(column.name)}));
    const auto rows = mdbtest::exportTable(file, "Values");
    QCOMPARE(rows.size(), qsizetype(values.size()));
    QCOMPARE(cellsOf(rows, 1), expected);
    QCOMPARE(mdbtest::count(file, "Values"), qint64(values.size()));
    // mdbtools warns on stderr about anything it had to guess at.
    const mdbtest::Output o = mdbtest::run("mdb-export", {file, "Values"});
    QCOMPARE(o.err, QByteArray());
}

void tst_JetDb::schema_data()
{
    QTest::addColumn<Column>("column");
    QTest::addColumn<QString>("declared");
    QTest::newRow("boolean") << Column{"A", Type::Boolean} << "Boolean NOT NULL";
    QTest::newRow("byte") << Column{"A", Type::Byte} << "Byte";
    QTest::newRow("integer") << Column{"A", Type::Integer} << "Integer";
    QTest::newRow("long") << Column{"A", Type::Long} << "Long Integer";
    QTest::newRow("currency") << Column{"A", Type::Currency} << "Currency";
    QTest::newRow("single") << Column{"A", Type::Single} << "Single";
    QTest::newRow("double") << Column{"A", Type::Double} << "Double";
    QTest::newRow("date") << Column{"A", Type::DateTime} << "DateTime";
    QTest::newRow("text 1") << Column{"A", Type::Text, 1} << "Text (1)";
    QTest::newRow("text 150") << Column{"A", Type::Text, 150} << "Text (150)";
    QTest::newRow("text 255") << Column{"A", Type::Text, 255} << "Text (255)";
    QTest::newRow("memo") << Column{"A", Type::Memo} << "Memo/Hyperlink (255)";
    QTest::newRow("numeric 18,3") << Column{"A", Type::Numeric, 255, false, 18, 3} << "Numeric (18, 3)";
    QTest::newRow("numeric 28,0") << Column{"A", Type::Numeric, 255, false, 28, 0} << "Numeric (28, 0)";
}

void tst_JetDb::schema()
{
    QFETCH(Column, column);
    QFETCH(QString, declared);
    Database db;
    db.addTable("Schema", {{"ID", Type::Long, 255, true}, column}).addNamedRow({});
    const QString file = path("schema.mdb");
    db.write(file.toStdString());
    const QString schema = QString::fromUtf8(mdbtest::run("mdb-schema", {file, "access"}).out);
    QVERIFY2(schema.contains(QRegularExpression("\\[A\\]\\s+" + QRegularExpression::escape(declared) + "\\s*\\n")),
             qPrintable(schema));
    // The AutoNumber shows as a serial column in PostgreSQL terms.
    const QString postgres = QString::fromUtf8(mdbtest::run("mdb-schema", {file, "postgres"}).out);
    QVERIFY2(postgres.contains(QRegularExpression("\"id\"\\s+SERIAL", QRegularExpression::CaseInsensitiveOption)), qPrintable(postgres));
}

void tst_JetDb::emptyTextAndDatesBefore1900()
{
    // mdbtools prints both "" and NULL as nothing, and every date before
    // 1899-12-30 (or after about 2700) as 1900-01-00; libmdb's cracked rows
    // tell them apart.
    Database db;
    Table &t = db.addTable("Early", {{"Txt", Type::Text, 10}, {"When", Type::DateTime}, {"Note", Type::Memo}});
    t.addRow({std::string(""), Date::fromCivil(1899, 12, 29, 6, 0, 0), std::string("")});
    t.addRow({Null{}, Date::fromCivil(1800, 1, 1), Null{}});
    t.addRow({std::string("x"), Date::fromCivil(100, 1, 1, 12, 0, 0), std::string("y")});
    t.addRow({std::string(""), Date::fromCivil(1899, 12, 29), Null{}});
    t.addRow({Null{}, Date::fromCivil(9999, 12, 31, 23, 59, 59), Null{}});
    const QString file = path("early.mdb");
    db.write(file.toStdString());

    const auto rows = mdbtest::readRaw(file, "Early");
    QCOMPARE(rows.size(), 5);
    // Empty text: present with no bytes; NULL: absent.
    QCOMPARE(rows[0][0].null, false);
    QCOMPARE(rows[0][0].bytes.size(), 0);
    QCOMPARE(rows[1][0].null, true);
    QCOMPARE(rows[2][0].null, false);
    QCOMPARE(rows[3][0].null, false);
    QCOMPARE(rows[3][0].bytes.size(), 0);
    // Access's day numbers: the time of day is a positive fraction whose sign
    // follows the day count.
    QCOMPARE(rawDouble(rows[0][1].bytes), -1.25);
    QCOMPARE(rawDouble(rows[1][1].bytes), -36522.0);
    QCOMPARE(rawDouble(rows[2][1].bytes), -657434.5);
    QCOMPARE(rawDouble(rows[3][1].bytes), -1.0);
    QCOMPARE(rawDouble(rows[4][1].bytes), 2958465.0 + 86399.0 / 86400.0);
    // An empty memo is a present, inline long value of length 0.
    QCOMPARE(rows[0][2].null, false);
    QCOMPARE(rows[0][2].bytes.size(), 12);
    QCOMPARE(quint8(rows[0][2].bytes[3]), quint8(0x80));
    QCOMPARE(rows[0][2].bytes.left(3), QByteArray(3, '\0'));
    QCOMPARE(rows[1][2].null, true);
}

void tst_JetDb::textCompression_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("storedBytes");
    // FF FE, then one byte a character; a 00 byte switches to UTF-16 and back.
    QTest::newRow("latin") << "CNMG 120408" << 2 + 11;
    QTest::newRow("latin-1 signs") << "Ø10 45°" << 2 + 7;
    QTest::newRow("cyrillic word stays UTF-16") << "Сверло" << 12;
    QTest::newRow("mixed, long latin run") << "Сверло HSS-Co 10" << 2 + 1 + 12 + 1 + 10;
    QTest::newRow("zero low byte: never compressed") << "Ѐ CNMG 120408" << 26;
    QTest::newRow("U+FEFF first: compressed anyway") << QString(QChar(0xFEFF)) + "ab" << 2 + 1 + 2 + 1 + 2;
    QTest::newRow("empty") << "" << 0;
}

void tst_JetDb::textCompression()
{
    QFETCH(QString, value);
    QFETCH(int, storedBytes);
    Database db;
    db.addTable("T", {{"S", Type::Text, 100}}).addRow({value.toStdString()});
    const QString file = path("compression.mdb");
    db.write(file.toStdString());
    const auto raw = mdbtest::readRaw(file, "T");
    QCOMPARE(raw.size(), 1);
    QCOMPARE(raw[0][0].bytes.size(), storedBytes);
    if (!value.isEmpty())
        QCOMPARE(cellsOf(mdbtest::exportTable(file, "T"), 0), QStringList{value});
}

void tst_JetDb::namedRows()
{
    Database db;
    Table &t = db.addTable("Sverla", {{"ID", Type::Long, 255, true}, {"Kod", Type::Text, 150},
                                      {"K_vo_NEW", Type::Long}, {"Instr_is_BU", Type::Boolean}});
    t.addNamedRow({{"kod", "first"}, {"k_vo_new", 3}});
    t.addRow({i64(10), std::string("explicit"), Null{}, true});
    t.addNamedRow({{"KOD", "after explicit"}});
    t.addNamedRow({{"Instr_is_bu", true}, {"ID", 40}});
    t.addNamedRow({});
    QCOMPARE(t.lastAutoNumber(), 41);
    QVERIFY_THROWS_EXCEPTION(Error, t.addNamedRow({{"Kod", "x"}, {"KOD", "y"}}));
    QVERIFY_THROWS_EXCEPTION(Error, t.addNamedRow({{"Korob", "x"}}));
    QVERIFY_THROWS_EXCEPTION(Error, t.addRow({Null{}, std::string("no id"), Null{}, false}));
    QCOMPARE(t.rows().size(), std::size_t(5));
    QCOMPARE(t.columnIndex("k_VO_new"), 2);
    QCOMPARE(t.columnIndex("nothing"), -1);

    const QString file = path("named.mdb");
    db.write(file.toStdString());
    const auto rows = mdbtest::exportTable(file, "Sverla");
    QCOMPARE(cellsOf(rows, 0), (QStringList{"1", "10", "11", "40", "41"}));
    QCOMPARE(cellsOf(rows, 1), (QStringList{"first", "explicit", "after explicit", nullCell, nullCell}));
    QCOMPARE(cellsOf(rows, 2), (QStringList{"3", nullCell, nullCell, nullCell, nullCell}));
    QCOMPARE(cellsOf(rows, 3), (QStringList{"0", "1", "0", "1", "0"}));
    // Column names keep their letter case.
    QCOMPARE(mdbtest::exportHeader(file, "Sverla"), (QStringList{"ID", "Kod", "K_vo_NEW", "Instr_is_BU"}));
}

void tst_JetDb::emptyTable()
{
    Database db;
    db.addTable("Leer", {{"ID", Type::Long, 255, true}, {"Prim", Type::Memo}});
    const QString file = path("empty.mdb");
    db.write(file.toStdString());
    QCOMPARE(mdbtest::count(file, "Leer"), 0);
    const mdbtest::Output o = mdbtest::run("mdb-export", {file, "Leer"});
    QCOMPARE(o.exitCode, 0);
    QCOMPARE(o.out, QByteArray("ID,Prim\n"));
    QCOMPARE(o.err, QByteArray());
}

void tst_JetDb::largeTableUsesBitmapPages()
{
    // 500,000 rows need about 2,000 data pages: more than an inline usage
    // map covers, so the table's map names bitmap pages. The small table
    // beside it keeps an inline map.
    Database db;
    Table &big = db.addTable("Big", {{"N", Type::Long}, {"M", Type::Long}});
    const int rows = 500000;
    big.reserve(rows);
    for (int i = 0; i < rows; ++i)
        big.addRow({i64(i), i64((i * 7919LL) % 1000003)});
    db.addTable("Small", {{"N", Type::Long}}).addRow({i64(1)});
    const QString file = path("big.mdb");
    db.write(file.toStdString());
    big.reserve(0);

    QCOMPARE(mdbtest::count(file, "Big"), qint64(rows));
    QCOMPARE(mdbtest::usageMapType(file, "Big"), 1);
    QCOMPARE(mdbtest::usageMapType(file, "Small"), 0);
    const mdbtest::Output o = mdbtest::run("mdb-export", {"-H", file, "Big"});
    QCOMPARE(o.exitCode, 0);
    const QList<QByteArray> lines = o.out.split('\n');
    QCOMPARE(lines.size(), rows + 1);  // and a final empty line
    for (int i = 0; i < rows; ++i) {
        const QByteArray want = QByteArray::number(i) + ',' + QByteArray::number((i * 7919LL) % 1000003);
        if (lines[i] != want)
            QFAIL(qPrintable(QString("row %1: %2").arg(i).arg(QString::fromLatin1(lines[i]))));
    }
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Small"), 0), QStringList{"1"});
}

void tst_JetDb::wideTableAndManyTables()
{
    // 255 columns with long Cyrillic names make a definition of several
    // pages; 150 tables make a catalog of several pages.
    Database db;
    std::vector<Column> columns;
    QStringList names;
    for (int i = 0; i < 255; ++i) {
        const QString name = QString("Колонка_номер_%1_длинное_имя").arg(i);
        names << name;
        columns.push_back({name.toStdString(), i % 3 == 0 ? Type::Text : Type::Long, 20});
    }
    Table &wide = db.addTable("Широкая", columns);
    Row row;
    QStringList expected;
    for (int i = 0; i < 255; ++i) {
        if (i % 3 == 0) {
            row.push_back(QString("т%1").arg(i).toStdString());
            expected << QString("т%1").arg(i);
        } else {
            row.push_back(i64(i * 1000));
            expected << QString::number(i * 1000);
        }
    }
    wide.addRow(row);
    QStringList tableNames{"Широкая"};
    for (int i = 0; i < 150; ++i) {
        const QString name = QString("Table_%1_with_a_rather_long_name").arg(i);
        tableNames << name;
        db.addTable(name.toStdString(), {{"V", Type::Long}}).addRow({i64(i)});
    }
    const QString file = path("wide.mdb");
    db.write(file.toStdString());

    QCOMPARE(mdbtest::tables(file), tableNames);
    QCOMPARE(mdbtest::exportHeader(file, "Широкая"), names);
    const auto rows = mdbtest::exportTable(file, "Широкая");
    QCOMPARE(rows.size(), 1);
    QStringList got;
    for (const Cell &c : rows[0])
        got << c.value_or(nullCell);
    QCOMPARE(got, expected);
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Table_149_with_a_rather_long_name"), 0), QStringList{"149"});
}

void tst_JetDb::misuseIsRefused_data()
{
    QTest::addColumn<std::function<void()>>("misuse");
    QTest::addColumn<QString>("message");

    auto table = [] { return std::make_shared<Table>("T", std::vector<Column>{{"ID", Type::Long, 255, true},
                                                                              {"Kod", Type::Text, 5},
                                                                              {"Flag", Type::Boolean},
                                                                              {"B", Type::Byte}}); };
    QTest::newRow("text longer than its column")
        << std::function<void()>([=] { table()->addRow({i64(1), std::string("Сверло"), false, Null{}}); })
        << "6 characters is longer than the column's 5";
    QTest::newRow("text for a number")
        << std::function<void()>([=] { table()->addRow({i64(1), Null{}, false, std::string("7")}); }) << "does not fit";
    QTest::newRow("fraction for an integer")
        << std::function<void()>([=] { table()->addRow({i64(1), Null{}, false, 1.5}); }) << "does not fit";
    QTest::newRow("number for text")
        << std::function<void()>([=] { table()->addRow({i64(1), i64(5), false, Null{}}); }) << "does not fit";
    QTest::newRow("NULL in an AutoNumber")
        << std::function<void()>([=] { table()->addRow({Null{}, Null{}, false, Null{}}); }) << "AutoNumber";
    QTest::newRow("NULL in a Boolean")
        << std::function<void()>([=] { table()->addRow({i64(1), Null{}, Null{}, Null{}}); }) << "cannot be NULL";
    QTest::newRow("byte out of range")
        << std::function<void()>([=] { table()->addRow({i64(1), Null{}, false, i64(256)}); }) << "outside 0..255";
    QTest::newRow("too few values")
        << std::function<void()>([=] { table()->addRow({i64(1)}); }) << "a row of 1 values for 4 columns";
    QTest::newRow("malformed UTF-8")
        << std::function<void()>([=] { table()->addRow({i64(1), std::string("\xC3"), false, Null{}}); }) << "UTF-8";
    QTest::newRow("unknown column by name")
        << std::function<void()>([=] { table()->addNamedRow({{"Korob", "x"}}); }) << "no column \"Korob\"";
    QTest::newRow("duplicate column names")
        << std::function<void()>([] { Table("T", {{"Kod", Type::Long}, {"KOD", Type::Text}}); }) << "defined twice";
    QTest::newRow("duplicate Cyrillic column names")
        << std::function<void()>([] { Table("T", {{"Код", Type::Long}, {"КОД", Type::Long}}); }) << "defined twice";
    QTest::newRow("256 columns") << std::function<void()>([] {
        std::vector<Column> c;
        for (int i = 0; i < 256; ++i)
            c.push_back({"C" + std::to_string(i), Type::Long});
        Table("T", c);
    }) << "at most 255";
    QTest::newRow("text size 256")
        << std::function<void()>([] { Table("T", {{"S", Type::Text, 256}}); }) << "outside 1..255";
    QTest::newRow("AutoNumber text")
        << std::function<void()>([] { Table("T", {{"S", Type::Text, 10, true}}); }) << "only a Long";
    QTest::newRow("duplicate table names") << std::function<void()>([] {
        Database db;
        db.addTable("Sverla", {{"A", Type::Long}});
        db.addTable("SVERLA", {{"A", Type::Long}});
    }) << "defined twice";
    QTest::newRow("no such day") << std::function<void()>([] { Date::fromCivil(2023, 2, 29); }) << "invalid date";
}

void tst_JetDb::misuseIsRefused()
{
    QFETCH(std::function<void()>, misuse);
    QFETCH(QString, message);
    try {
        misuse();
        QFAIL("no error");
    } catch (const Error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
}

void tst_JetDb::failedWriteLeavesNothing()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("stock.mdb");
    {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous contents");
    }
    // Ten full Cyrillic texts make a row longer than a page: the write fails
    // late, after pages have gone to the temporary file.
    Database db;
    db.addTable("Fine", {{"A", Type::Long}}).addRow({i64(1)});
    std::vector<Column> columns;
    Row row;
    for (int i = 0; i < 10; ++i) {
        columns.push_back({"T" + std::to_string(i), Type::Text, 255});
        row.push_back(sample(255, true));
    }
    db.addTable("TooWide", columns).addRow(row);
    QVERIFY_THROWS_EXCEPTION(Error, db.write(target.toStdString()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"stock.mdb"});
    QFile old(target);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("previous contents"));

    Database fine;
    fine.addTable("Fine", {{"A", Type::Long}});
    QVERIFY_THROWS_EXCEPTION(Error, fine.write(dir.filePath("no/such/folder/x.mdb").toStdString()));
}

void tst_JetDb::civilDates_data()
{
    QTest::addColumn<QList<int>>("civil");
    QTest::addColumn<double>("days");
    // Day numbers as Access shows them for these dates.
    QTest::newRow("day zero") << QList<int>{1899, 12, 30, 0, 0, 0} << 0.0;
    QTest::newRow("1900-01-01") << QList<int>{1900, 1, 1, 0, 0, 0} << 2.0;
    QTest::newRow("2000-01-01 noon") << QList<int>{2000, 1, 1, 12, 0, 0} << 36526.5;
    QTest::newRow("day before, 06:00") << QList<int>{1899, 12, 29, 6, 0, 0} << -1.25;
    QTest::newRow("1899-12-28 18:00") << QList<int>{1899, 12, 28, 18, 0, 0} << -2.75;
    QTest::newRow("earliest") << QList<int>{100, 1, 1, 0, 0, 0} << -657434.0;
    QTest::newRow("latest") << QList<int>{9999, 12, 31, 0, 0, 0} << 2958465.0;
}

void tst_JetDb::civilDates()
{
    QFETCH(QList<int>, civil);
    QFETCH(double, days);
    QCOMPARE(Date::fromCivil(civil[0], civil[1], civil[2], civil[3], civil[4], civil[5]).days, days);
}

QTEST_GUILESS_MAIN(tst_JetDb)
#include "tst_jetdb.moc"
