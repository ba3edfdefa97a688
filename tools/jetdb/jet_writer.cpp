// Database::write: lays a described database out as Jet pages.
//
// Page plan: 0 header, 1 global usage map, 2 the catalog's (MSysObjects)
// TDEF, then one TDEF page per user table, then data and LVAL pages as rows
// are encoded, and last the usage-map pages and TDEF continuation pages.
#include "jetdb.h"

#include "jet_pages.h"
#include "jet_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace jetdb {

using pages::Bytes;
using pages::Geometry;

namespace {

enum Code : std::uint8_t {
    cBool = 0x01, cByte = 0x02, cInt = 0x03, cLong = 0x04, cMoney = 0x05, cFloat = 0x06,
    cDouble = 0x07, cDate = 0x08, cBinary = 0x09, cText = 0x0A, cOle = 0x0B, cMemo = 0x0C,
};

// One column as laid out in the file.
struct ColDesc {
    std::string name;
    std::uint8_t code = cLong;
    int size = 0;        // bytes in the row (fixed types) or declared bytes (Text)
    bool fixed = true;
    bool autoNumber = false;
    bool systemColumn = false;
    int colNum = 0;
    int varSlot = 0;     // var columns: slot; fixed: var columns before it
    int fixedOffset = 0;
    bool isLong() const { return code == cMemo || code == cOle; }
};

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
    default: return 0;
    }
}

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
    }
    return cLong;
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
        img.cols.push_back(d);
    }
    return img;
}

// Encodes rows and their long values for one table.
class RowEncoder {
public:
    RowEncoder(const Geometry &g, const TableImage &t, int codePage, pages::PageFile &file)
        : m_g(g), m_t(t), m_codePage(codePage), m_file(file)
    {
        for (const ColDesc &c : t.cols)
            m_lvals.emplace_back(c.isLong() ? std::make_unique<pages::RowSink>(g, file, pages::lvalOwner) : nullptr);
    }

    void flush()
    {
        for (auto &s : m_lvals)
            if (s)
                s->flush();
    }

    const std::vector<std::uint32_t> &lvalPages(std::size_t col) const
    {
        static const std::vector<std::uint32_t> none;
        return m_lvals[col] ? m_lvals[col]->pages() : none;
    }

    Bytes encode(const Row &row)
    {
        const bool jet4 = m_g.format == Format::Jet4;
        const std::size_t n = m_t.cols.size();
        const int countSize = jet4 ? 2 : 1;
        Bytes out(std::size_t(countSize + m_t.fixedLength), 0);
        if (jet4)
            pages::put16(out.data(), std::uint32_t(n));
        else
            out[0] = std::uint8_t(n);
        std::vector<std::uint8_t> mask((n + 7) / 8, 0);
        std::vector<int> varStart(std::size_t(m_t.varCount), 0);

        // Fixed columns.
        for (std::size_t i = 0; i < n; ++i) {
            const ColDesc &c = m_t.cols[i];
            const Value &v = row[i];
            if (!c.fixed)
                continue;
            if (c.code == cBool) {
                if (std::get<bool>(v))
                    mask[i / 8] |= std::uint8_t(1u << (i % 8));
                continue;
            }
            if (std::holds_alternative<Null>(v))
                continue;
            mask[i / 8] |= std::uint8_t(1u << (i % 8));
            std::uint8_t *p = &out[std::size_t(countSize + c.fixedOffset)];
            putFixed(p, c.code, v);
        }

        // Variable columns, in slot order.
        for (std::size_t i = 0; i < n; ++i) {
            const ColDesc &c = m_t.cols[i];
            if (c.fixed)
                continue;
            varStart[std::size_t(c.varSlot)] = int(out.size());
            const Value &v = row[i];
            if (std::holds_alternative<Null>(v))
                continue;
            mask[i / 8] |= std::uint8_t(1u << (i % 8));
            if (c.code == cText) {
                appendBytes(out, textBytes(std::get<std::string>(v), true));
            } else if (c.isLong()) {
                appendLongValue(out, i, std::get<std::string>(v));
            } else {
                throw Error("internal error: unsupported variable column");
            }
        }
        const int eod = int(out.size());

        if (m_t.varCount > 0) {
            if (jet4) {
                pages::append16(out, std::uint32_t(eod));
                for (int s = m_t.varCount - 1; s >= 0; --s)
                    pages::append16(out, std::uint32_t(varStart[std::size_t(s)]));
                pages::append16(out, std::uint32_t(m_t.varCount));
            } else {
                appendJet3VarTable(out, varStart, eod, mask.size());
            }
        }
        out.insert(out.end(), mask.begin(), mask.end());
        if (out.size() > std::size_t(m_g.maxRow))
            throw Error("table \"" + m_t.name + "\": a row of " + std::to_string(out.size())
                        + " bytes is longer than a page allows");
        return out;
    }

private:
    static void appendBytes(Bytes &out, const Bytes &b) { out.insert(out.end(), b.begin(), b.end()); }
    static void appendBytes(Bytes &out, const std::string &b) { out.insert(out.end(), b.begin(), b.end()); }

    Bytes textBytes(const std::string &utf8, bool mayCompress) const
    {
        const std::u16string wide = text::toUtf16(utf8);
        if (m_g.format == Format::Jet4)
            return text::jet4Bytes(wide, mayCompress);
        std::string narrow;
        if (!text::narrowBytes(wide, m_codePage, narrow))
            throw Error("text does not fit code page " + std::to_string(m_codePage));
        return Bytes(narrow.begin(), narrow.end());
    }

    static void putFixed(std::uint8_t *p, std::uint8_t code, const Value &v)
    {
        auto asDouble = [&]() -> double {
            if (const auto *i = std::get_if<std::int64_t>(&v))
                return double(*i);
            return std::get<double>(v);
        };
        switch (code) {
        case cByte: p[0] = std::uint8_t(std::get<std::int64_t>(v)); break;
        case cInt: pages::put16(p, std::uint32_t(std::get<std::int64_t>(v))); break;
        case cLong: pages::put32(p, std::uint32_t(std::get<std::int64_t>(v))); break;
        case cMoney: {
            std::int64_t scaled = 0;
            if (const auto *c = std::get_if<Currency>(&v))
                scaled = c->scaled;
            else
                scaled = std::get<std::int64_t>(v) * 10000;
            for (int k = 0; k < 8; ++k)
                p[k] = std::uint8_t(std::uint64_t(scaled) >> (8 * k));
            break;
        }
        case cFloat: {
            const float f = float(asDouble());
            std::memcpy(p, &f, 4);
            break;
        }
        case cDouble: {
            const double d = asDouble();
            std::memcpy(p, &d, 8);
            break;
        }
        case cDate: {
            const double d = std::get<Date>(v).days;
            std::memcpy(p, &d, 8);
            break;
        }
        default: throw Error("internal error: unsupported fixed column");
        }
    }

    // A long value: a 12-byte header in the row, the data inline or in LVAL rows.
    void appendLongValue(Bytes &out, std::size_t col, const std::string &utf8)
    {
        const std::u16string wide = text::toUtf16(utf8);
        Bytes data;
        if (m_g.format == Format::Jet4) {
            data = text::jet4Bytes(wide, wide.size() <= 1024);
        } else {
            std::string narrow;
            if (!text::narrowBytes(wide, m_codePage, narrow))
                throw Error("text does not fit code page " + std::to_string(m_codePage));
            data.assign(narrow.begin(), narrow.end());
        }
        const std::uint32_t length = std::uint32_t(data.size());
        std::uint8_t header[12] = {};
        if (length <= 64) {
            pages::put32(header, length | 0x80000000u);
            out.insert(out.end(), header, header + 12);
            appendBytes(out, data);
            return;
        }
        pages::RowSink &sink = *m_lvals[col];
        if (length <= std::uint32_t(m_g.singleLval)) {
            pages::put32(header, length | 0x40000000u);
            pages::put32(header + 4, sink.add(data));
            out.insert(out.end(), header, header + 12);
            return;
        }
        // A chain, written from its last chunk so each next pointer is known.
        const std::size_t chunk = std::size_t(m_g.lvalChunk);
        const std::size_t chunks = (data.size() + chunk - 1) / chunk;
        std::uint32_t next = 0;
        Bytes piece;
        for (std::size_t k = chunks; k-- > 0;) {
            const std::size_t from = k * chunk;
            const std::size_t len = std::min(chunk, data.size() - from);
            piece.resize(4 + len);
            pages::put32(piece.data(), next);
            std::memcpy(piece.data() + 4, data.data() + from, len);
            next = sink.add(piece);
        }
        pages::put32(header, length);
        pages::put32(header + 4, next);
        out.insert(out.end(), header, header + 12);
    }

    // Jet 3 keeps var offsets in single bytes: the low bytes run downwards
    // after the data, EOD first, and a jump table (one entry per 256-byte
    // block, naming the first offset that lies past the block) supplies the
    // high bytes. Readers size that table from the row length, so the last
    // entry may be a dummy.
    static void appendJet3VarTable(Bytes &out, const std::vector<int> &varStart, int eod, std::size_t maskSize)
    {
        const int nvar = int(varStart.size());
        std::vector<int> offsets(varStart.begin(), varStart.end());
        offsets.push_back(eod);
        const int fixedTail = (nvar + 1) + 1 + int(maskSize);
        int jumps = 0;
        for (;;) {
            const int length = eod + fixedTail + jumps;
            const int need = (length - 1) / 256;
            if (need == jumps)
                break;
            jumps = need;
        }
        // The reader ignores the last entry when EOD lies before its block.
        const int used = (eod / 256 < jumps) ? jumps - 1 : jumps;
        std::vector<std::uint8_t> table(std::size_t(jumps), 0xFF);
        for (int j = 0; j < used; ++j) {
            int first = nvar + 1;
            for (int i = 0; i <= nvar; ++i)
                if (offsets[std::size_t(i)] >= (j + 1) * 256) {
                    first = i;
                    break;
                }
            table[std::size_t(j)] = std::uint8_t(first);
        }
        for (int i = nvar; i >= 0; --i)
            out.push_back(std::uint8_t(offsets[std::size_t(i)] & 0xFF));
        for (int j = jumps - 1; j >= 0; --j)
            out.push_back(table[std::size_t(j)]);
        out.push_back(std::uint8_t(nvar));
    }

    const Geometry &m_g;
    const TableImage &m_t;
    int m_codePage;
    pages::PageFile &m_file;
    std::vector<std::unique_ptr<pages::RowSink>> m_lvals;
};

// Map rows live on their own data pages (owner 0).
class MapRows {
public:
    MapRows(const Geometry &g, pages::PageFile &file) : m_sink(g, file, 0) {}
    std::uint32_t add(const Bytes &row) { return m_sink.add(row); }
    void flush() { m_sink.flush(); }

private:
    pages::RowSink m_sink;
};

struct TableMaps {
    std::uint32_t owned = 0, free = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> longColumns;  // owned, free
};

Bytes nameBytes(const Geometry &g, const std::string &name, int codePage)
{
    Bytes out;
    const std::u16string wide = text::toUtf16(name);
    if (g.format == Format::Jet4) {
        pages::append16(out, std::uint32_t(wide.size() * 2));
        for (char16_t c : wide)
            pages::append16(out, c);
    } else {
        std::string narrow;
        if (!text::narrowBytes(wide, codePage, narrow))
            throw Error("name \"" + name + "\" does not fit code page " + std::to_string(codePage));
        out.push_back(std::uint8_t(narrow.size()));
        out.insert(out.end(), narrow.begin(), narrow.end());
    }
    return out;
}

// The table definition, split over as many TDEF pages as it needs.
void writeTdef(const Geometry &g, pages::PageFile &file, const TableImage &t, const TableMaps &maps, int codePage)
{
    const bool jet4 = g.format == Format::Jet4;
    const std::size_t n = t.cols.size();
    Bytes d(jet4 ? 63 : 43, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    const std::uint32_t rows = std::uint32_t(t.rows->size());
    if (jet4) {
        pages::put32(&d[12], 0x659);
        pages::put32(&d[16], rows);
        pages::put32(&d[20], std::uint32_t(t.lastAutoNumber));
        d[24] = 0x01;
        d[40] = t.system ? 0x53 : 0x4E;
        pages::put16(&d[41], std::uint32_t(n));
        pages::put16(&d[43], std::uint32_t(t.varCount));
        pages::put16(&d[45], std::uint32_t(n));
        pages::put32(&d[55], maps.owned);
        pages::put32(&d[59], maps.free);
    } else {
        d[2] = 'V';
        d[3] = 'C';
        pages::put32(&d[12], rows);
        pages::put32(&d[16], std::uint32_t(t.lastAutoNumber));
        d[20] = t.system ? 0x53 : 0x4E;
        pages::put16(&d[21], std::uint32_t(n));
        pages::put16(&d[23], std::uint32_t(t.varCount));
        pages::put16(&d[25], std::uint32_t(n));
        pages::put32(&d[35], maps.owned);
        pages::put32(&d[39], maps.free);
    }
    for (const ColDesc &c : t.cols) {
        const bool textual = c.code == cText || c.code == cMemo;
        std::uint8_t flags = c.fixed ? 0x03 : 0x02;
        if (c.autoNumber)
            flags |= 0x04;
        if (c.systemColumn)
            flags |= 0x10;
        if (jet4) {
            std::uint8_t e[25] = {};
            e[0] = c.code;
            pages::put32(e + 1, 0x659);
            pages::put16(e + 5, std::uint32_t(c.colNum));
            pages::put16(e + 7, std::uint32_t(c.varSlot));
            pages::put16(e + 9, std::uint32_t(c.colNum));
            if (textual)
                pages::put16(e + 11, 0x0409);
            e[15] = flags;
            e[16] = textual ? 0x01 : 0x00;
            pages::put16(e + 21, std::uint32_t(c.fixed ? c.fixedOffset : 0));
            pages::put16(e + 23, std::uint32_t(c.size));
            d.insert(d.end(), e, e + 25);
        } else {
            std::uint8_t e[18] = {};
            e[0] = c.code;
            pages::put16(e + 1, std::uint32_t(c.colNum));
            pages::put16(e + 3, std::uint32_t(c.varSlot));
            pages::put16(e + 5, std::uint32_t(c.colNum));
            if (textual) {
                pages::put16(e + 9, 0x0409);
                pages::put16(e + 11, std::uint32_t(codePage));
            }
            e[13] = flags;
            pages::put16(e + 14, std::uint32_t(c.fixed ? c.fixedOffset : 0));
            pages::put16(e + 16, std::uint32_t(c.size));
            d.insert(d.end(), e, e + 18);
        }
    }
    for (const ColDesc &c : t.cols) {
        const Bytes b = nameBytes(g, c.name, codePage);
        d.insert(d.end(), b.begin(), b.end());
    }
    if (jet4) {
        std::size_t k = 0;
        for (const ColDesc &c : t.cols) {
            if (!c.isLong())
                continue;
            pages::append16(d, std::uint32_t(c.colNum));
            pages::append32(d, maps.longColumns[k].first);
            pages::append32(d, maps.longColumns[k].second);
            ++k;
        }
    }
    d.push_back(0xFF);
    d.push_back(0xFF);
    pages::put32(&d[8], std::uint32_t(d.size()));

    // Split: the first page holds bytes 0..pageSize-1, each continuation page
    // an 8-byte header and the next pageSize-8 bytes.
    const std::size_t ps = std::size_t(g.pageSize);
    std::vector<Bytes> chunks;
    chunks.emplace_back(d.begin(), d.begin() + std::ptrdiff_t(std::min(ps, d.size())));
    for (std::size_t at = ps; at < d.size(); at += ps - 8) {
        Bytes c(8, 0);
        c[0] = 0x02;
        c[1] = 0x01;
        if (!jet4) {
            c[2] = 'V';
            c[3] = 'C';
        }
        const std::size_t end = std::min(d.size(), at + ps - 8);
        c.insert(c.end(), d.begin() + std::ptrdiff_t(at), d.begin() + std::ptrdiff_t(end));
        chunks.push_back(std::move(c));
    }
    std::vector<std::uint32_t> pageNos{t.tdefPage};
    for (std::size_t i = 1; i < chunks.size(); ++i)
        pageNos.push_back(file.allocate());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        Bytes &c = chunks[i];
        const std::size_t used = c.size();
        c.resize(ps, 0);
        if (jet4)
            pages::put16(&c[2], std::uint32_t(ps - std::min(ps, used)));
        pages::put32(&c[4], i + 1 < chunks.size() ? pageNos[i + 1] : 0);
        file.write(pageNos[i], c);
    }
}

// RC4, for the header's obfuscated block.
void rc4(const std::uint8_t *key, std::size_t keyLength, std::uint8_t *data, std::size_t length)
{
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = std::uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[std::size_t(i) % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < length; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

Bytes headerPage(const Geometry &g, int codePage)
{
    const bool jet4 = g.format == Format::Jet4;
    Bytes p(std::size_t(g.pageSize), 0);
    p[1] = 0x01;
    std::memcpy(&p[4], "Standard Jet DB", 16);
    p[0x14] = jet4 ? 1 : 0;
    static const std::uint8_t access[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(&p[0x18], access, jet4 ? 24 : 0);
    pages::put16(&p[0x3C], std::uint32_t(codePage));
    // Database key 0 at 0x3E: pages are not encrypted. Empty password, creation date 0.
    if (jet4)
        pages::put16(&p[0x6E], 0x0409);
    else
        pages::put16(&p[0x3A], 0x0409);
    static const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, &p[0x18], jet4 ? 128 : 126);
    return p;
}

// Page 1: which pages exist (0) and which lie past the end of the file (1).
Bytes globalMapPage(const Geometry &g, std::uint32_t pageCount)
{
    pages::DataPage page(g, 1, 1);
    Bytes row(std::size_t(g.mapRowSize()), 0);
    for (std::uint32_t i = 0; i < std::uint32_t(g.mapBitmapBytes) * 8; ++i)
        if (i >= pageCount)
            row[5 + i / 8] |= std::uint8_t(1u << (i % 8));
    page.add(row.data(), row.size());
    const Bytes empty(std::size_t(g.mapRowSize()), 0);
    page.add(empty.data(), empty.size());
    return page.bytes();
}

TableImage catalogImage()
{
    struct Spec { const char *name; std::uint8_t code; int size; };
    static const Spec specs[] = {
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
    for (const Spec &s : specs) {
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

} // namespace

void Database::write(const std::string &path) const
{
    const Geometry g = Geometry::of(m_format);
    const bool jet4 = m_format == Format::Jet4;

    std::string dir = ".";
    if (const auto slash = path.rfind('/'); slash != std::string::npos)
        dir = slash == 0 ? "/" : path.substr(0, slash);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw Error("cannot create a file in " + dir + ": " + std::strerror(errno));
    ::close(fd);

    try {
        pages::PageFile file(temp, g.pageSize);
        for (int i = 0; i < 3; ++i)
            file.allocate();  // header, global map, catalog TDEF

        std::vector<TableImage> images;
        images.push_back(catalogImage());
        for (const auto &t : m_tables) {
            images.push_back(imageOf(*t, m_format));
            images.back().tdefPage = file.allocate();
        }
        // Text sizes in the catalog follow the format's character width.
        for (ColDesc &c : images[0].cols)
            if (c.code == cText)
                c.size = jet4 ? 510 : 255;
        for (TableImage &img : images) {
            img.fixedLength = layOut(img.cols);
            img.varCount = 0;
            for (const ColDesc &c : img.cols)
                img.varCount += c.fixed ? 0 : 1;
        }

        // Catalog rows: the three containers, the catalog itself, the user tables.
        const Date created = Date::fromCivil(2020, 1, 1);
        std::vector<Row> catalogRows;
        auto catalogRow = [&](std::int64_t id, std::int64_t parent, const std::string &name, int type, std::int64_t flags) {
            Row r(images[0].cols.size(), Null{});
            r[0] = id;
            r[1] = parent;
            r[2] = name;
            r[3] = std::int64_t(type);
            r[4] = created;
            r[5] = created;
            r[7] = flags;
            catalogRows.push_back(std::move(r));
        };
        const std::int64_t system = std::int32_t(0x80000000u);
        catalogRow(0x0F000001, 0x0F000000, "Tables", 3, system);
        catalogRow(0x0F000002, 0x0F000000, "Databases", 3, system);
        catalogRow(0x0F000003, 0x0F000000, "Relationships", 3, system);
        catalogRow(2, 0x0F000001, "MSysObjects", 1, system);
        for (std::size_t i = 1; i < images.size(); ++i)
            catalogRow(images[i].tdefPage, 0x0F000001, images[i].name, 1, 0);
        images[0].rows = &catalogRows;

        // Rows, table by table.
        std::vector<std::vector<std::uint32_t>> dataPages(images.size());
        std::vector<std::vector<std::vector<std::uint32_t>>> lvalPages(images.size());
        for (std::size_t ti = 0; ti < images.size(); ++ti) {
            const TableImage &img = images[ti];
            RowEncoder encoder(g, img, m_codePage, file);
            pages::RowSink sink(g, file, img.tdefPage);
            for (const Row &r : *img.rows)
                sink.add(encoder.encode(r));
            sink.flush();
            encoder.flush();
            dataPages[ti] = sink.pages();
            for (std::size_t c = 0; c < img.cols.size(); ++c)
                if (img.cols[c].isLong())
                    lvalPages[ti].push_back(encoder.lvalPages(c));
        }

        // Usage maps, then the definitions that point at them.
        MapRows maps(g, file);
        std::vector<TableMaps> tableMaps(images.size());
        const std::vector<std::uint32_t> none;
        for (std::size_t ti = 0; ti < images.size(); ++ti) {
            TableMaps &m = tableMaps[ti];
            m.owned = maps.add(pages::usageMap(g, file, dataPages[ti]));
            m.free = maps.add(pages::usageMap(g, file, none));
            for (const auto &lv : lvalPages[ti]) {
                const std::uint32_t owned = maps.add(pages::usageMap(g, file, lv));
                m.longColumns.emplace_back(owned, maps.add(pages::usageMap(g, file, none)));
            }
        }
        maps.flush();
        for (std::size_t ti = 0; ti < images.size(); ++ti)
            writeTdef(g, file, images[ti], tableMaps[ti], m_codePage);

        file.write(1, globalMapPage(g, file.pageCount()));
        file.write(0, headerPage(g, m_codePage));
        file.close();

        // mkstemp made the file private; give it the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
        if (std::rename(temp.c_str(), path.c_str()) != 0)
            throw Error("cannot write " + path + ": " + std::strerror(errno));
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

} // namespace jetdb
