// Values read from .mdb files come out exactly as stored: every column kind,
// in Jet 4 and Jet 3 files, including what libmdb's own text output loses.
#include "connection.h"
#include "date_value.h"
#include "result_table.h"
#include "test_databases.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

using jetdb::Column;
using jetdb::Type;

namespace {

struct Sample {
    std::int64_t id;
    jetdb::Value flag, byte, small, big, money, single, real, when, text, memo;
};

QString longMemo(int length)
{
    // Mixed Cyrillic and Latin, no repeating period that could hide a lost chunk.
    QString s;
    s.reserve(length);
    for (int i = 0; s.size() < length; ++i)
        s += (i % 3 ? QStringLiteral("Кромка%1;").arg(i) : QStringLiteral("edge%1 ").arg(i));
    s.truncate(length);
    return s;
}

jetdb::Value text(const QString &s) { return s.toStdString(); }

} // namespace

class tst_ValueReading : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void values_data();
    void values();
    void columnKinds_data();
    void columnKinds();
    void deletedAndMovedRows();
    void codePages_data();
    void codePages();
    void decimals_data();
    void decimals();

private:
    QTemporaryDir m_dir;
    std::vector<Sample> m_samples;
    QString m_jet4, m_jet3;
};

void tst_ValueReading::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const jetdb::Null null;
    const double seventeenDigits = 0.1 + 0.2;   // 0.30000000000000004
    m_samples = {
        {1, true, std::int64_t(255), std::int64_t(-32768), std::int64_t(std::numeric_limits<qint32>::min()),
         jetdb::Currency{1234567891234}, 1.5, seventeenDigits, jetdb::Date::fromCivil(1899, 12, 29, 6, 0, 0),
         text(QStringLiteral("Сверло №10")), text(longMemo(40000))},
        {2, false, std::int64_t(0), std::int64_t(32767), std::int64_t(std::numeric_limits<qint32>::max()),
         jetdb::Currency{-5}, -0.1, 1.2345678901234567e-300, jetdb::Date::fromCivil(1850, 3, 1, 13, 45, 30),
         text(QString()), text(QString())},
        {3, false, null, null, null, null, null, null, null, null, null},
        {4, true, std::int64_t(7), std::int64_t(0), std::int64_t(0), jetdb::Currency{0}, 3.0,
         std::nextafter(1.0, 2.0), jetdb::Date::fromCivil(2024, 2, 29, 23, 59, 59), text(QStringLiteral("ABC abc")),
         text(longMemo(3000))},
        {5, false, std::int64_t(1), std::int64_t(-1), std::int64_t(-1), jetdb::Currency{125000}, 1e30,
         -1.7976931348623157e308, jetdb::Date::fromCivil(1899, 12, 30), text(longMemo(120)), text(longMemo(64))},
    };
    for (auto format : {jetdb::Format::Jet4, jetdb::Format::Jet3}) {
        jetdb::Database db(format, 1251);
        auto &t = db.addTable("Vals", {{"ID", Type::Long, 255, true}, {"Flag", Type::Boolean}, {"Small8", Type::Byte},
                                       {"Small16", Type::Integer}, {"Big", Type::Long}, {"Money", Type::Currency},
                                       {"Single", Type::Single}, {"Real", Type::Double}, {"When", Type::DateTime},
                                       {"Name", Type::Text, 255}, {"Примечание", Type::Memo}});
        for (const Sample &s : m_samples)
            t.addRow({s.id, s.flag, s.byte, s.small, s.big, s.money, s.single, s.real, s.when, s.text, s.memo});
        const QString path = m_dir.filePath(format == jetdb::Format::Jet4 ? "jet4.mdb" : "jet3.mdb");
        testdb::write(db, path);
        (format == jetdb::Format::Jet4 ? m_jet4 : m_jet3) = path;
    }
}

void tst_ValueReading::values_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("Jet 4") << m_jet4;
    QTest::newRow("Jet 3, Windows-1251") << m_jet3;
}

// Compares every cell with what was written: doubles and dates bit for bit,
// empty strings apart from NULL, memos whole.
void tst_ValueReading::values()
{
    QFETCH(QString, path);
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT * FROM Vals ORDER BY ID"));
    QCOMPARE(r.rowCount(), int(m_samples.size()));

    for (int row = 0; row < r.rowCount(); ++row) {
        const Sample &s = m_samples[std::size_t(row)];
        const jetdb::Value *expected[] = {nullptr, &s.flag, &s.byte, &s.small, &s.big, &s.money,
                                          &s.single, &s.real, &s.when, &s.text, &s.memo};
        QCOMPARE(r.value(row, 0).toLongLong(), s.id);
        for (int col = 1; col < 11; ++col) {
            const QVariant got = r.value(row, col);
            const jetdb::Value &want = *expected[col];
            const QByteArray where = QByteArray("row ") + QByteArray::number(row) + " column "
                + r.columns[std::size_t(col)].name.toUtf8();
            if (std::holds_alternative<jetdb::Null>(want)) {
                QVERIFY2(got.isNull(), where);
            } else if (const bool *b = std::get_if<bool>(&want)) {
                QCOMPARE(got.typeId(), QMetaType::Bool);
                QVERIFY2(got.toBool() == *b, where);
            } else if (const auto *i = std::get_if<std::int64_t>(&want)) {
                QVERIFY2(got.toLongLong() == *i, where);
            } else if (const auto *c = std::get_if<jetdb::Currency>(&want)) {
                QVERIFY2(got.toDouble() == double(c->scaled) / 10000.0, where);
            } else if (const auto *d = std::get_if<double>(&want)) {
                const double value = got.toDouble();
                const double stored = col == 6 ? double(float(*d)) : *d;
                QVERIFY2(std::memcmp(&value, &stored, sizeof value) == 0, where);
            } else if (const auto *date = std::get_if<jetdb::Date>(&want)) {
                const double value = got.toDouble();
                QVERIFY2(std::memcmp(&value, &date->days, sizeof value) == 0, where);
            } else if (const auto *str = std::get_if<std::string>(&want)) {
                QVERIFY2(!got.isNull(), where);   // an empty string is not NULL
                QCOMPARE(got.toString(), QString::fromStdString(*str));
            }
        }
    }
    // A date before 1899-12-30 keeps its time of day.
    QCOMPARE(db::dateTimeFromAccessDays(r.value(0, 8).toDouble()),
             QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
    QCOMPARE(db::dateTimeFromAccessDays(r.value(1, 8).toDouble()),
             QDateTime(QDate(1850, 3, 1), QTime(13, 45, 30), Qt::UTC));
}

void tst_ValueReading::columnKinds_data()
{
    values_data();
}

// Result columns carry the kind the table declares, through aliases and
// unions, so fields can check what they bind to.
void tst_ValueReading::columnKinds()
{
    QFETCH(QString, path);
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral(
        "SELECT V.ID, V.Flag, V.Small8, V.Small16, V.Big AS Alias, V.Money, V.Single, V.Real, V.[When], V.Name, V.Примечание\r\n"
        "FROM Vals AS V WHERE V.ID=1\r\nUNION \r\n"
        "SELECT W.ID, W.Flag, W.Small8, W.Small16, W.Big, W.Money, W.Single, W.Real, W.[When], W.Name, W.Примечание\r\n"
        "FROM Vals AS W WHERE W.ID=2\r\n"));
    const db::ColumnKind expected[] = {
        db::ColumnKind::AutoIncrement, db::ColumnKind::Boolean, db::ColumnKind::Byte, db::ColumnKind::Integer16,
        db::ColumnKind::Integer32, db::ColumnKind::Currency, db::ColumnKind::Single, db::ColumnKind::Double,
        db::ColumnKind::DateTime, db::ColumnKind::Text, db::ColumnKind::Memo};
    QCOMPARE(r.columns.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        QCOMPARE(r.columns[i].kind, expected[i]);
    QCOMPARE(r.columns[4].name, QStringLiteral("Alias"));
    QCOMPARE(r.columns[10].name, QStringLiteral("Примечание"));
    QCOMPARE(r.rowCount(), 2);
}

// Row slots flagged deleted (0x8000) are skipped; a slot flagged moved
// (0x4000) is read where its pointer leads, although Access flags that new
// place deleted so that scans pass it by. The flags are set by hand in a
// written file: the first data page holds IDs 1..6 in rows 0..5, and the
// table's last page, dozens of pages on, moves its first row back there.
void tst_ValueReading::deletedAndMovedRows()
{
    jetdb::Database db;
    auto &t = db.addTable("T", {{"ID", Type::Long}, {"Name", Type::Text, 255}});
    for (std::int64_t id = 1; id <= 800; ++id)
        t.addRow({id, text(QStringLiteral("строка %1").arg(id).leftJustified(id <= 6 ? 0 : 250, u'.'))});
    const QString path = m_dir.filePath(QStringLiteral("flags.mdb"));
    testdb::write(db, path);
    QByteArray bytes = testdb::readAll(path);

    const int page = 4096;
    std::vector<int> dataPages;
    for (int p = 3; p < bytes.size() / page; ++p) {
        const char *at = bytes.constData() + qsizetype(p) * page;
        if (at[0] == 1 && qFromLittleEndian<quint32>(at + 4) > 2 && std::memcmp(at + 4, "LVAL", 4) != 0)
            dataPages.push_back(p);
    }
    QVERIFY(dataPages.size() > 40);
    const auto slot = [&](int page, int row) { return bytes.data() + qsizetype(page) * 4096 + 14 + 2 * row; };
    const auto flag = [&](int page, int row, quint16 bits) {
        qToLittleEndian<quint16>(qFromLittleEndian<quint16>(slot(page, row)) | bits, slot(page, row));
    };
    const auto moveTo = [&](int page, int row, int toPage, int toRow) {
        const quint16 start = qFromLittleEndian<quint16>(slot(page, row)) & 0x1FFF;
        qToLittleEndian<quint32>(quint32(toPage) << 8 | quint32(toRow), bytes.data() + qsizetype(page) * 4096 + start);
        flag(page, row, 0x4000);
        flag(toPage, toRow, 0x8000);   // as Access marks a moved row's new place
    };
    const int first = dataPages.front(), last = dataPages.back();
    flag(first, 1, 0x8000);    // ID 2 deleted
    moveTo(first, 2, first, 4);   // ID 3 -> ID 5
    const int lastRows = qFromLittleEndian<quint16>(bytes.constData() + qsizetype(last) * page + 12);
    moveTo(last, 0, first, 5);    // ID 801 - lastRows -> ID 6
    testdb::writeAll(path, bytes);

    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT ID, Name FROM T"));
    QList<int> ids;
    for (int row = 0; row < r.rowCount(); ++row)
        ids << r.value(row, 0).toInt();
    QList<int> expected = {1, 5, 4};
    for (int id = 7; id <= 800; ++id)
        expected << (id == 801 - lastRows ? 6 : id);
    QCOMPARE(ids, expected);
    QCOMPARE(r.value(1, 1).toString(), QStringLiteral("строка 5"));
}

// Jet 3 text is read in the code page the file's header names.
void tst_ValueReading::codePages_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("1250 Central European") << 1250 << QStringLiteral("Název") << QStringLiteral("Łódź, Brno: žluťoučký kůň");
    QTest::newRow("1251 Cyrillic") << 1251 << QStringLiteral("Название") << QStringLiteral("Сверло ф10 №5, «Ёж» ўЎ");
    QTest::newRow("1252 Western") << 1252 << QStringLiteral("Größe") << QStringLiteral("Fräser Ø 10 € – Stahl");
    QTest::newRow("1253 Greek") << 1253 << QStringLiteral("Όνομα") << QStringLiteral("Τρυπάνι Αθήνα");
    QTest::newRow("1257 Baltic") << 1257 << QStringLiteral("Pavadinimas_ž") << QStringLiteral("Grąžtas Rīga Šiauliai");
}

void tst_ValueReading::codePages()
{
    QFETCH(int, codePage);
    QFETCH(QString, column);
    QFETCH(QString, text);
    jetdb::Database db(jetdb::Format::Jet3, codePage);
    db.addTable("T", {{column.toStdString(), Type::Text, 100}, {"Notes", Type::Memo}})
        .addRow({text.toStdString(), text.repeated(40).toStdString()});
    const QString path = testdb::write(db, m_dir.filePath(QStringLiteral("cp%1.mdb").arg(codePage)));
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT [%1], Notes FROM T").arg(column));
    QCOMPARE(r.rowCount(), 1);
    QCOMPARE(r.columns[0].name, column);
    QCOMPARE(r.value(0, 0).toString(), text);
    QCOMPARE(r.value(0, 1).toString(), text.repeated(40));
}

// A decimal is its stored integer divided by 10^scale, rounded once to the
// nearest double: the C library's correctly rounded strtod of the same digits.
void tst_ValueReading::decimals_data()
{
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("digits");
    QTest::newRow("12.34 in (10,2)") << 10 << 2 << "12.34";
    QTest::newRow("-1 in (18,0)") << 18 << 0 << "-1";
    QTest::newRow("largest of 28 digits") << 28 << 0 << "9999999999999999999999999999";
    QTest::newRow("smallest negative of 28 digits") << 28 << 0 << "-9999999999999999999999999999";
    QTest::newRow("28 digits after the point") << 28 << 28 << "0.0000000000000000000000000001";
    QTest::newRow("one rounding, not two") << 28 << 28 << "0.1258036382393023372269297224";
    QTest::newRow("one rounding, large") << 28 << 7 << "587575596824034574336.4882173";
    QTest::newRow("halfway between two doubles") << 28 << 0 << "9007199254740993";
    QTest::newRow("zero") << 5 << 3 << "0";
}

void tst_ValueReading::decimals()
{
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QString, digits);
    jetdb::Database db;
    jetdb::Column amount{"Amount", Type::Numeric};
    amount.precision = precision;
    amount.scale = scale;
    db.addTable("T", {{"ID", Type::Long}, amount}).addRow({std::int64_t(1), jetdb::Decimal{digits.toStdString()}});
    const QString path = testdb::write(db, m_dir.filePath(QStringLiteral("decimal.mdb")));
    db::Connection connection;
    connection.setConnectionString(testdb::connectionStringFor(path));
    connection.open();
    const db::ResultTable r = connection.execute(QStringLiteral("SELECT Amount FROM T"));
    QCOMPARE(r.columns[0].kind, db::ColumnKind::Numeric);
    const double value = r.value(0, 0).toDouble();
    const double expected = std::strtod(digits.toLatin1().constData(), nullptr);
    QVERIFY2(std::memcmp(&value, &expected, sizeof value) == 0,
             qPrintable(QStringLiteral("%1 read as %2").arg(digits).arg(value, 0, 'g', 17)));
}

QTEST_GUILESS_MAIN(tst_ValueReading)
#include "tst_value_reading.moc"
