// The order in which the database sorts text: case-insensitive, Latin before
// Cyrillic, alphabetical within each script (Access's "General" order), with
// hyphens and apostrophes set aside as Jet 4 does: "co-op" sorts as "coop",
// and of two texts equal without them the one with fewer comes first.
// Used by the queries' ORDER BY (as an SQLite collation) and by DataSet sorts.
#pragma once

#include <QCollator>
#include <QStringView>

namespace db {

const QCollator &textCollator();

// The quick order's characters, whose collation order, letter case aside,
// is their code order after folding capitals: space < '-' < '.' < '/' <
// digits < Latin letters < Cyrillic letters а..я. Codes, names and sizes
// are mostly made of these, and comparing them directly spares the
// collator. Left to the collator: ё (U+0451), which the root order files
// with е, an accent apart, and everything else.
// Their rank from 1 up in that order, equal for a capital and its small
// letter; -1 for every other character.
namespace detail {
struct QuickRanks {
    signed char ascii[128];
};
constexpr QuickRanks quickRanks()
{
    QuickRanks r{};
    for (signed char &rank : r.ascii)
        rank = -1;
    signed char next = 1;
    for (const char c : {' ', '-', '.', '/'})
        r.ascii[int(c)] = next++;
    for (char c = '0'; c <= '9'; ++c)
        r.ascii[int(c)] = next++;
    for (char c = 'a'; c <= 'z'; ++c)
        r.ascii[int(c)] = r.ascii[int(c - 'a' + 'A')] = next++;
    return r;
}
inline constexpr QuickRanks kQuickRanks = quickRanks();
inline constexpr int kFirstCyrillicRank = 41;
} // namespace detail

inline int quickRank(char16_t c)
{
    if (c < 128)
        return detail::kQuickRanks.ascii[c];
    if (c >= 0x0410 && c <= 0x044F)   // А..Я, а..я
        return detail::kFirstCyrillicRank + ((c - 0x0410) & 31);
    return -1;
}
constexpr int kHighestQuickRank = detail::kFirstCyrillicRank + 31;

// The collator's order, quicker for plain ASCII and Cyrillic.
int compareText(QStringView a, QStringView b);

// The database's order: compareText on the texts without hyphens and
// apostrophes, then fewer of those first, then compareText on the whole texts.
int compareDatabaseText(QStringView a, QStringView b);

} // namespace db
