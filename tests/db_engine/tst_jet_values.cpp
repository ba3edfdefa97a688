// One value of each Jet column type decoded from its bytes, in Jet 3 and
// Jet 4: the shortest and longest values, the values that read as NULL, and
// lengths too short for their type, which are damage.
#include "eight_bit_text.h"
#include "jet_values.h"

#include <QtTest>

#include <cfloat>
#include <limits>

using db::StoredValue;
namespace jet = db::jet;

namespace {

QByteArray le(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
    return out;
}

template<typename T>
QByteArray raw(T value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
}

// A decimal: sign byte, then the magnitude's four 32-bit words, most
// significant first.
QByteArray decimal(bool negative, quint64 high, quint64 low)
{
    return QByteArray(1, negative ? char(0x80) : 0) + le(high >> 32, 4) + le(high, 4) + le(low >> 32, 4) + le(low, 4);
}

constexpr int kDamaged = -1;   // `kind` of a row whose bytes cannot hold the type

} // namespace

class tst_JetValues : public QObject {
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
};

void tst_JetValues::decode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("jet3");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("value");
    using K = StoredValue::Kind;
    const auto row = [](const char *name, int type, bool jet3, const QByteArray &bytes, int scale, int kind,
                        const QVariant &value) {
        QTest::newRow(name) << type << jet3 << bytes << scale << kind << value;
    };
    for (const bool jet3 : {false, true}) {
        const auto name = [&](const char *what) {
            static QList<QByteArray> names;   // newRow keeps the pointer
            names << (QByteArray(jet3 ? "Jet 3: " : "Jet 4: ") + what);
            return names.back().constData();
        };
        row(name("boolean, bit clear"), jet::kBoolean, jet3, "", 0, int(K::Integer), 0);
        row(name("boolean, bit set"), jet::kBoolean, jet3, "1", 0, int(K::Integer), -1);
        row(name("byte, lowest"), jet::kByte, jet3, le(0, 1), 0, int(K::Integer), 0);
        row(name("byte, highest"), jet::kByte, jet3, le(0xFF, 1), 0, int(K::Integer), 255);
        row(name("byte, no bytes"), jet::kByte, jet3, "", 0, kDamaged, {});
        row(name("integer, lowest"), jet::kInteger, jet3, le(0x8000, 2), 0, int(K::Integer), -32768);
        row(name("integer, highest"), jet::kInteger, jet3, le(0x7FFF, 2), 0, int(K::Integer), 32767);
        row(name("integer, one byte"), jet::kInteger, jet3, le(1, 1), 0, kDamaged, {});
        row(name("long, lowest"), jet::kLongInteger, jet3, le(0x80000000, 4), 0, int(K::Integer), INT_MIN);
        row(name("long, highest"), jet::kLongInteger, jet3, le(0x7FFFFFFF, 4), 0, int(K::Integer), INT_MAX);
        row(name("long, three bytes"), jet::kLongInteger, jet3, le(1, 3), 0, kDamaged, {});
        row(name("currency, smallest step"), jet::kMoney, jet3, le(1, 8), 0, int(K::Real), 1 / 10000.0);
        row(name("currency, lowest"), jet::kMoney, jet3, le(quint64(1) << 63, 8), 0, int(K::Real),
            double(std::numeric_limits<qint64>::min()) / 10000.0);
        row(name("currency, seven bytes"), jet::kMoney, jet3, le(1, 7), 0, kDamaged, {});
        row(name("single, a half"), jet::kSingle, jet3, raw(1.5f), 0, int(K::Real), 1.5);
        row(name("single, largest"), jet::kSingle, jet3, raw(FLT_MAX), 0, int(K::Real), double(FLT_MAX));
        row(name("single, three bytes"), jet::kSingle, jet3, raw(1.5f).left(3), 0, kDamaged, {});
        row(name("double, largest"), jet::kDouble, jet3, raw(DBL_MAX), 0, int(K::Real), DBL_MAX);
        row(name("double, smallest"), jet::kDouble, jet3, raw(DBL_TRUE_MIN), 0, int(K::Real), DBL_TRUE_MIN);
        row(name("double, seven bytes"), jet::kDouble, jet3, raw(1.0).left(7), 0, kDamaged, {});
        row(name("date, before 1899-12-30"), jet::kDateTime, jet3, raw(-1.25), 0, int(K::Real), -1.25);
        row(name("date, seven bytes"), jet::kDateTime, jet3, raw(1.0).left(7), 0, kDamaged, {});
        row(name("GUID"), jet::kGuid, jet3, QByteArray::fromHex("33221100554477668899aabbccddeeff"), 0, int(K::Text),
            QStringLiteral("{00112233-4455-6677-8899-AABBCCDDEEFF}"));
        row(name("GUID, fifteen bytes"), jet::kGuid, jet3, QByteArray(15, 0), 0, kDamaged, {});
        row(name("binary, empty"), jet::kBinary, jet3, "", 0, int(K::Bytes), QByteArray(""));
        row(name("binary, longest"), jet::kBinary, jet3, QByteArray(255, 'b'), 0, int(K::Bytes), QByteArray(255, 'b'));
        row(name("memo: followed by the reader"), jet::kMemo, jet3, QByteArray(12, 0), 0, int(K::Null), {});
        row(name("OLE: followed by the reader"), jet::kOle, jet3, QByteArray(12, 0), 0, int(K::Null), {});
        row(name("unknown type"), 0x11, jet3, le(1, 4), 0, int(K::Null), {});
    }
    row("Jet 3: decimal, no such type", jet::kNumeric, true, decimal(false, 0, 1), 0, int(K::Null), {});
    row("Jet 4: decimal, negative, scaled", jet::kNumeric, false, decimal(true, 0, 12345), 2, int(K::Real), -123.45);
    row("Jet 4: decimal, zero", jet::kNumeric, false, decimal(false, 0, 0), 28, int(K::Real), 0.0);
    row("Jet 4: decimal, 28 nines", jet::kNumeric, false, decimal(false, 0x204FCE5E, 0x3E25026110000000 - 1), 0,
        int(K::Real), 9999999999999999999999999999.0);
    row("Jet 4: decimal, 29 digits", jet::kNumeric, false, decimal(false, 0x204FCE5E, 0x3E25026110000000), 0,
        kDamaged, {});
    row("Jet 4: decimal, sixteen bytes", jet::kNumeric, false, decimal(false, 0, 1).left(16), 0, kDamaged, {});
    row("Jet 4: text, empty", jet::kText, false, "", 0, int(K::Text), QString(""));
    row("Jet 4: text, UTF-16", jet::kText, false, QByteArray("A\0\x3F\x04", 4), 0, int(K::Text), QStringLiteral("Aп"));
    row("Jet 4: text, odd last byte dropped", jet::kText, false, QByteArray("A\0B", 3), 0, int(K::Text), QStringLiteral("A"));
    row("Jet 4: text, compressed", jet::kText, false, QByteArray("\xFF\xFE" "ab\0\x3F\x04", 7), 0, int(K::Text),
        QStringLiteral("abп"));
    row("Jet 4: text, compressed, switched back", jet::kText, false, QByteArray("\xFF\xFE" "a\0\x3F\x04\0b", 8), 0,
        int(K::Text), QStringLiteral("aпb"));
    row("Jet 4: text, compressed, cut in a character", jet::kText, false, QByteArray("\xFF\xFE" "a\0\x3F", 5), 0,
        int(K::Text), QStringLiteral("a"));
    row("Jet 4: text, longest", jet::kText, false, QByteArray("x\0", 2).repeated(255), 0, int(K::Text),
        QString(255, u'x'));
    row("Jet 3: text, empty", jet::kText, true, "", 0, int(K::Text), QString(""));
    row("Jet 3: text, code page", jet::kText, true, "\xEF\xF0\xE8", 0, int(K::Text), QStringLiteral("при"));
    row("Jet 3: text, longest", jet::kText, true, QByteArray(255, 'x'), 0, int(K::Text), QString(255, u'x'));
}

void tst_JetValues::decode()
{
    QFETCH(int, type);
    QFETCH(bool, jet3);
    QFETCH(QByteArray, bytes);
    QFETCH(int, scale);
    QFETCH(int, kind);
    QFETCH(QVariant, value);
    const core::CodePage cp1251(1251);
    const jet::ValueContext context{jet3 ? &cp1251 : nullptr, scale};
    StoredValue v;
    v.text = QStringLiteral("left from the row before");
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    bool ok = true;
    if (type == jet::kBoolean)
        jet::decodeBoolean(!bytes.isEmpty(), v);
    else if (const jet::Decoder decode = jet::decoderFor(static_cast<unsigned char>(type), jet3 ? jet::kJet3 : jet::kJet4))
        ok = decode(p, int(bytes.size()), context, v);
    QCOMPARE(ok, kind != kDamaged);
    if (!ok)
        return;
    QCOMPARE(int(v.kind), kind);
    switch (v.kind) {
    case StoredValue::Kind::Integer: QCOMPARE(v.integer, value.toLongLong()); break;
    case StoredValue::Kind::Real: QCOMPARE(v.real, value.toDouble()); break;
    case StoredValue::Kind::Text: QCOMPARE(v.text, value.toString()); break;
    case StoredValue::Kind::Bytes: QCOMPARE(v.bytes, value.toByteArray()); break;
    default: break;
    }
}

QTEST_APPLESS_MAIN(tst_JetValues)
#include "tst_jet_values.moc"
