// FileImage: the bytes of a database file held in memory, aligned to whole
// pages of memory, so that the pages a reader is done with can be handed
// back to the system while the rest stays.
#pragma once

#include <QtGlobal>

namespace db {

class FileImage {
public:
    explicit FileImage(qsizetype size);   // uninitialised; throws std::bad_alloc
    ~FileImage();
    FileImage(const FileImage &) = delete;
    FileImage &operator=(const FileImage &) = delete;

    char *data() { return m_data; }
    const char *data() const { return m_data; }
    qsizetype size() const { return m_size; }
    void truncate(qsizetype size) { m_size = qMin(size, m_size); }

    // Hands back the memory of [offset, offset + length): it reads as zeros
    // afterwards. Only whole memory pages inside the range are handed back.
    void release(qsizetype offset, qsizetype length);

private:
    char *m_data = nullptr;
    qsizetype m_size = 0;
};

} // namespace db
