#include "file_image.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace db {
namespace {

qsizetype memoryPage()
{
    static const qsizetype size = qsizetype(sysconf(_SC_PAGESIZE));
    return size > 0 ? size : 4096;
}

} // namespace

FileImage::FileImage(qsizetype size)
    : m_size(size)
{
    const qsizetype page = memoryPage();
    const qsizetype rounded = (qMax<qsizetype>(size, 1) + page - 1) / page * page;
    m_data = static_cast<char *>(std::aligned_alloc(std::size_t(page), std::size_t(rounded)));
    if (!m_data)
        throw std::bad_alloc();
}

FileImage::~FileImage()
{
    std::free(m_data);
}

void FileImage::release(qsizetype offset, qsizetype length)
{
    const qsizetype page = memoryPage();
    const qsizetype begin = (offset + page - 1) / page * page;
    const qsizetype end = qMin(offset + length, m_size) / page * page;
    if (end > begin)
        madvise(m_data + begin, std::size_t(end - begin), MADV_DONTNEED);
}

} // namespace db
