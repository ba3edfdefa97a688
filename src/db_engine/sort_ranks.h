// Sort ranks: a column's values ranked once as the database orders them,
// so that every later sort compares small numbers only. Texts are ranked
// in the database's text order (text_order.h), most of them by a packed
// prefix and a radix sort.
#pragma once

#include <QStringView>

#include <cstdint>
#include <utility>
#include <vector>

namespace db {

struct SortRanks {
    std::vector<std::uint32_t> rank;   // per table row; 0 for NULL
    std::uint32_t top = 0;             // the highest rank
};

// Ranks the texts of the `present` rows (`texts` is indexed by row) in the
// order the queries' ORDER BY gives them, equal texts sharing a rank from 1
// up, into `rank`; returns the highest.
std::uint32_t rankTexts(const std::vector<QStringView> &texts, const std::vector<int> &present,
                        std::vector<std::uint32_t> &rank);

// Ranks (value, row) pairs, equal values sharing a rank from 1 up; returns
// the highest.
std::uint32_t rankNumbers(std::vector<std::pair<double, int>> &values, std::vector<std::uint32_t> &rank);

// Orders `order` (table rows) by the keys' ranks, the first key first;
// stable, so rows equal on every key keep their order.
struct RankKey {
    const SortRanks *ranks;
    bool descending;
};
void orderByRanks(const std::vector<RankKey> &keys, std::vector<int> &order);

} // namespace db
