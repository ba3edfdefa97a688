#include "jet_layout.h"

namespace jetdb::layout {

namespace {

std::uint8_t codeOf(Type t)
{
    switch (t) {
    case Type::Boolean: return cBool;
    case Type::Byte: return cByte;
    case Type::Integer: return cInt;
    case Type::Long: return cLong;
    case Type::Currency: return cMoney;
    case Type::Single: return cFloat;
    case Type::Double: return cDouble;
    case Type::DateTime: return cDate;
    case Type::Text: return cText;
    case Type::Memo: return cMemo;
    case Type::Numeric: return cNumeric;
    }
    return cLong;
}

} // namespace

bool decimalParts(const std::string &text, int precision, int scale, bool &negative, DecimalMagnitude &magnitude)
{
    std::size_t i = 0;
    negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    magnitude = 0;
    int whole = 0, fraction = 0;
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        digits = true;
        if (point ? ++fraction > scale : (whole > 0 || c != '0') && ++whole > precision - scale)
            return false;
        magnitude = magnitude * 10 + unsigned(c - '0');
    }
    for (; fraction < scale; ++fraction)
        magnitude *= 10;
    return digits;
}

int fixedSize(std::uint8_t code)
{
    switch (code) {
    case cBool: return 1;
    case cByte: return 1;
    case cInt: return 2;
    case cLong: return 4;
    case cMoney: return 8;
    case cFloat: return 4;
    case cDouble: return 8;
    case cDate: return 8;
    case cNumeric: return 17;
    default: return 0;
    }
}

// Fills in column numbers, var slots and fixed offsets in column order.
int layOut(std::vector<ColDesc> &cols)
{
    int fixedEnd = 0, vars = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        ColDesc &c = cols[i];
        c.colNum = int(i);
        if (c.fixed) {
            c.varSlot = vars;
            c.fixedOffset = c.code == cBool ? 0 : fixedEnd;
            if (c.code != cBool)
                fixedEnd += c.size;
        } else {
            c.varSlot = vars++;
        }
    }
    return fixedEnd;
}

TableImage imageOf(const Table &t, Format format)
{
    TableImage img;
    img.name = t.name();
    img.rows = &t.rows();
    img.lastAutoNumber = t.lastAutoNumber();
    for (const Column &c : t.columns()) {
        ColDesc d;
        d.name = c.name;
        d.code = codeOf(c.type);
        d.fixed = c.type != Type::Text && c.type != Type::Memo;
        d.size = c.type == Type::Text ? c.textLength * (format == Format::Jet4 ? 2 : 1) : fixedSize(d.code);
        d.autoNumber = c.autoNumber;
        d.precision = c.precision;
        d.scale = c.scale;
        img.cols.push_back(d);
    }
    return img;
}

TableImage catalogImage()
{
    struct CatalogColumn { const char *name; std::uint8_t code; int size; };
    static const CatalogColumn catalogColumns[] = {
        {"Id", cLong, 4}, {"ParentId", cLong, 4}, {"Name", cText, 255}, {"Type", cInt, 2},
        {"DateCreate", cDate, 8}, {"DateUpdate", cDate, 8}, {"Owner", cBinary, 255}, {"Flags", cLong, 4},
        {"Database", cMemo, 0}, {"Connect", cMemo, 0}, {"ForeignName", cText, 255},
        {"RmtInfoShort", cBinary, 255}, {"RmtInfoLong", cOle, 0}, {"Lv", cOle, 0}, {"LvProp", cOle, 0},
        {"LvModule", cOle, 0}, {"LvExtra", cOle, 0},
    };
    TableImage img;
    img.name = "MSysObjects";
    img.system = true;
    img.tdefPage = 2;
    for (const CatalogColumn &s : catalogColumns) {
        ColDesc c;
        c.name = s.name;
        c.code = s.code;
        c.size = s.size;
        c.fixed = fixedSize(s.code) > 0;
        c.systemColumn = true;
        img.cols.push_back(c);
    }
    return img;
}

} // namespace jetdb::layout
