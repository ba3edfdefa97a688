#include "jet_values.h"

#include "eight_bit_text.h"

#include <QUuid>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace db::jet {
namespace {

bool byteValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 1)
        return false;
    v.kind = StoredValue::Kind::Integer;
    v.integer = p[0];
    return true;
}

bool integerValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 2)
        return false;
    v.kind = StoredValue::Kind::Integer;
    v.integer = qFromLittleEndian<qint16>(p);
    return true;
}

bool longIntegerValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 4)
        return false;
    v.kind = StoredValue::Kind::Integer;
    v.integer = qFromLittleEndian<qint32>(p);
    return true;
}

// Currency: a 64-bit count of ten-thousandths.
bool moneyValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 8)
        return false;
    v.kind = StoredValue::Kind::Real;
    v.real = double(qFromLittleEndian<qint64>(p)) / 10000.0;
    return true;
}

bool singleValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 4)
        return false;
    v.kind = StoredValue::Kind::Real;
    v.real = qFromLittleEndian<float>(p);
    return true;
}

// Double, and DateTime as Access's day count (see date_value.h).
bool doubleValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 8)
        return false;
    v.kind = StoredValue::Kind::Real;
    v.real = qFromLittleEndian<double>(p);
    return true;
}

// 28 digits need 94 bits; GCC's and clang's 128-bit integer holds them.
__extension__ typedef unsigned __int128 Magnitude;

Magnitude powerOfTen(int n)
{
    Magnitude p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// A decimal (Numeric) value: a sign byte, then the magnitude as four 32-bit
// words, most significant first; the value is magnitude / 10^scale. A
// magnitude beyond 28 digits is damage.
bool decimalValue(const unsigned char *p, int size, const ValueContext &context, StoredValue &v)
{
    if (size < 17)
        return false;
    Magnitude magnitude = 0;
    for (int w = 0; w < 4; ++w)
        magnitude = (magnitude << 32) | qFromLittleEndian<quint32>(p + 1 + 4 * w);
    if (magnitude >= powerOfTen(kMaxDecimalDigits))
        return false;
    // Divided bit by bit until the quotient has 64 significant bits; the
    // bits beyond them and the remainder fold into the lowest bit, so the
    // one rounding to double (nearest, ties to even) is exact.
    const Magnitude divisor = powerOfTen(context.scale);
    Magnitude quotient = magnitude / divisor, remainder = magnitude % divisor;
    int exponent = 0;
    if (quotient != 0 || remainder != 0) {
        while (quotient < Magnitude(1) << 63) {
            remainder <<= 1;
            quotient <<= 1;
            --exponent;
            if (remainder >= divisor) {
                remainder -= divisor;
                quotient |= 1;
            }
        }
    }
    bool sticky = remainder != 0;
    while (quotient >> 64) {
        sticky |= bool(quotient & 1);
        quotient >>= 1;
        ++exponent;
    }
    const double magnitudeValue = std::ldexp(double(quint64(quotient) | quint64(sticky)), exponent);
    v.kind = StoredValue::Kind::Real;
    v.real = (p[0] & 0x80) ? -magnitudeValue : magnitudeValue;
    return true;
}

// A replication ID, shown as Access shows it: braces, capitals.
bool guidValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    if (size < 16)
        return false;
    const QUuid id(qFromLittleEndian<quint32>(p), qFromLittleEndian<quint16>(p + 4), qFromLittleEndian<quint16>(p + 6),
                   p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
    v.kind = StoredValue::Kind::Text;
    v.text = id.toString(QUuid::WithBraces).toUpper();
    return true;
}

// Present with no bytes is an empty string, not NULL.
bool jet4TextValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    v.kind = StoredValue::Kind::Text;
    decodeJet4Text(p, size, v.text);
    return true;
}

bool jet3TextValue(const unsigned char *p, int size, const ValueContext &context, StoredValue &v)
{
    v.kind = StoredValue::Kind::Text;
    v.text = context.narrowText->decode(QByteArrayView(p, size));
    return true;
}

bool binaryValue(const unsigned char *p, int size, const ValueContext &, StoredValue &v)
{
    v.kind = StoredValue::Kind::Bytes;
    v.bytes = QByteArray(reinterpret_cast<const char *>(p), size);
    return true;
}

} // namespace

Decoder decoderFor(unsigned char type, const Format &format)
{
    switch (type) {
    case kByte: return byteValue;
    case kInteger: return integerValue;
    case kLongInteger: return longIntegerValue;
    case kMoney: return moneyValue;
    case kSingle: return singleValue;
    case kDouble:
    case kDateTime: return doubleValue;
    case kNumeric: return format.jet3 ? nullptr : decimalValue;   // Access 97 has no decimals
    case kGuid: return guidValue;
    case kText: return format.jet3 ? jet3TextValue : jet4TextValue;
    case kBinary: return binaryValue;
    default: return nullptr;
    }
}

void decodeBoolean(bool bitSet, StoredValue &v)
{
    v.kind = StoredValue::Kind::Integer;
    v.integer = bitSet ? -1 : 0;
}

// Decoded in place: rows are read one after another and a fresh string per
// value would cost an allocation each.
void decodeJet4Text(const unsigned char *p, int size, QString &text)
{
    text.resize(size);   // never more characters than bytes
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const begin = out;
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        int i = 2;
        while (i < size) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                *out++ = p[i++];
            } else {
                if (i + 1 >= size)
                    break;
                *out++ = char16_t(qFromLittleEndian<quint16>(p + i));
                i += 2;
            }
        }
    } else {
        for (int i = 0; i + 1 < size; i += 2)
            *out++ = char16_t(qFromLittleEndian<quint16>(p + i));
    }
    text.resize(out - begin);
}

} // namespace db::jet
