#include "scratch_array.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace db::detail {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below this the heap serves: a few fresh pages cost less than clearing a
// huge one.
constexpr std::size_t kMapFrom = std::size_t(256) << 10;

} // namespace

void *allocateScratch(std::size_t bytes, std::size_t *mapped)
{
    *mapped = 0;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kMapFrom) {
        // Whole huge pages on a huge page's boundary: the system backs only
        // aligned 2 MiB ranges with one. The slack around them goes back.
        const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void *region = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(region);
        const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
        if (aligned > start)
            munmap(region, aligned - start);
        if (const std::size_t tail = start + length + kHugePage - (aligned + length))
            munmap(reinterpret_cast<void *>(aligned + length), tail);
        madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);   // a hint: plain pages otherwise
        *mapped = length;
        return reinterpret_cast<void *>(aligned);
    }
#endif
    return ::operator new(bytes == 0 ? 1 : bytes);
}

void freeScratch(void *memory, std::size_t mapped)
{
    if (!memory)
        return;
#if defined(__linux__)
    if (mapped) {
        munmap(memory, mapped);
        return;
    }
#endif
    ::operator delete(memory);
}

} // namespace db::detail
