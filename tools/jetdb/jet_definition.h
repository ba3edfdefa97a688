// The pages that describe a database rather than hold its rows: table
// definitions (TDEF), the header page and the global usage map.
#pragma once

#include "jet_layout.h"
#include "jet_pages.h"

#include <utility>

namespace jetdb {

// Usage-map rows live on their own data pages (owner 0).
class MapRows {
public:
    MapRows(const pages::Geometry &g, pages::PageFile &file) : m_sink(g, file, 0) {}
    std::uint32_t add(const pages::Bytes &row) { return m_sink.add(row); }
    void flush() { m_sink.flush(); }

private:
    pages::RowSink m_sink;
};

struct TableMaps {
    std::uint32_t owned = 0, free = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> longColumns;  // owned, free
};

// Writes the definition, split over as many TDEF pages as it needs.
void writeTdef(const pages::Geometry &g, pages::PageFile &file, const layout::TableImage &t, const TableMaps &maps, int codePage);

// Page 0, with its RC4-obfuscated block: the code page, the password (UTF-8;
// empty for none) and, in Jet 4, the creation date.
pages::Bytes headerPage(const pages::Geometry &g, int codePage, const std::string &password, Date created);

// Page 1: which pages exist (0) and which lie past the end of the file (1).
pages::Bytes globalMapPage(const pages::Geometry &g, std::uint32_t pageCount);

} // namespace jetdb
