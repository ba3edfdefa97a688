// Scratch memory for the passes of a sort: short-lived arrays of plain
// values, one per row. A first sort on a large data set needs several
// megabytes of them, and on some machines (virtual ones above all) the
// first touch of each fresh 4 KiB page costs more than the sort's work on
// it. While a ScratchArena lives on a thread, the arrays made on that
// thread are cut from one block, placed where the system can back it with
// huge pages, which it clears in one step each; the block goes back when
// the arena ends. Arrays made outside an arena, or beyond its block, come
// from the heap. The values start undefined.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace db {

class ScratchArena {
public:
    // `bytes`: about the most the arrays made within it take at once.
    explicit ScratchArena(std::size_t bytes);
    ~ScratchArena();
    ScratchArena(const ScratchArena &) = delete;
    ScratchArena &operator=(const ScratchArena &) = delete;

    // Room for `bytes` from the innermost arena of this thread, or nullptr.
    static void *take(std::size_t bytes);

private:
    ScratchArena *m_outer;
    char *m_block = nullptr;
    std::size_t m_size = 0;     // usable bytes
    std::size_t m_mapped = 0;   // bytes mapped; 0 when the block is from the heap
    std::size_t m_used = 0;
};

template <typename T> class ScratchArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ScratchArray() = default;
    explicit ScratchArray(std::size_t size) : m_size(size)
    {
        m_data = static_cast<T *>(ScratchArena::take(size * sizeof(T)));
        if (!m_data) {
            m_data = static_cast<T *>(::operator new(size * sizeof(T)));
            m_owned = true;
        }
    }
    ~ScratchArray()
    {
        if (m_owned)
            ::operator delete(m_data);
    }
    ScratchArray(ScratchArray &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_owned(std::exchange(other.m_owned, false))
    {
    }
    ScratchArray &operator=(ScratchArray &&other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_owned, other.m_owned);
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
    bool m_owned = false;   // from the heap, not from an arena
};

} // namespace db
