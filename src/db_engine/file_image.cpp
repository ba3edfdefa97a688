#include "file_image.h"

#include "jet_format.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace db {
namespace {

// What a data page's head holds at byte 4 when it is no table's: long-value
// pages say "LVAL" (kept together too, for good), usage-map pages 0 (in the
// view).
using jet::kLongValueOwner;
// A damaged file may name any number of owners; past this many, pages stay
// in the view, where they are only handed back with the whole image.
constexpr std::size_t kMaxGroups = 64;
// Kept-apart pages come in chunks that double from the first size up to the
// last, so that a small table wastes little and a large one takes few calls.
constexpr qsizetype kFirstChunkPages = 16;
constexpr qsizetype kLastChunkPages = 1024;
// The header bytes that tell the page size.
constexpr qsizetype kHeadBytes = jet::kVersionOffset + 1;

// Anonymous memory reads as zeros and takes no room until it is written.
// Memory about to be filled whole is better taken at once (`populate`) than
// a page at a time as it is first written.
char *mapMemory(qsizetype bytes, bool populate = false)
{
    void *memory = mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : MAP_NORESERVE), -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char *>(memory);
}

} // namespace

FileImage::FileImage(qsizetype capacity)
    : m_capacity(capacity)
    , m_viewBytes(qMax<qsizetype>(capacity, 1))
{
    m_view = mapMemory(m_viewBytes);
}

FileImage::~FileImage()
{
    for (const Group &g : m_groups)
        for (const Chunk &c : g.chunks)
            munmap(c.memory, std::size_t(c.pages * m_pageSize));
    munmap(m_view, std::size_t(m_viewBytes));
}

// Page 0 names the format (jet_format.h): its signature, then the version.
void FileImage::decidePageSize()
{
    if (m_size < kHeadBytes)
        return;
    const jet::Format *format = std::memcmp(m_view, jet::kSignature, jet::kSignatureSize) == 0
        ? jet::formatOfVersion(static_cast<unsigned char>(m_view[jet::kVersionOffset]))
        : nullptr;
    m_pageSize = format ? format->pageSize : 0;
    if (m_pageSize > 0) {
        m_pages = std::size_t(m_capacity / m_pageSize);
        m_where = std::make_unique<std::atomic<unsigned char *>[]>(m_pages);
        for (std::size_t n = 0; n < m_pages; ++n)
            m_where[n].store(reinterpret_cast<unsigned char *>(m_view) + qsizetype(n) * m_pageSize, std::memory_order_relaxed);
    }
}

void FileImage::append(const char *bytes, qsizetype size)
{
    size = qMin(size, m_capacity - m_size);
    while (size > 0) {
        const qsizetype offset = m_pageSize > 0 ? m_size % m_pageSize : 0;
        if (m_pageSize <= 0 || offset != 0 || size < m_pageSize) {
            // Part of a page (or not a Jet file): at its place in the view;
            // a page completed there is sorted like any other.
            const qsizetype piece = m_pageSize > 0 ? qMin(size, m_pageSize - offset)
                : m_pageSize < 0                   ? qMin(size, qMax<qsizetype>(kHeadBytes - m_size, 1))
                                                   : size;
            std::memcpy(m_view + m_size, bytes, std::size_t(piece));
            m_size += piece;
            bytes += piece;
            size -= piece;
            if (m_pageSize < 0)
                decidePageSize();
            else if (m_pageSize > 0 && m_size % m_pageSize == 0)
                place(quint32(m_size / m_pageSize - 1), reinterpret_cast<const unsigned char *>(m_view) + m_size - m_pageSize);
            continue;
        }
        place(quint32(m_size / m_pageSize), reinterpret_cast<const unsigned char *>(bytes));
        m_size += m_pageSize;
        bytes += m_pageSize;
        size -= m_pageSize;
    }
    // Read whole: the room the groups' last chunks kept for more goes back.
    if (m_size == m_capacity) {
        const auto memoryPage = quintptr(sysconf(_SC_PAGESIZE));
        const auto roundUp = [memoryPage](quintptr at) { return (at + memoryPage - 1) / memoryPage * memoryPage; };
        for (const Group &group : m_groups) {
            const Chunk &last = group.chunks.back();
            const quintptr from = roundUp(quintptr(last.memory + last.used * m_pageSize));
            const quintptr end = roundUp(quintptr(last.memory + last.pages * m_pageSize));
            if (end > from)
                madvise(reinterpret_cast<void *>(from), std::size_t(end - from), MADV_DONTNEED);
        }
    }
}

// A data page (type 1) owned by a table goes to its owner's group; any other
// page to the view.
void FileImage::place(quint32 number, const unsigned char *bytes)
{
    unsigned char *inView = reinterpret_cast<unsigned char *>(m_view) + qsizetype(number) * m_pageSize;
    const quint32 owner = qFromLittleEndian<quint32>(bytes + jet::kPageOwnerOffset);
    Group *group = number > 0 && bytes[0] == 0x01 && owner != 0 ? groupOf(owner) : nullptr;
    if (!group) {
        if (bytes != inView)
            std::memcpy(inView, bytes, std::size_t(m_pageSize));
        return;
    }
    if (group->chunks.empty() || group->chunks.back().used == group->chunks.back().pages) {
        const qsizetype pages = group->chunks.empty() ? kFirstChunkPages
                                                      : qMin(group->chunks.back().pages * 2, kLastChunkPages);
        group->chunks.push_back({reinterpret_cast<unsigned char *>(mapMemory(pages * m_pageSize, true)), pages, 0});
    }
    Chunk &chunk = group->chunks.back();
    unsigned char *to = chunk.memory + chunk.used++ * m_pageSize;
    std::memcpy(to, bytes, std::size_t(m_pageSize));
    group->numbers.push_back(number);
    m_where[number].store(to, std::memory_order_relaxed);
}

FileImage::Group *FileImage::groupOf(quint32 owner)
{
    // Pages of one table tend to come in runs: the last group first.
    if (m_lastGroup < m_groups.size() && m_groups[m_lastGroup].owner == owner)
        return &m_groups[m_lastGroup];
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (m_groups[g].owner == owner) {
            m_lastGroup = g;
            return &m_groups[g];
        }
    }
    if (m_groups.size() == kMaxGroups)
        return nullptr;
    m_groups.push_back({owner, {}, {}});
    m_lastGroup = m_groups.size() - 1;
    return &m_groups.back();
}

void FileImage::placeInView(quint32 number)
{
    if (m_pageSize <= 0 || number >= m_pages)
        return;
    unsigned char *inView = reinterpret_cast<unsigned char *>(m_view) + qsizetype(number) * m_pageSize;
    const unsigned char *kept = m_where[number].load(std::memory_order_acquire);
    if (kept != inView) {
        std::memcpy(inView, kept, std::size_t(m_pageSize));
        m_where[number].store(inView, std::memory_order_release);
    }
}

void FileImage::releaseOwned(quint32 owner, const std::function<bool(quint32)> &keep, quint32 before)
{
    const auto group = std::find_if(m_groups.begin(), m_groups.end(), [owner](const Group &g) { return g.owner == owner; });
    if (group == m_groups.end())
        return;
    std::size_t first = 0;   // the chunk's first page among `numbers`
    for (std::size_t c = 0; c < group->released; ++c)
        first += std::size_t(group->chunks[c].used);
    for (; group->released < group->chunks.size(); ++group->released) {
        const Chunk &chunk = group->chunks[group->released];
        const std::size_t end = first + std::size_t(chunk.used);
        if (chunk.used > 0 && group->numbers[end - 1] >= before)
            return;
        for (std::size_t k = first; k < end; ++k)
            if (keep(group->numbers[k]))
                placeInView(group->numbers[k]);
        madvise(chunk.memory, std::size_t(chunk.pages * m_pageSize), MADV_DONTNEED);
        first = end;
    }
}

} // namespace db
