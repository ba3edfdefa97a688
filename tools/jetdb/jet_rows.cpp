#include "jet_rows.h"

#include "jet_text.h"

#include <algorithm>
#include <cstring>

namespace jetdb {

using namespace layout;

namespace {

void appendBytes(Bytes &out, const Bytes &b) { out.insert(out.end(), b.begin(), b.end()); }

} // namespace

RowEncoder::RowEncoder(const Geometry &g, const TableImage &t, int codePage, const Layout &layout,
                       pages::PageFile &file)
    : m_g(g), m_t(t), m_codePage(codePage), m_compress(layout.compressText),
      m_inlineLimit(layout.longValuesInline ? 1024 : 64)
{
    for (const layout::ColDesc &c : t.cols)
        m_lvals.emplace_back(c.isLong() ? std::make_unique<pages::RowSink>(g, file, pages::lvalOwner) : nullptr);
}

void RowEncoder::flush()
{
    for (auto &s : m_lvals)
        if (s)
            s->flush();
}

const std::vector<std::uint32_t> &RowEncoder::lvalPages(std::size_t col) const
{
    static const std::vector<std::uint32_t> none;
    return m_lvals[col] ? m_lvals[col]->pages() : none;
}

Bytes RowEncoder::encode(const Row &row)
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
        const layout::ColDesc &c = m_t.cols[i];
        const Value &v = row[i];
        if (!c.fixed)
            continue;
        if (c.code == layout::cBool) {
            if (std::get<bool>(v))
                mask[i / 8] |= std::uint8_t(1u << (i % 8));
            continue;
        }
        if (std::holds_alternative<Null>(v))
            continue;
        mask[i / 8] |= std::uint8_t(1u << (i % 8));
        std::uint8_t *p = &out[std::size_t(countSize + c.fixedOffset)];
        putFixed(p, c, v);
    }

    // Variable columns, in slot order.
    for (std::size_t i = 0; i < n; ++i) {
        const layout::ColDesc &c = m_t.cols[i];
        if (c.fixed)
            continue;
        varStart[std::size_t(c.varSlot)] = int(out.size());
        const Value &v = row[i];
        if (std::holds_alternative<Null>(v))
            continue;
        mask[i / 8] |= std::uint8_t(1u << (i % 8));
        if (c.code == layout::cText) {
            appendBytes(out, textBytes(std::get<std::string>(v), m_compress));
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

Bytes RowEncoder::textBytes(const std::string &utf8, bool mayCompress) const
{
    const std::u16string wide = text::toUtf16(utf8);
    if (m_g.format == Format::Jet4)
        return text::jet4Bytes(wide, mayCompress);
    std::string narrow;
    if (!text::narrowBytes(wide, m_codePage, narrow))
        throw Error("text does not fit code page " + std::to_string(m_codePage));
    return Bytes(narrow.begin(), narrow.end());
}

void RowEncoder::putFixed(std::uint8_t *p, const layout::ColDesc &c, const Value &v)
{
    const std::uint8_t code = c.code;
    auto asDouble = [&]() -> double {
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return double(*i);
        return std::get<double>(v);
    };
    switch (code) {
    case layout::cByte: p[0] = std::uint8_t(std::get<std::int64_t>(v)); break;
    case layout::cInt: pages::put16(p, std::uint32_t(std::get<std::int64_t>(v))); break;
    case layout::cLong: pages::put32(p, std::uint32_t(std::get<std::int64_t>(v))); break;
    case layout::cMoney: {
        std::int64_t scaled = 0;
        if (const auto *c = std::get_if<Currency>(&v))
            scaled = c->scaled;
        else
            scaled = std::get<std::int64_t>(v) * 10000;
        for (int k = 0; k < 8; ++k)
            p[k] = std::uint8_t(std::uint64_t(scaled) >> (8 * k));
        break;
    }
    case layout::cFloat: {
        const float f = float(asDouble());
        std::memcpy(p, &f, 4);
        break;
    }
    case layout::cDouble: {
        const double d = asDouble();
        std::memcpy(p, &d, 8);
        break;
    }
    case layout::cDate: {
        const double d = std::get<Date>(v).days;
        std::memcpy(p, &d, 8);
        break;
    }
    case layout::cNumeric: {
        // Sign byte, then the magnitude as four 32-bit words, most significant first.
        bool negative = false;
        DecimalMagnitude magnitude = 0;
        layout::decimalParts(std::get<Decimal>(v).text, c.precision, c.scale, negative, magnitude);
        p[0] = negative ? 0x80 : 0x00;
        for (int w = 0; w < 4; ++w)
            pages::put32(p + 1 + 4 * w, std::uint32_t(magnitude >> (32 * (3 - w))));
        break;
    }
    default: throw Error("internal error: unsupported fixed column");
    }
}

void RowEncoder::appendLongValue(Bytes &out, std::size_t col, const std::string &utf8)
{
    const std::u16string wide = text::toUtf16(utf8);
    Bytes data;
    if (m_g.format == Format::Jet4) {
        data = text::jet4Bytes(wide, m_compress && wide.size() <= 1024);
    } else {
        std::string narrow;
        if (!text::narrowBytes(wide, m_codePage, narrow))
            throw Error("text does not fit code page " + std::to_string(m_codePage));
        data.assign(narrow.begin(), narrow.end());
    }
    const std::uint32_t length = std::uint32_t(data.size());
    std::uint8_t header[12] = {};
    if (length <= m_inlineLimit) {
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

void RowEncoder::appendJet3VarTable(Bytes &out, const std::vector<int> &varStart, int eod, std::size_t maskSize)
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

} // namespace jetdb
