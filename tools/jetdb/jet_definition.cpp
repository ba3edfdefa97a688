#include "jet_definition.h"

#include "jet_text.h"

#include <algorithm>
#include <cstring>

namespace jetdb {

using namespace layout;
using layout::ColDesc;
using layout::TableImage;
using pages::Bytes;
using pages::Geometry;

namespace {

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

} // namespace

void writeTdef(const Geometry &g, pages::PageFile &file, const TableImage &t, const TableMaps &maps, int codePage)
{
    const bool jet4 = g.format == Format::Jet4;
    const std::size_t n = t.cols.size();
    const db::jet::Format &f = *g.layout;
    Bytes d(std::size_t(f.definitionEntriesStart), 0);
    d[0] = 0x02;
    d[1] = 0x01;
    const std::uint32_t rows = std::uint32_t(t.rows->size());
    if (jet4) {
        pages::put32(&d[12], 0x659);
        pages::put32(&d[f.definitionRowCount], rows);
        pages::put32(&d[20], std::uint32_t(t.lastAutoNumber));
        d[24] = 0x01;
        d[40] = t.system ? 0x53 : 0x4E;
        pages::put16(&d[41], std::uint32_t(n));
        pages::put16(&d[43], std::uint32_t(t.varCount));
        pages::put16(&d[f.definitionColumnCount], std::uint32_t(n));
        pages::put32(&d[f.definitionUsageMap], maps.owned);
        pages::put32(&d[f.definitionFreeMap], maps.free);
    } else {
        d[2] = 'V';
        d[3] = 'C';
        pages::put32(&d[f.definitionRowCount], rows);
        pages::put32(&d[16], std::uint32_t(t.lastAutoNumber));
        d[20] = t.system ? 0x53 : 0x4E;
        pages::put16(&d[21], std::uint32_t(n));
        pages::put16(&d[23], std::uint32_t(t.varCount));
        pages::put16(&d[f.definitionColumnCount], std::uint32_t(n));
        pages::put32(&d[f.definitionUsageMap], maps.owned);
        pages::put32(&d[f.definitionFreeMap], maps.free);
    }
    for (const ColDesc &c : t.cols) {
        const bool textual = c.code == cText || c.code == cMemo;
        std::uint8_t flags = c.fixed ? 0x03 : 0x02;
        if (c.autoNumber)
            flags |= 0x04;
        if (c.systemColumn)
            flags |= 0x10;
        if (jet4) {
            std::uint8_t e[db::jet::kJet4.columnEntrySize] = {};
            e[0] = c.code;
            pages::put32(e + 1, 0x659);
            pages::put16(e + 5, std::uint32_t(c.colNum));
            pages::put16(e + 7, std::uint32_t(c.varSlot));
            pages::put16(e + f.columnRowNumber, std::uint32_t(c.colNum));
            if (textual)
                pages::put16(e + 11, 0x0409);
            if (c.code == cNumeric) {
                e[f.columnPrecision] = std::uint8_t(c.precision);
                e[f.columnScale] = std::uint8_t(c.scale);
            }
            e[15] = flags;
            e[16] = textual ? 0x01 : 0x00;
            pages::put16(e + 21, std::uint32_t(c.fixed ? c.fixedOffset : 0));
            pages::put16(e + 23, std::uint32_t(c.size));
            d.insert(d.end(), std::begin(e), std::end(e));
        } else {
            std::uint8_t e[db::jet::kJet3.columnEntrySize] = {};
            e[0] = c.code;
            pages::put16(e + 1, std::uint32_t(c.colNum));
            pages::put16(e + 3, std::uint32_t(c.varSlot));
            pages::put16(e + f.columnRowNumber, std::uint32_t(c.colNum));
            if (textual) {
                pages::put16(e + 9, 0x0409);
                pages::put16(e + 11, std::uint32_t(codePage));
            }
            e[13] = flags;
            pages::put16(e + 14, std::uint32_t(c.fixed ? c.fixedOffset : 0));
            pages::put16(e + 16, std::uint32_t(c.size));
            d.insert(d.end(), std::begin(e), std::end(e));
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

Bytes headerPage(const Geometry &g, int codePage, const std::string &password, Date created)
{
    const bool jet4 = g.format == Format::Jet4;
    Bytes p(std::size_t(g.pageSize), 0);
    p[1] = 0x01;
    std::memcpy(p.data(), db::jet::kSignature, db::jet::kSignatureSize);
    p[db::jet::kVersionOffset] = jet4 ? 1 : 0;
    static const std::uint8_t access[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(&p[0x18], access, jet4 ? 24 : 0);
    pages::put16(&p[0x3C], std::uint32_t(codePage));
    // Database key 0 at 0x3E: pages are not encrypted.
    const std::u16string wide = text::toUtf16(password);
    if (jet4) {
        pages::put16(&p[0x6E], 0x0409);
        std::uint64_t dateBits = 0;
        std::memcpy(&dateBits, &created.days, 8);
        pages::put32(&p[0x72], std::uint32_t(dateBits));
        pages::put32(&p[0x76], std::uint32_t(dateBits >> 32));
        // The password in UTF-16, 40 bytes, each XORed with the byte of the
        // date's whole days (a little-endian 32-bit number) at its place.
        std::uint8_t mask[4];
        pages::put32(mask, std::uint32_t(std::int32_t(created.days)));
        for (std::size_t i = 0; i < 40; ++i) {
            const char16_t c = i / 2 < wide.size() ? wide[i / 2] : u'\0';
            p[0x42 + i] = std::uint8_t((i % 2 ? c >> 8 : c) ^ mask[i % 4]);
        }
    } else {
        pages::put16(&p[0x3A], 0x0409);
        std::string narrow;
        text::narrowBytes(wide, codePage, narrow);   // checked by setPassword
        std::memcpy(&p[0x42], narrow.data(), std::min<std::size_t>(narrow.size(), 20));
    }
    static const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, &p[0x18], jet4 ? 128 : 126);
    return p;
}

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

} // namespace jetdb
