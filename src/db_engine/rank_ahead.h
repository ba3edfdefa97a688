// RankAhead: a data set's sort columns ranked on a thread of idle priority
// once the rows are in, so that the first click on a title finds its ranks
// made, as every later click does. The thread runs only when the processors
// have nothing else to do; a sort that needs a column the thread has not
// made yet ranks it itself and never waits for the thread.
#pragma once

#include "sort_ranks.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {

class RankAhead {
public:
    // Ranks `column`; called on the thread, so it may only read what no one
    // changes while it runs.
    using Rank = std::function<SortRanks(int column)>;

    // Ranks `columns` in their order, after the columns of any RankAhead
    // made before that still runs.
    RankAhead(std::vector<int> columns, Rank rank);
    // Stops after the column under way and waits for that column.
    ~RankAhead();
    RankAhead(const RankAhead &) = delete;
    RankAhead &operator=(const RankAhead &) = delete;

    // Stops after the column under way, without waiting; nothing more is
    // handed over.
    void stop();
    // The column's ranks when the thread has made them, handed over once;
    // otherwise none, and the thread leaves that column alone from now on.
    std::optional<SortRanks> take(int column);
    bool running() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace db
