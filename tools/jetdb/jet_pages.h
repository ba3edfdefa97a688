// Page-level building blocks of a Jet file: the page file itself, data pages
// filled with rows, and usage maps.
#pragma once

#include "jet_format.h"
#include "jetdb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jetdb::pages {

using Bytes = std::vector<std::uint8_t>;

// What differs between Jet 3 and Jet 4 at the page level, from the
// format's description (jet_format.h).
struct Geometry {
    Format format;
    const db::jet::Format *layout;
    int pageSize;
    int dataHeader;       // bytes before a data page's row offsets
    int rowCountOffset;   // where a data page keeps its row count
    int mapBitmapBytes;   // bitmap of an inline (type 0) usage map
    int mapPointers;      // 05 pages a type 1 usage map can name
    int maxRow;           // longest row written to a data page
    int singleLval;       // longest long value kept in one LVAL row
    int lvalChunk;        // longest chunk of a chained long value

    static Geometry of(Format format);
    int mapRowSize() const { return 5 + mapBitmapBytes; }
    int bitsPerMapPage() const { return (pageSize - 4) * 8; }
};

inline void put16(std::uint8_t *p, std::uint32_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
inline void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
inline void append16(Bytes &b, std::uint32_t v) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); }
inline void append32(Bytes &b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

inline std::uint32_t pgRow(std::uint32_t page, int row) { return (page << 8) | std::uint32_t(row); }

// The output file: pages are numbered as they are allocated and may be
// written in any order.
class PageFile {
public:
    PageFile(const std::string &path, int pageSize);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    std::uint32_t allocate();
    std::uint32_t pageCount() const { return m_next; }
    void write(std::uint32_t page, const Bytes &data);
    void close();  // throws on any I/O failure

private:
    int m_fd = -1;
    int m_pageSize;
    std::uint32_t m_next = 0;
    std::string m_path;
};

// A data page being filled: rows are packed from the end of the page down.
class DataPage {
public:
    DataPage(const Geometry &g, std::uint32_t page, std::uint32_t owner);
    bool fits(std::size_t length) const;
    // Returns the row index. A deleted row keeps its bytes; its slot is flagged.
    int add(const std::uint8_t *row, std::size_t length, bool deleted = false);
    int rows() const { return m_rows; }
    std::uint32_t page() const { return m_page; }
    const Bytes &bytes() const { return m_bytes; }

private:
    const Geometry &m_g;
    std::uint32_t m_page;
    Bytes m_bytes;
    int m_rows = 0;
    int m_top;
};

// Appends rows to a chain of data pages with one owner (a TDEF page, or the
// LVAL mark), writing each page as soon as it is full.
class RowSink {
public:
    RowSink(const Geometry &g, PageFile &file, std::uint32_t owner);
    // Returns the row's pg_row.
    std::uint32_t add(const std::uint8_t *row, std::size_t length, bool deleted = false);
    std::uint32_t add(const Bytes &row) { return add(row.data(), row.size()); }
    void flush();
    const std::vector<std::uint32_t> &pages() const { return m_pages; }

private:
    const Geometry &m_g;
    PageFile &m_file;
    std::uint32_t m_owner;
    std::vector<DataPage> m_current;  // zero or one page
    std::vector<std::uint32_t> m_pages;
};

constexpr std::uint32_t lvalOwner = db::jet::kLongValueOwner;

// Builds a usage-map row naming the given pages: inline (type 0) when they
// fit one bitmap, else a type 1 map whose 05 pages are written at once.
Bytes usageMap(const Geometry &g, PageFile &file, const std::vector<std::uint32_t> &pages);

} // namespace jetdb::pages
