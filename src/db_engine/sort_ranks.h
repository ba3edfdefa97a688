// Sort ranks: a column's values ranked once as the database orders them,
// so that every later sort compares small numbers only. Texts are ranked
// in the database's text order (text_order.h), most of them by a packed
// prefix and a radix sort.
#pragma once

#include <cstdint>
#include <vector>

namespace db {

class ResultTable;

struct SortRanks {
    std::vector<std::uint32_t> rank;   // per table row; 0 for NULL
    std::uint32_t top = 0;             // the highest rank
};

// The rows of a result column ranked as the database orders its values:
// NULL first (rank 0), equal values sharing a rank, text in the database's
// order, booleans True before False as Access's -1/0, dates by time, a
// damaged number (NaN) last. Reads the table only, so
// it may run on another thread while the table lives.
SortRanks rankColumn(const ResultTable &table, int column);

// Orders `order` (table rows) by the keys' ranks, the first key first;
// stable, so rows equal on every key keep their order.
struct RankKey {
    const SortRanks *ranks;
    bool descending;
};
void orderByRanks(const std::vector<RankKey> &keys, std::vector<int> &order);

} // namespace db
