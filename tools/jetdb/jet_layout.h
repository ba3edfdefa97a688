// How tables are laid out in a Jet file: type codes, column descriptors
// with their slots and offsets, and the catalog (MSysObjects) itself.
#pragma once

#include "jetdb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jetdb::layout {

enum Code : std::uint8_t {
    cBool = 0x01, cByte = 0x02, cInt = 0x03, cLong = 0x04, cMoney = 0x05, cFloat = 0x06,
    cDouble = 0x07, cDate = 0x08, cBinary = 0x09, cText = 0x0A, cOle = 0x0B, cMemo = 0x0C,
    cNumeric = 0x10,
};

// One column as laid out in the file.
struct ColDesc {
    std::string name;
    std::uint8_t code = cLong;
    int size = 0;        // bytes in the row (fixed types) or declared bytes (Text)
    bool fixed = true;
    bool autoNumber = false;
    bool systemColumn = false;
    int precision = 0, scale = 0;   // Numeric
    int colNum = 0;
    int varSlot = 0;     // var columns: slot; fixed: var columns before it
    int fixedOffset = 0;
    bool isLong() const { return code == cMemo || code == cOle; }
};

// A table as the writer sees it: user tables and the catalog alike.
struct TableImage {
    std::string name;
    std::vector<ColDesc> cols;
    const std::vector<Row> *rows = nullptr;
    std::int64_t lastAutoNumber = 0;
    bool system = false;
    std::uint32_t tdefPage = 0;
    int fixedLength = 0;
    int varCount = 0;
};

// 28 decimal digits need 94 bits; GCC's and clang's 128-bit integer holds them.
__extension__ typedef unsigned __int128 DecimalMagnitude;

// A Decimal's sign and magnitude scaled to `scale` digits after the point;
// false when the text is no decimal or has more digits than the column holds.
bool decimalParts(const std::string &text, int precision, int scale, bool &negative, DecimalMagnitude &magnitude);

// Bytes a fixed-length type takes in a row; 0 for variable-length types.
int fixedSize(std::uint8_t code);

// Fills in column numbers, var slots and fixed offsets in column order.
int layOut(std::vector<ColDesc> &cols);

// A user table's image: its columns as laid out for the format.
TableImage imageOf(const Table &t, Format format);

// The catalog, MSysObjects, with the 17 columns Access gives it.
TableImage catalogImage();

} // namespace jetdb::layout
