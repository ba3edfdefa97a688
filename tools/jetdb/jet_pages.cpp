#include "jet_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace jetdb::pages {

Geometry Geometry::of(Format format)
{
    const db::jet::Format &f = format == Format::Jet4 ? db::jet::kJet4 : db::jet::kJet3;
    return Geometry{format, &f, f.pageSize, f.rowSlotsOffset(), f.rowCountOffset, f.mapBitmapBytes,
                    f.mapPointers, f.maxRow, f.singleLongValue, f.longValueChunk};
}

PageFile::PageFile(const std::string &path, int pageSize) : m_pageSize(pageSize), m_path(path)
{
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        throw Error("cannot create " + path + ": " + std::strerror(errno));
}

PageFile::~PageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint32_t PageFile::allocate()
{
    if (m_next >= 0xFFFFFF)
        throw Error("database too large");
    return m_next++;
}

void PageFile::write(std::uint32_t page, const Bytes &data)
{
    if (page >= m_next || data.size() != std::size_t(m_pageSize))
        throw Error("internal error: bad page write");
    const off_t at = off_t(page) * m_pageSize;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(m_fd, data.data() + done, data.size() - done, at + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error("cannot write " + m_path + ": " + std::strerror(errno));
        }
        done += std::size_t(n);
    }
}

void PageFile::close()
{
    // Pages never written (there are none in a finished file) would read as zeros.
    if (::ftruncate(m_fd, off_t(m_next) * m_pageSize) != 0 || ::close(m_fd) != 0) {
        m_fd = -1;
        throw Error("cannot write " + m_path + ": " + std::strerror(errno));
    }
    m_fd = -1;
}

DataPage::DataPage(const Geometry &g, std::uint32_t page, std::uint32_t owner)
    : m_g(g), m_page(page), m_bytes(std::size_t(g.pageSize), 0), m_top(g.pageSize)
{
    m_bytes[0] = 0x01;
    m_bytes[1] = 0x01;
    put32(&m_bytes[4], owner);
    put16(&m_bytes[2], std::uint32_t(g.pageSize - g.dataHeader));
}

bool DataPage::fits(std::size_t length) const
{
    const std::size_t used = std::size_t(m_g.dataHeader + 2 * (m_rows + 1));
    return m_rows < 255 && used + length <= std::size_t(m_top);
}

int DataPage::add(const std::uint8_t *row, std::size_t length, bool deleted)
{
    m_top -= int(length);
    std::memcpy(&m_bytes[std::size_t(m_top)], row, length);
    // Access flags a deleted row's slot 0xC000; 0x8000 alone would read as
    // the new home of a row that moved, which mdbtools lists as live.
    put16(&m_bytes[std::size_t(m_g.dataHeader + 2 * m_rows)], std::uint32_t(m_top) | (deleted ? 0xC000u : 0u));
    ++m_rows;
    put16(&m_bytes[std::size_t(m_g.rowCountOffset)], std::uint32_t(m_rows));
    put16(&m_bytes[2], std::uint32_t(m_top - m_g.dataHeader - 2 * m_rows));
    return m_rows - 1;
}

RowSink::RowSink(const Geometry &g, PageFile &file, std::uint32_t owner) : m_g(g), m_file(file), m_owner(owner) {}

std::uint32_t RowSink::add(const std::uint8_t *row, std::size_t length, bool deleted)
{
    if (!m_current.empty() && !m_current.front().fits(length))
        flush();
    if (m_current.empty()) {
        m_current.emplace_back(m_g, m_file.allocate(), m_owner);
        m_pages.push_back(m_current.front().page());
    }
    DataPage &p = m_current.front();
    if (!p.fits(length))
        throw Error("internal error: row of " + std::to_string(length) + " bytes does not fit a page");
    return pgRow(p.page(), p.add(row, length, deleted));
}

void RowSink::flush()
{
    if (m_current.empty())
        return;
    m_file.write(m_current.front().page(), m_current.front().bytes());
    m_current.clear();
}

Bytes usageMap(const Geometry &g, PageFile &file, const std::vector<std::uint32_t> &pages)
{
    Bytes row(std::size_t(g.mapRowSize()), 0);
    if (pages.empty())
        return row;  // type 0 starting at page 0, no page set
    const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
    const std::uint32_t bits = std::uint32_t(g.mapBitmapBytes) * 8;
    if (*hi - *lo < bits) {
        row[0] = 0;
        put32(&row[1], *lo);
        for (std::uint32_t p : pages) {
            const std::uint32_t i = p - *lo;
            row[5 + i / 8] |= std::uint8_t(1u << (i % 8));
        }
        return row;
    }
    // Type 1: pointer k names a 05 page whose bitmap covers pages
    // k * bitsPerMapPage onwards.
    row[0] = 1;
    const std::uint32_t per = std::uint32_t(g.bitsPerMapPage());
    std::vector<Bytes> bitmaps(std::size_t(g.mapPointers));
    for (std::uint32_t p : pages) {
        const std::uint32_t k = p / per;
        if (k >= std::uint32_t(g.mapPointers))
            throw Error("database too large for its usage maps");
        Bytes &b = bitmaps[k];
        if (b.empty()) {
            b.assign(std::size_t(g.pageSize), 0);
            b[0] = 0x05;
            b[1] = 0x01;
        }
        const std::uint32_t i = p % per;
        b[4 + i / 8] |= std::uint8_t(1u << (i % 8));
    }
    for (std::size_t k = 0; k < bitmaps.size(); ++k) {
        if (bitmaps[k].empty())
            continue;
        const std::uint32_t page = file.allocate();
        file.write(page, bitmaps[k]);
        put32(&row[1 + 4 * k], page);
    }
    return row;
}

} // namespace jetdb::pages
