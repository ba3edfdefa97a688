// 8-bit text: the code pages of Access 97 databases and of configuration
// files from Windows, and telling UTF-8 from them (Qt's check, as the
// configuration file's reader relies on it).
#include "eight_bit_text.h"

#include <QTest>

class tst_TextEncoding : public QObject {
    Q_OBJECT

private slots:
    void decoding_data();
    void decoding();
    void windows1251RoundTripsEveryDefinedByte();
    void foreignCharactersRefused();
    void unknownCodePage();
    void utf8Validity_data();
    void utf8Validity();
};

void tst_TextEncoding::decoding_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1251 Cyrillic") << 1251 << QByteArray("\xCF\xF3\xF2\xFC \xEA \xC1\xC4: \xA8\xE6\xE8\xEA \xB9" "1")
                                   << QStringLiteral("Путь к БД: Ёжик №1");
    // 0x98 is undefined in Windows-1251: it stands out, and the rest stays.
    QTest::newRow("1251 undefined byte mid-text") << 1251 << QByteArray("\xC0\x98z") << QStringLiteral("А\uFFFDz");
    QTest::newRow("1251 undefined byte alone") << 1251 << QByteArray("\x98") << QStringLiteral("\uFFFD");
    QTest::newRow("1251 NUL kept") << 1251 << QByteArray("a\0\xC1", 3) << QString(reinterpret_cast<const QChar *>(u"a\0Б"), 3);
    QTest::newRow("1252 euro, undefined 0x81") << 1252 << QByteArray("\x80\x81\xE9") << QStringLiteral("€\uFFFDé");
    QTest::newRow("1250 Polish") << 1250 << QByteArray("\xA3\xF3\x64\x9F") << QStringLiteral("Łódź");
    QTest::newRow("1253 Greek") << 1253 << QByteArray("\xC1\xE8\xDE\xED\xE1") << QStringLiteral("Αθήνα");
    QTest::newRow("1257 Baltic") << 1257 << QByteArray("R\xEEga \xD0iauliai") << QStringLiteral("Rīga Šiauliai");
    QTest::newRow("empty") << 1251 << QByteArray() << QString();
}

void tst_TextEncoding::decoding()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const core::CodePage cp(codePage);
    QCOMPARE(cp.decode(bytes), expected);
}

void tst_TextEncoding::windows1251RoundTripsEveryDefinedByte()
{
    QByteArray all;
    for (int b = 0; b <= 0xFF; ++b)
        if (b != 0x98)
            all += char(b);
    const core::CodePage cp(1251);
    const QString text = cp.decode(all);
    QCOMPARE(text.size(), all.size());
    QVERIFY(!text.contains(QChar(core::kUndefinedByte)));
    QByteArray back;
    QVERIFY(cp.encode(text, back));
    QCOMPARE(back, all);
}

void tst_TextEncoding::foreignCharactersRefused()
{
    const core::CodePage cp(1251);
    QByteArray out;
    QVERIFY(!cp.encode(QStringLiteral("/data/日本.mdb"), out));
    QVERIFY(!cp.encode(QStringLiteral("ä"), out));
    QVERIFY(!cp.encode(QString::fromUcs4(U"\U0001F600"), out));
    QVERIFY(!cp.encode(QString(QChar(core::kUndefinedByte)), out));
}

void tst_TextEncoding::unknownCodePage()
{
    for (int number : {0, 12345, -1251}) {
        try {
            core::CodePage cp(number);
            QFAIL(qPrintable(QStringLiteral("code page %1 was accepted").arg(number)));
        } catch (const core::UnknownCodePage &e) {
            QCOMPARE(e.codePage(), number);
        }
    }
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
    QCOMPARE(QByteArrayView(bytes).isValidUtf8(), valid);
}

QTEST_GUILESS_MAIN(tst_TextEncoding)
#include "tst_text_encoding.moc"
