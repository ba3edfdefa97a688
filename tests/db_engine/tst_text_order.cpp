// The database's text order: its quick path for plain ASCII and Cyrillic must
// agree with the collator everywhere, and the order itself is Access's.
#include "text_order.h"

#include <QRandomGenerator>
#include <QtTest>

class tst_TextOrder : public QObject {
    Q_OBJECT
private slots:
    void order_data();
    void order();
    void quickPathAgreesWithCollator();
    void quickPathCharacterPairs();
    void hyphensAndApostrophes_data();
    void hyphensAndApostrophes();
    void hyphensQuickPathAgreesWithCollator();
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
    QTest::newRow("ё and е differ only by the accent") << "еб" << "ёв";
    QTest::newRow("й a letter of its own") << "ия" << "йа";
    QTest::newRow("я last") << "Ю" << "я";
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
    const QString alphabet = QStringLiteral("aAbBzZ09 -./,_;()éÉжЖаАяЯеЕёЁиИйЙъЪьыЫэЮ");
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

// Every pair of characters the quick path may take, alone and before a
// second letter that would decide the other way, against the collator.
void tst_TextOrder::quickPathCharacterPairs()
{
    QString chars = QStringLiteral(" -./");
    for (char16_t c = u'0'; c <= u'9'; ++c)
        chars += QChar(c);
    for (char16_t c = u'A'; c <= u'Z'; ++c)
        chars += QString(QChar(c)) + QChar(char16_t(c + 32));
    for (char16_t c = 0x0400; c <= 0x045F; ++c)
        chars += QChar(c);
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (QChar x : std::as_const(chars)) {
        for (QChar y : std::as_const(chars)) {
            for (const auto &[a, b] : {std::pair{QString(x), QString(y)}, {QString(x) + u'b', QString(y) + u'a'},
                                       {QLatin1Char('k') + QString(x), QLatin1Char('K') + QString(y) + u'a'}}) {
                const int expected = sign(db::textCollator().compare(a, b));
                if (sign(db::compareText(a, b)) != expected)
                    QFAIL(qPrintable(QStringLiteral("'%1' vs '%2': collator says %3").arg(a, b).arg(expected)));
            }
        }
    }
}

// The database compares texts as if hyphens and apostrophes were not there;
// of two texts equal without them, the one with fewer comes first.
void tst_TextOrder::hyphensAndApostrophes_data()
{
    QTest::addColumn<QString>("less");
    QTest::addColumn<QString>("greater");
    QTest::newRow("hyphen set aside") << "WB" << "W-B";
    QTest::newRow("before the next letter") << "W-" << "WB";
    QTest::newRow("without it first") << "W" << "W-";
    QTest::newRow("co-op beside coop") << "coop" << "co-op";
    QTest::newRow("co-op before cork") << "co-op" << "cork";
    QTest::newRow("apostrophe set aside") << "OConnor" << "O'Connor";
    QTest::newRow("apostrophe before the next letter") << "O'Connor" << "Odell";
    QTest::newRow("codes: the dot decides, not the hyphen") << "R216.34-06" << "R216-10";
    QTest::newRow("Cyrillic codes") << "Т15К7" << "Т15-К8";
    QTest::newRow("letter case still ignored") << "ab-c" << "AB-D";
}

void tst_TextOrder::hyphensAndApostrophes()
{
    QFETCH(QString, less);
    QFETCH(QString, greater);
    QVERIFY(db::compareDatabaseText(less, greater) < 0);
    QVERIFY(db::compareDatabaseText(greater, less) > 0);
    QCOMPARE(db::compareDatabaseText(greater.toUpper(), greater), 0);
}

// The same for the quick path that steps over hyphens and apostrophes: its
// sign must match the collator's on the texts without them, then fewer of
// them first, then the collator's on the whole texts.
void tst_TextOrder::hyphensQuickPathAgreesWithCollator()
{
    const QString alphabet = QStringLiteral("aAbZ09 -'-'./,_éжЖяЁйЙ");
    QRandomGenerator random(20240507);
    auto word = [&] {
        QString s;
        for (int n = random.bounded(7); n > 0; --n)
            s += alphabet.at(random.bounded(int(alphabet.size())));
        return s;
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    auto without = [](QString s) {
        const qsizetype before = s.size();
        s.remove(QLatin1Char('-')).remove(QLatin1Char('\''));
        return std::pair{s, before - s.size()};
    };
    for (int i = 0; i < 20000; ++i) {
        const QString a = word(), b = word();
        const auto [shortA, removedA] = without(a);
        const auto [shortB, removedB] = without(b);
        int expected = sign(db::textCollator().compare(shortA, shortB));
        if (expected == 0)
            expected = removedA != removedB ? (removedA < removedB ? -1 : 1) : sign(db::textCollator().compare(a, b));
        if (sign(db::compareDatabaseText(a, b)) != expected)
            QFAIL(qPrintable(QStringLiteral("'%1' vs '%2': expected %3").arg(a, b).arg(expected)));
    }
}

QTEST_GUILESS_MAIN(tst_TextOrder)
#include "tst_text_order.moc"
