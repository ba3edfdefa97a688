// The Jet 3 (Access 97) writer, checked against mdbtools.
//
// What these tests established about Jet 3 as mdbtools 1.0.0 reads it:
// - mdb-ver says JET3 for version byte 0 with 2048-byte pages.
// - Text is 8-bit in the code page written at 0x3C of page 0: mdbtools
//   honours that code page by itself (CP1251 shows Cyrillic without any
//   setting); MDB_JET3_CHARSET overrides it.
// - mdb-schema shows Text (n) with n the declared characters (= bytes).
// - Var-column offsets are single bytes; rows of 256 bytes and more carry a
//   jump table, sized by the reader from the row length, whose last entry is
//   ignored when the data ends before its block.
// - Long values: 12-byte header as in Jet 4, one LVAL row up to 2,032 bytes,
//   chains of 2,028-byte chunks.
// - Usage maps: inline bitmaps of 128 bytes (1,024 pages); beyond that,
//   bitmap pages covering 16,352 pages each.
#include "jetdb.h"
#include "mdb_tools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace jetdb;
using mdbtest::Cell;

Q_DECLARE_METATYPE(jetdb::Column)
Q_DECLARE_METATYPE(std::vector<jetdb::Value>)

namespace {

const QString nullCell = QStringLiteral("<NULL>");

QStringList cellsOf(const QList<QList<Cell>> &rows, int index)
{
    QStringList out;
    for (const auto &row : rows)
        out << (index < row.size() && row[index] ? *row[index] : nullCell);
    return out;
}

std::string sample(int characters, bool cyrillic)
{
    static const char16_t latin[] = u"Drill 10.5 mm, HSS; ";
    static const char16_t russian[] = u"Сверло «Р6М5» №3 ёЁ 45°\r\n";
    const std::u16string pattern = cyrillic ? russian : latin;
    std::u16string s;
    while (int(s.size()) < characters)
        s += pattern[s.size() % pattern.size()];
    return QString::fromStdU16String(s).toStdString();
}

std::int64_t i64(std::int64_t v) { return v; }

const QStringList cp1251{"MDB_JET3_CHARSET=CP1251"};

} // namespace

class tst_Jet3 : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void values_data();
    void values();
    void codePageOnPageZero();
    void longRowsWithJumpTables_data();
    void longRowsWithJumpTables();
    void jumpTableAsAccessWritesIt_data();
    void jumpTableAsAccessWritesIt();
    void largeTableUsesBitmapPages();
    void textOutsideTheCodePageIsRefused();
};

void tst_Jet3::values_data()
{
    QTest::addColumn<Column>("column");
    QTest::addColumn<std::vector<Value>>("values");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("boolean") << Column{"Flag", Type::Boolean} << std::vector<Value>{true, false}
                             << QStringList{"1", "0"};
    QTest::newRow("integers") << Column{"L", Type::Long} << std::vector<Value>{i64(-2147483648LL), i64(42), Null{}}
                              << QStringList{"-2147483648", "42", nullCell};
    QTest::newRow("byte") << Column{"B", Type::Byte} << std::vector<Value>{i64(255), Null{}} << QStringList{"255", nullCell};
    QTest::newRow("currency") << Column{"C", Type::Currency} << std::vector<Value>{Value(Currency{-125000}), Null{}}
                              << QStringList{"-12.5000", nullCell};
    QTest::newRow("double") << Column{"D", Type::Double} << std::vector<Value>{10.5, Null{}} << QStringList{"10.5", nullCell};
    QTest::newRow("date") << Column{"Date", Type::DateTime}
                          << std::vector<Value>{Date::fromCivil(2024, 5, 17, 8, 15, 0), Null{}}
                          << QStringList{"2024-05-17 08:15:00", nullCell};
    QTest::newRow("text") << Column{"Naimenovanie", Type::Text, 100}
                          << std::vector<Value>{std::string("Пластина ромбическая 80° «CNMG» №12 ёЁ"), std::string("Latin"), Null{}}
                          << QStringList{"Пластина ромбическая 80° «CNMG» №12 ёЁ", "Latin", nullCell};
    std::vector<Value> memos;
    QStringList expected;
    for (int n : {1, 64, 65, 2032, 2033, 4077, 20000, 100000}) {
        const std::string s = sample(n, n < 100000);  // mdb-export shows at most 200,000 bytes
        memos.push_back(s);
        expected << QString::fromStdString(s);
    }
    QTest::newRow("memo") << Column{"Prim", Type::Memo} << memos << expected;
}

void tst_Jet3::values()
{
    QFETCH(Column, column);
    QFETCH(std::vector<Value>, values);
    QFETCH(QStringList, expected);

    Database db(Format::Jet3, 1251);
    Table &t = db.addTable("Значения", {{"N", Type::Long, 255, true}, column});
    for (const Value &v : values)
        t.addNamedRow({{column.name, v}});
    const QString file = path(QTest::currentDataTag() + QStringLiteral(".mdb"));
    db.write(file.toStdString());

    QCOMPARE(mdbtest::run("mdb-ver", {file}).out.trimmed(), QByteArray("JET3"));
    QCOMPARE(mdbtest::tables(file), QStringList{"Значения"});
    QCOMPARE(mdbtest::count(file, "Значения"), qint64(values.size()));
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Значения", cp1251), 1), expected);
}

void tst_Jet3::codePageOnPageZero()
{
    Database db(Format::Jet3, 1251);
    db.addTable("Sverla", {{"Kod", Type::Text, 20}, {"Korob", Type::Text, 30}})
        .addRow({std::string("Ж"), std::string("Шкаф №1")});
    const QString file = path("cp1251.mdb");
    db.write(file.toStdString());

    // One byte a character, in Windows-1251.
    const auto raw = mdbtest::readRaw(file, "Sverla");
    QCOMPARE(raw.size(), 1);
    QCOMPARE(raw[0][0].bytes, QByteArray("\xC6"));
    QCOMPARE(raw[0][1].bytes.size(), 7);
    // Without MDB_JET3_CHARSET mdbtools takes the header's code page...
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Sverla"), 1), QStringList{"Шкаф №1"});
    // ...and the setting overrides it.
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Sverla", {"MDB_JET3_CHARSET=CP1252"}), 0), QStringList{"Æ"});
    const QString schema = QString::fromUtf8(mdbtest::run("mdb-schema", {file, "access"}).out);
    QVERIFY2(schema.contains(QRegularExpression("\\[Korob\\]\\s+Text \\(30\\)")), qPrintable(schema));
}

void tst_Jet3::longRowsWithJumpTables_data()
{
    QTest::addColumn<QList<int>>("lengths");  // per text column; -1 is NULL
    QTest::newRow("short") << QList<int>{10, 0, 5, -1, 3, 1};
    QTest::newRow("just under 256") << QList<int>{200, 20, 10, -1, 0, 2};
    QTest::newRow("crossing 256 inside a value") << QList<int>{250, 30, 5, 5, 5, 5};
    QTest::newRow("a value starting at 256") << QList<int>{255, -1, 0, 0, 7, 7};
    QTest::newRow("empty block before the end") << QList<int>{255, 255, 255, 0, -1, 0};
    QTest::newRow("several blocks") << QList<int>{255, 255, 255, 255, 255, 255};
    QTest::newRow("NULLs past 512") << QList<int>{255, 255, 60, -1, -1, -1};
    QTest::newRow("data ends near a block edge") << QList<int>{255, 230, -1, -1, -1, 0};
}

void tst_Jet3::longRowsWithJumpTables()
{
    QFETCH(QList<int>, lengths);
    Database db(Format::Jet3, 1251);
    std::vector<Column> columns{{"N", Type::Long}};
    for (int i = 0; i < lengths.size(); ++i)
        columns.push_back({"T" + std::to_string(i), Type::Text, 255});
    columns.push_back({"Tail", Type::Long});
    Table &t = db.addTable("Wide", columns);
    QStringList expected;
    // Several rows shifting the lengths a little, so the block edges fall
    // at different places.
    for (int shift = 0; shift < 6; ++shift) {
        Row row{i64(shift)};
        for (int i = 0; i < lengths.size(); ++i) {
            if (lengths[i] < 0) {
                row.push_back(Null{});
                expected << nullCell;
                continue;
            }
            const int n = std::max(0, std::min(255, lengths[i] - shift));
            const std::string s = sample(n, i % 2 == 1);
            row.push_back(s);
            expected << (s.empty() ? nullCell : QString::fromStdString(s));  // mdbtools shows "" as NULL
        }
        row.push_back(i64(1000 + shift));
        expected << QString::number(1000 + shift);
        t.addRow(row);
    }
    const QString file = path("wide.mdb");
    db.write(file.toStdString());
    const auto rows = mdbtest::exportTable(file, "Wide", cp1251);
    QCOMPARE(rows.size(), 6);
    QStringList got;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 1; c < rows[r].size(); ++c)
            got << rows[r][c].value_or(nullCell);
    QCOMPARE(got, expected);
}

void tst_Jet3::jumpTableAsAccessWritesIt_data()
{
    // A row of N and Tail (Long), then texts A, B, C of these lengths, whose
    // data starts at 9. The trailer after the data: the var offsets'
    // low bytes from the EOD down, the jump table (last block first), the
    // var count, the null mask.
    QTest::addColumn<QList<int>>("lengths");
    QTest::addColumn<QByteArray>("trailer");
    // EOD 269, B at 259: the block from 256 starts with column 1.
    QTest::newRow("one block") << QList<int>{250, 10} << QByteArray("\x0D\x03\x09\x01\x02\x0F", 6);
    // EOD 254 but 260 bytes: the entry is sized by the row length and names
    // no column; Access writes FF there.
    QTest::newRow("dummy entry") << QList<int>{240, 5} << QByteArray("\xFE\xF9\x09\xFF\x02\x0F", 6);
    // B at 264, C at 519, EOD 529.
    QTest::newRow("two blocks") << QList<int>{255, 255, 10}
                                << QByteArray("\x11\x07\x08\x09\x02\x01\x03\x1F", 8);
    // A empty, B from 9 to the EOD at 259: the entry names the EOD.
    QTest::newRow("only the end in the block") << QList<int>{0, 250} << QByteArray("\x03\x09\x09\x02\x02\x0F", 6);
    // An empty C at 514 right after B; EOD 514.
    QTest::newRow("empty value past 512") << QList<int>{250, 255, 0}
                                          << QByteArray("\x02\x02\x03\x09\x02\x01\x03\x1F", 8);
}

void tst_Jet3::jumpTableAsAccessWritesIt()
{
    QFETCH(QList<int>, lengths);
    QFETCH(QByteArray, trailer);
    std::vector<Column> columns{{"N", Type::Long}, {"Tail", Type::Long}};
    Row row{i64(1), i64(2)};
    QByteArray data;
    for (int i = 0; i < lengths.size(); ++i) {
        columns.push_back({std::string(1, char('A' + i)), Type::Text, 255});
        const std::string text(std::size_t(lengths[i]), char('a' + i));
        row.push_back(text);
        data += QByteArray::fromStdString(text);
    }
    Database db(Format::Jet3, 1251);
    db.addTable("Row", columns).addRow(row);
    const QString file = path(QStringLiteral("trailer.mdb"));
    db.write(file.toStdString());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QByteArray fixed("\x01\x00\x00\x00\x02\x00\x00\x00", 8);
    const qsizetype at = bytes.indexOf(fixed + data);
    QVERIFY(at > 0);
    QCOMPARE(bytes.mid(at + fixed.size() + data.size(), trailer.size()).toHex(' '), trailer.toHex(' '));
    const QString last(lengths.back(), QChar(char16_t(u'a' + lengths.size() - 1)));
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "Row"), int(1 + lengths.size())),
             QStringList{last.isEmpty() ? nullCell : last});
}

void tst_Jet3::largeTableUsesBitmapPages()
{
    // Two rows a page: 3,000 rows take 1,500 pages, past an inline map's 1,024.
    Database db(Format::Jet3, 1251);
    Table &t = db.addTable("Big", {{"N", Type::Long}, {"A", Type::Text, 255}, {"B", Type::Text, 255},
                                   {"C", Type::Text, 255}, {"D", Type::Text, 255}});
    const std::string text = sample(255, true);
    for (int i = 0; i < 3000; ++i)
        t.addRow({i64(i), text, text, text, std::to_string(i)});
    const QString file = path("big.mdb");
    db.write(file.toStdString());
    QCOMPARE(mdbtest::usageMapType(file, "Big"), 1);
    QCOMPARE(mdbtest::count(file, "Big"), qint64(3000));
    const auto rows = mdbtest::exportTable(file, "Big", cp1251);
    QCOMPARE(rows.size(), 3000);
    for (int i = 0; i < 3000; i += 37) {
        QCOMPARE(rows[i][0].value_or(nullCell), QString::number(i));
        QCOMPARE(rows[i][3].value_or(nullCell), QString::fromStdString(text));
        QCOMPARE(rows[i][4].value_or(nullCell), QString::number(i));
    }
}

void tst_Jet3::textOutsideTheCodePageIsRefused()
{
    Database russian(Format::Jet3, 1251);
    Table &t = russian.addTable("T", {{"S", Type::Text, 20}, {"M", Type::Memo}});
    QVERIFY_THROWS_EXCEPTION(Error, t.addRow({std::string("Ø10"), Null{}}));  // not in Windows-1251
    QVERIFY_THROWS_EXCEPTION(Error, t.addRow({Null{}, std::string("中")}));
    t.addRow({std::string("€ ё №"), Null{}});
    QCOMPARE(t.rows().size(), std::size_t(1));

    Database western(Format::Jet3, 1252);
    QVERIFY_THROWS_EXCEPTION(Error, western.addTable("Сверла", {{"A", Type::Long}}));
    QVERIFY_THROWS_EXCEPTION(Error, western.addTable("T", {{"Код", Type::Long}}));
    western.addTable("T", {{"S", Type::Text, 20}}).addRow({std::string("Ø10 45°")});
    const QString file = path("cp1252.mdb");
    western.write(file.toStdString());
    QCOMPARE(cellsOf(mdbtest::exportTable(file, "T"), 0), QStringList{"Ø10 45°"});

    QVERIFY_THROWS_EXCEPTION(Error, Database(Format::Jet3, 99999));
}

QTEST_GUILESS_MAIN(tst_Jet3)
#include "tst_jet3.moc"
