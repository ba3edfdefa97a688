// Row encoding: the fixed area, the var data with its offset table, the
// null mask, and long values stored inline or in LVAL rows.
#pragma once

#include "jet_layout.h"
#include "jet_pages.h"

#include <memory>
#include <vector>

namespace jetdb {

using pages::Bytes;
using pages::Geometry;

// Encodes rows and their long values for one table.
class RowEncoder {
public:
    RowEncoder(const Geometry &g, const layout::TableImage &t, int codePage, const Layout &layout,
               pages::PageFile &file);

    void flush();  // writes the partly filled LVAL pages

    // The LVAL pages holding a long column's values.
    const std::vector<std::uint32_t> &lvalPages(std::size_t col) const;

    // The row as stored on a data page; long values go to LVAL pages now.
    Bytes encode(const Row &row);

private:
    Bytes textBytes(const std::string &utf8, bool mayCompress) const;

    static void putFixed(std::uint8_t *p, const layout::ColDesc &c, const Value &v);

    // A long value: a 12-byte header in the row, the data inline or in LVAL rows.
    void appendLongValue(Bytes &out, std::size_t col, const std::string &utf8);

    // Jet 3 keeps var offsets in single bytes: the low bytes run downwards
    // after the data, EOD first, and a jump table (one entry per 256-byte
    // block, naming the first offset that lies past the block) supplies the
    // high bytes. Readers size that table from the row length, so the last
    // entry may be a dummy.
    static void appendJet3VarTable(Bytes &out, const std::vector<int> &varStart, int eod, std::size_t maskSize);

    const Geometry &m_g;
    const layout::TableImage &m_t;
    int m_codePage;
    bool m_compress;
    std::uint32_t m_inlineLimit;   // longest long value kept in its row
    std::vector<std::unique_ptr<pages::RowSink>> m_lvals;
};

} // namespace jetdb
