#include "text_encoding.h"

#include <QTest>
#include <iconv.h>

using namespace platform;

class tst_TextEncoding : public QObject {
    Q_OBJECT

private slots:
    void windows1251MatchesSystemTable();
    void windows1251RoundTripsEveryByte();
    void windows1251RejectsForeignCharacters();
    void utf8Validity_data();
    void utf8Validity();
};

// glibc's CP1251 converter is an independent copy of the code page.
void tst_TextEncoding::windows1251MatchesSystemTable()
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    if (cd == iconv_t(-1))
        QSKIP("the C library has no CP1251 converter");
    for (int b = 0x00; b <= 0xFF; ++b) {
        if (b == 0x98)
            continue;   // undefined in the code page
        char in = char(b);
        char16_t out[2] = {};
        char *inPtr = &in;
        char *outPtr = reinterpret_cast<char *>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        QVERIFY2(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1), qPrintable(QString::number(b, 16)));
        QCOMPARE(decodeWindows1251(QByteArray(1, char(b))), QString(QChar(out[0])));
    }
    iconv_close(cd);
}

void tst_TextEncoding::windows1251RoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b <= 0xFF; ++b)
        all += char(b);
    QByteArray back;
    QVERIFY(encodeWindows1251(decodeWindows1251(all), back));
    QCOMPARE(back, all);
    QVERIFY(encodeWindows1251(QStringLiteral("Путь к БД: Ёжик №1"), back));
    QCOMPARE(back, QByteArray("\xCF\xF3\xF2\xFC \xEA \xC1\xC4: \xA8\xE6\xE8\xEA \xB9" "1"));
}

void tst_TextEncoding::windows1251RejectsForeignCharacters()
{
    QByteArray out;
    QVERIFY(!encodeWindows1251(QStringLiteral("/data/日本.mdb"), out));
    QVERIFY(!encodeWindows1251(QStringLiteral("ä"), out));
    QVERIFY(!encodeWindows1251(QString::fromUcs4(U"\U0001F600"), out));
}

void tst_TextEncoding::utf8Validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ascii with NUL") << QByteArray("a\0b", 3) << true;
    QTest::newRow("cyrillic") << QStringLiteral("Путь").toUtf8() << true;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("highest code point") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("windows-1251 text") << QByteArray("\xCF\xF3\xF2\xFC") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut short at end") << QByteArray("ab\xD0") << false;
    QTest::newRow("cut short mid-text") << QByteArray("\xE2\x82z") << false;
    QTest::newRow("stray continuation") << QByteArray("a\x80") << false;
    QTest::newRow("five-byte lead") << QByteArray("\xF8\x88\x80\x80\x80") << false;
}

void tst_TextEncoding::utf8Validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isValidUtf8(bytes), valid);
}

QTEST_GUILESS_MAIN(tst_TextEncoding)
#include "tst_text_encoding.moc"
