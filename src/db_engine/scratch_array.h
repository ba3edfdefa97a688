// ScratchArray: a short-lived array of plain values, one per row, for the
// passes of a sort. A first sort on a large data set needs several
// megabytes of such arrays, and on some machines (virtual ones above all)
// the first touch of each fresh 4 KiB page costs more than the sort's work
// on it. Large arrays are therefore placed where the system can back them
// with huge pages, which it clears in one step each; small ones come from
// the heap. The values start undefined.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace db {

namespace detail {
void *allocateScratch(std::size_t bytes, std::size_t *mapped);   // throws std::bad_alloc
void freeScratch(void *memory, std::size_t mapped);
} // namespace detail

template <typename T> class ScratchArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ScratchArray() = default;
    explicit ScratchArray(std::size_t size) : m_size(size)
    {
        m_data = static_cast<T *>(detail::allocateScratch(size * sizeof(T), &m_mapped));
    }
    ~ScratchArray() { detail::freeScratch(m_data, m_mapped); }
    ScratchArray(ScratchArray &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_mapped(std::exchange(other.m_mapped, 0))
    {
    }
    ScratchArray &operator=(ScratchArray &&other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_mapped, other.m_mapped);
        return *this;
    }
    ScratchArray(const ScratchArray &) = delete;
    ScratchArray &operator=(const ScratchArray &) = delete;

    T *data() { return m_data; }
    const T *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    T &operator[](std::size_t i) { return m_data[i]; }
    const T &operator[](std::size_t i) const { return m_data[i]; }
    T *begin() { return m_data; }
    T *end() { return m_data + m_size; }

private:
    T *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;   // bytes mapped for it; 0 when from the heap
};

} // namespace db
