// Field display texts: the rules for every kind, with a fixed locale whose
// decimal separator is a comma.
#include "date_value.h"
#include "field.h"

#include <QtTest>

#include <cmath>
#include <ctime>

class tst_FieldText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { db::setDisplayLocale(QLocale(QLocale::Russian, QLocale::Russia)); }
    void text_data();
    void text();
    void widthsAndAlignment_data();
    void widthsAndAlignment();
    void wallClockInAnyZone_data();
    void wallClockInAnyZone();
};

void tst_FieldText::text_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    const int Float = int(db::FieldKind::Float), Integer = int(db::FieldKind::Integer);
    const int Date = int(db::FieldKind::DateTime), Bool = int(db::FieldKind::Boolean);
    const auto days = [](QDate d, QTime t = {0, 0}) { return QVariant(db::accessDaysFromDateTime(QDateTime(d, t, Qt::UTC))); };

    QTest::newRow("float: no trailing zeros") << Float << QVariant(12.50) << "12,5";
    QTest::newRow("float: whole") << Float << QVariant(3.0) << "3";
    QTest::newRow("float: no grouping") << Float << QVariant(1234567.0) << "1234567";
    QTest::newRow("float: negative") << Float << QVariant(-0.75) << "-0,75";
    QTest::newRow("float: 17 digits shown as 15") << Float << QVariant(1.2345678901234567) << "1,23456789012346";
    QTest::newRow("float: sum error rounded away") << Float << QVariant(0.1 + 0.2) << "0,3";
    QTest::newRow("float: 15 integer digits") << Float << QVariant(123456789012345.0) << "123456789012345";
    QTest::newRow("float: 16 integer digits") << Float << QVariant(1234567890123456.0) << "1,23456789012346E15";
    QTest::newRow("float: smallest fixed") << Float << QVariant(0.00001) << "0,00001";
    QTest::newRow("float: small") << Float << QVariant(0.000001234) << "1,234E-6";
    QTest::newRow("float: huge") << Float << QVariant(-1.7976931348623157e308) << "-1,79769313486232E308";
    QTest::newRow("float: zero") << Float << QVariant(0.0) << "0";
    QTest::newRow("float: rounding carries") << Float << QVariant(9.9999999999999999) << "10";
    QTest::newRow("float: null") << Float << QVariant() << "";
    QTest::newRow("integer") << Integer << QVariant(-1234567) << "-1234567";
    QTest::newRow("integer: null") << Integer << QVariant() << "";
    QTest::newRow("auto-increment") << int(db::FieldKind::AutoIncrement) << QVariant(42) << "42";
    QTest::newRow("boolean: true") << Bool << QVariant(true) << "True";
    QTest::newRow("boolean: false") << Bool << QVariant(false) << "False";
    QTest::newRow("boolean: null") << Bool << QVariant() << "";
    QTest::newRow("date at midnight") << Date << days({2024, 5, 6}) << "06.05.2024";
    QTest::newRow("date and time") << Date << days({2024, 2, 29}, {23, 59, 59}) << "29.02.2024 23:59:59";
    QTest::newRow("date before 1900 with time") << Date << days({1850, 3, 1}, {13, 45, 30}) << "01.03.1850 13:45:30";
    QTest::newRow("day before the epoch, 06:00") << Date << QVariant(-1.25) << "29.12.1899 06:00:00";
    QTest::newRow("date: null") << Date << QVariant() << "";
    QTest::newRow("text as stored") << int(db::FieldKind::WideText) << QVariant(QStringLiteral(" Р6М5 ")) << " Р6М5 ";
    QTest::newRow("text: empty") << int(db::FieldKind::WideText) << QVariant(QString("")) << "";
}

void tst_FieldText::text()
{
    QFETCH(int, kind);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    const db::Field field(nullptr, 0, {QStringLiteral("F"), db::FieldKind(kind)});
    QCOMPARE(field.displayTextOf(value), expected);
}

void tst_FieldText::widthsAndAlignment_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<bool>("right");
    QTest::newRow("integer default") << int(db::FieldKind::Integer) << 0 << 0 << 10 << true;
    QTest::newRow("auto-increment") << int(db::FieldKind::AutoIncrement) << 0 << 0 << 10 << true;
    QTest::newRow("float set") << int(db::FieldKind::Float) << 0 << 12 << 12 << true;
    QTest::newRow("text: its size") << int(db::FieldKind::WideText) << 250 << 0 << 250 << false;
    QTest::newRow("memo") << int(db::FieldKind::Memo) << 0 << 0 << 10 << false;
    QTest::newRow("date") << int(db::FieldKind::DateTime) << 0 << 0 << 18 << false;
    QTest::newRow("boolean") << int(db::FieldKind::Boolean) << 0 << 0 << 5 << false;
}

void tst_FieldText::widthsAndAlignment()
{
    QFETCH(int, kind);
    QFETCH(int, size);
    QFETCH(int, width);
    QFETCH(int, expectedWidth);
    QFETCH(bool, right);
    const db::Field field(nullptr, 0, {QStringLiteral("F"), db::FieldKind(kind), size, {}, width});
    QCOMPARE(field.displayWidth(), expectedWidth);
    QCOMPARE(bool(field.alignment() & Qt::AlignRight), right);
    QCOMPARE(field.displayLabel(), QStringLiteral("F"));   // no title: the column name
}

// Dates carry no time zone: a wall-clock time that the machine's zone skips
// when daylight saving starts still shows as stored.
void tst_FieldText::wallClockInAnyZone_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Moscow 1984, midnight") << QByteArray("Europe/Moscow") << QDate(1984, 4, 1) << QTime(0, 0) << "01.04.1984";
    QTest::newRow("Moscow 1984, 00:30") << QByteArray("Europe/Moscow") << QDate(1984, 4, 1) << QTime(0, 30) << "01.04.1984 00:30:00";
    QTest::newRow("Berlin 2020, 02:00") << QByteArray("Europe/Berlin") << QDate(2020, 3, 29) << QTime(2, 0) << "29.03.2020 02:00:00";
    QTest::newRow("Berlin 2020, 02:30") << QByteArray("Europe/Berlin") << QDate(2020, 3, 29) << QTime(2, 30) << "29.03.2020 02:30:00";
    QTest::newRow("New York 2021, 02:30") << QByteArray("America/New_York") << QDate(2021, 3, 14) << QTime(2, 30) << "14.03.2021 02:30:00";
    QTest::newRow("New York 2021, 02:59:59") << QByteArray("America/New_York") << QDate(2021, 3, 14) << QTime(2, 59, 59) << "14.03.2021 02:59:59";
}

void tst_FieldText::wallClockInAnyZone()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    const double days = QDate(1899, 12, 30).daysTo(date) + time.msecsSinceStartOfDay() / 86400000.0;
    const db::Field field(nullptr, 0, {QStringLiteral("Date"), db::FieldKind::DateTime});
    const QString text = field.displayTextOf(days);
    qputenv("TZ", previous);
    tzset();
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(tst_FieldText)
#include "tst_field_text.moc"
