#include "scratch_array.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace db {
namespace {

thread_local ScratchArena *innermost = nullptr;

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below this a block comes from the heap: a few fresh pages cost less than
// clearing a huge one.
constexpr std::size_t kMapFrom = std::size_t(256) << 10;
constexpr std::size_t kAlign = 64;   // a cache line

} // namespace

ScratchArena::ScratchArena(std::size_t bytes) : m_outer(innermost)
{
    innermost = this;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kMapFrom) {
        // Whole huge pages on a huge page's boundary: the system backs only
        // aligned 2 MiB ranges with one. The slack around them goes back.
        const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void *region = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED)
            return;   // the arrays come from the heap
        const auto start = reinterpret_cast<std::uintptr_t>(region);
        const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
        if (aligned > start)
            munmap(region, aligned - start);
        if (const std::size_t tail = start + length + kHugePage - (aligned + length))
            munmap(reinterpret_cast<void *>(aligned + length), tail);
        madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);   // a hint: plain pages otherwise
        m_block = reinterpret_cast<char *>(aligned);
        m_size = m_mapped = length;
        return;
    }
#endif
    m_block = static_cast<char *>(::operator new(bytes, std::nothrow));
    m_size = m_block ? bytes : 0;
}

ScratchArena::~ScratchArena()
{
    innermost = m_outer;
#if defined(__linux__)
    if (m_mapped) {
        munmap(m_block, m_mapped);
        return;
    }
#endif
    ::operator delete(m_block);
}

void *ScratchArena::take(std::size_t bytes)
{
    ScratchArena *arena = innermost;
    if (!arena)
        return nullptr;
    const std::size_t at = (arena->m_used + kAlign - 1) / kAlign * kAlign;
    if (at > arena->m_size || arena->m_size - at < bytes)
        return nullptr;
    arena->m_used = at + bytes;
    return arena->m_block + at;
}

} // namespace db
