// FileImage: the bytes of a database file held in memory, taken in as the
// file is read.
//
// The data pages of each table (the owner named in a page's head) are kept
// together, apart from the rest, so that once a table is read its pages go
// back to the system in a few calls however the file interleaves the
// tables' pages: a file grown by many small insertions holds tens of
// thousands of short runs. Long-value pages are kept together as well, for
// as long as the image lives. Every other page (the header, definitions,
// maps) lies at its place in a view of the whole file, which is what libmdb
// reads; the parts of the view where kept-apart pages would lie are never
// written and take no memory.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace db {

class FileImage {
public:
    explicit FileImage(qsizetype capacity);   // the file's size; throws std::bad_alloc
    ~FileImage();
    FileImage(const FileImage &) = delete;
    FileImage &operator=(const FileImage &) = delete;

    // Takes the file's next bytes, up to the capacity. Throws std::bad_alloc.
    void append(const char *bytes, qsizetype size);
    qsizetype size() const { return m_size; }

    // The view of the whole file. Kept-apart pages read as zeros there.
    char *view() { return m_view; }

    // The Jet page size read from the header (2048 or 4096), or 0 when the
    // bytes are no Jet database: then every byte lies in the view.
    int pageSize() const { return qMax(m_pageSize, 0); }
    // Page `number` (below size() / pageSize()), wherever it is kept. Pages
    // may be read by several threads while one of them hands back its own.
    const unsigned char *page(quint32 number) const { return m_where[number].load(std::memory_order_acquire); }

    // Puts a kept-apart page at its place in the view as well (a page that
    // libmdb reads), where it stays when its table's pages are handed back.
    void placeInView(quint32 number);
    // Hands back the memory of the pages kept apart for `owner` (only those
    // in chunks that hold no page numbered `before` or above); they read as
    // zeros afterwards. Those for which `keep` holds are placed in the view
    // first.
    void releaseOwned(quint32 owner, const std::function<bool(quint32)> &keep, quint32 before = UINT32_MAX);

private:
    struct Chunk {
        unsigned char *memory = nullptr;
        qsizetype pages = 0, used = 0;
    };
    struct Group {
        quint32 owner = 0;
        std::vector<Chunk> chunks;
        std::vector<quint32> numbers;   // the pages held, in file order
        std::size_t released = 0;        // chunks handed back, from the first
    };

    void decidePageSize();
    void place(quint32 number, const unsigned char *bytes);
    Group *groupOf(quint32 owner);

    char *m_view = nullptr;
    qsizetype m_capacity = 0;
    qsizetype m_viewBytes = 0;   // mapped for the view
    qsizetype m_size = 0;
    int m_pageSize = -1;   // -1: not known yet
    std::unique_ptr<std::atomic<unsigned char *>[]> m_where;
    std::size_t m_pages = 0;
    std::vector<Group> m_groups;
    std::size_t m_lastGroup = 0;
};

} // namespace db
