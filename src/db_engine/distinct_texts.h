// DistinctTexts: one copy of each distinct text, found by one quick hash.
#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace db {

// A quick hash of a text of `units` UTF-16 units (its bytes may be unaligned).
std::size_t textHash(const void *data, std::size_t units);

// Keeps one copy of each distinct text of a column (names, kinds, places and
// file names repeat from row to row), so a column costs its distinct texts,
// not its rows. Only the look-up table is held here; the texts lie in the
// `chars` passed in, which may be shared by several columns.
class DistinctTexts {
public:
    // Where an equal text already lies in `chars`, else where it is appended.
    // The bytes may be unaligned (a value inside a record). A column whose
    // first few thousand texts are mostly new (codes, names of files) is
    // only appended to from then on: looking each text up would cost far
    // more than the little room it saves.
    quint32 keep(std::vector<char16_t> &chars, const void *data, std::size_t units);

    // A set that looks every text up, however many are new (texts grouped
    // for a sort, where equal texts must be found).
    static DistinctTexts lookingUpAll();

private:
    struct Entry {
        quint32 start = 0, length = 0;   // length 0: a free slot
    };
    void grow(const std::vector<char16_t> &chars);

    std::vector<Entry> m_slots;   // open addressing, a power of two, at most half full
    std::size_t m_used = 0;
    std::size_t m_seen = 0;       // texts kept while looking them up
    bool m_appendOnly = false;
    bool m_mayStopLooking = true;
};

} // namespace db
