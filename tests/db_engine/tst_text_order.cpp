// The database's text order: its quick path for plain ASCII must agree with
// the collator everywhere, and the order itself is Access's.
#include "text_order.h"

#include <QRandomGenerator>
#include <QtTest>

class tst_TextOrder : public QObject {
    Q_OBJECT
private slots:
    void order_data();
    void order();
    void quickPathAgreesWithCollator();
};

void tst_TextOrder::order_data()
{
    QTest::addColumn<QString>("less");
    QTest::addColumn<QString>("greater");
    QTest::newRow("letter case ignored, then alphabet") << "apple" << "Banana";
    QTest::newRow("prefix first") << "AB" << "ab-1";
    QTest::newRow("digits before letters") << "9" << "a";
    QTest::newRow("Latin before Cyrillic") << "Zebra" << "арбуз";
    QTest::newRow("Cyrillic alphabet, case ignored") << "Борис" << "вера";
    QTest::newRow("ё with е, before ж") << "ёж" << "жук";
    QTest::newRow("space before hyphen") << "A B" << "A-B";
}

void tst_TextOrder::order()
{
    QFETCH(QString, less);
    QFETCH(QString, greater);
    QVERIFY(db::compareText(less, greater) < 0);
    QVERIFY(db::compareText(greater, less) > 0);
    QCOMPARE(db::compareText(less.toUpper(), less), 0);
}

// Random strings over an alphabet that mixes the quick path's characters with
// ones only the collator knows (punctuation out of ASCII order, Cyrillic,
// accents); the sign must always match the collator's.
void tst_TextOrder::quickPathAgreesWithCollator()
{
    const QString alphabet = QStringLiteral("aAbBzZ09 -./,_;()éÉжЖ");
    QRandomGenerator random(20240506);
    auto word = [&] {
        QString s;
        for (int n = random.bounded(6); n > 0; --n)
            s += alphabet.at(random.bounded(int(alphabet.size())));
        return s;
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int i = 0; i < 20000; ++i) {
        const QString a = word(), b = word();
        const int expected = sign(db::textCollator().compare(a, b));
        if (sign(db::compareText(a, b)) != expected)
            QFAIL(qPrintable(QStringLiteral("'%1' vs '%2': collator says %3").arg(a, b).arg(expected)));
    }
}

QTEST_GUILESS_MAIN(tst_TextOrder)
#include "tst_text_order.moc"
