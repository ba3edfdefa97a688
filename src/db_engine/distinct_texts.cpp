#include "distinct_texts.h"

#include <algorithm>
#include <cstring>

namespace db {

// A quick hash of a text's bytes, eight at a time, mixed once more at the
// end since the table takes its low bits. Qt's qHashBits is SipHash here,
// made to withstand chosen keys, which costs several times as much on the
// short texts of a stock; with no secret key it withstands nothing.
std::size_t textHash(const void *data, std::size_t units)
{
    const auto *p = static_cast<const unsigned char *>(data);
    std::size_t bytes = units * sizeof(char16_t);
    quint64 h = 0x9E3779B97F4A7C15ull ^ bytes;
    for (; bytes >= 8; bytes -= 8, p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    quint64 tail = 0;
    std::memcpy(&tail, p, bytes);
    h = (h ^ tail) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return std::size_t(h ^ (h >> 32));
}

DistinctTexts DistinctTexts::lookingUpAll()
{
    DistinctTexts set;
    set.m_mayStopLooking = false;
    return set;
}

quint32 DistinctTexts::keep(std::vector<char16_t> &chars, const void *data, std::size_t units)
{
    // An empty text takes no room (and may come with no pointer at all).
    if (units == 0)
        return quint32(chars.size());
    constexpr std::size_t kSample = 4096;
    if (m_mayStopLooking && !m_appendOnly && ++m_seen == kSample && m_used * 2 > kSample) {
        m_appendOnly = true;
        m_slots = {};
    }
    if (m_appendOnly) {
        const std::size_t start = chars.size();
        chars.resize(start + units);
        std::memcpy(chars.data() + start, data, units * sizeof(char16_t));
        return quint32(start);
    }
    if ((m_used + 1) * 2 > m_slots.size())
        grow(chars);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = textHash(data, units) & mask;; i = (i + 1) & mask) {
        Entry &slot = m_slots[i];
        if (slot.length == 0) {
            const std::size_t start = chars.size();
            chars.resize(start + units);
            std::memcpy(chars.data() + start, data, units * sizeof(char16_t));
            slot = {quint32(start), quint32(units)};
            ++m_used;
            return quint32(start);
        }
        if (slot.length == units && std::memcmp(chars.data() + slot.start, data, units * sizeof(char16_t)) == 0)
            return slot.start;
    }
}

void DistinctTexts::grow(const std::vector<char16_t> &chars)
{
    std::vector<Entry> old(std::max<std::size_t>(m_slots.size() * 2, 64));
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Entry &e : old) {
        if (e.length == 0)
            continue;
        std::size_t i = textHash(chars.data() + e.start, e.length) & mask;
        while (m_slots[i].length != 0)
            i = (i + 1) & mask;
        m_slots[i] = e;
    }
}

} // namespace db
