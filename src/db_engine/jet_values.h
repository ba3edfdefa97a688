// The values of a Jet row: one decoder per column type, each reading one
// value's bytes as the row splitter found them. A decoder is told how many
// bytes its value has, and a length that cannot hold its type is damage.
//
// Memo and OLE values are not decoded here: their field only says where the
// bytes lie (see MdbFile); their text goes through decodeJet4Text or the
// code page like Text does.
#pragma once

#include "jet_format.h"

#include <QByteArray>
#include <QString>

namespace core {
class CodePage;
}

namespace db {

// One decoded value; `kind` says which member holds it.
struct StoredValue {
    enum class Kind { Null, Integer, Real, Text, Bytes, LongValue } kind = Kind::Null;  // LongValue: `integer` is a reference
    qint64 integer = 0;
    double real = 0;
    QString text;
    QByteArray bytes;
};

namespace jet {

// The type codes of a column entry.
enum TypeCode : unsigned char {
    kBoolean = 0x01, kByte = 0x02, kInteger = 0x03, kLongInteger = 0x04, kMoney = 0x05, kSingle = 0x06,
    kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0A, kOle = 0x0B, kMemo = 0x0C,
    kGuid = 0x0F, kNumeric = 0x10,
};

// Decimals hold at most 28 digits.
constexpr int kMaxDecimalDigits = 28;

// What a decoder needs beyond the bytes: the text's code page (Jet 3) and
// a decimal column's scale.
struct ValueContext {
    const core::CodePage *narrowText = nullptr;   // Jet 3 only
    int scale = 0;
};

// Decodes a present value of `size` bytes at `p` into `v`, reusing its
// buffers. False when the bytes cannot hold the type.
using Decoder = bool (*)(const unsigned char *p, int size, const ValueContext &context, StoredValue &v);

// The decoder of a column type in a format; nullptr for a type whose values
// read as NULL (unknown types, decimals in Jet 3, booleans, which live in the
// null mask, and memo and OLE fields, which the reader follows itself).
Decoder decoderFor(unsigned char type, const Format &format);

// A boolean is its null-mask bit; Access stores True as -1.
void decodeBoolean(bool bitSet, StoredValue &v);

// Jet 4 text: UTF-16LE, or the compressed form that starts with FF FE and
// then switches between one byte per character and UTF-16 at every 00 byte.
// Decodes into `text`, reusing its buffer.
void decodeJet4Text(const unsigned char *p, int size, QString &text);

} // namespace jet
} // namespace db
