// Sort ranks: a column's values ranked once as the database orders them,
// so that every later sort compares small numbers only.
#pragma once

#include <cstdint>
#include <vector>

namespace db {

struct SortRanks {
    std::vector<std::uint32_t> rank;   // per table row; 0 for NULL
    std::uint32_t top = 0;             // the highest rank
};

} // namespace db
