#include "rank_ahead.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace db {

struct RankAhead::State {
    std::mutex mutex;
    std::condition_variable ended;       // a column done
    std::vector<int> waiting;            // columns still to rank, in order
    std::map<int, SortRanks> made;       // ranked, not yet taken
    std::set<int> takenOver;             // ranked by a sort meanwhile
    bool stopped = false;
    bool busy = false;                   // ranking a column now
    bool done = false;
};

namespace {

// One thread for every data set, one data set after the other: ranking
// ahead takes one processor at most. Linux runs an idle-priority thread only
// on a processor nothing else wants: the window, the picture decoder and
// other programs come first. Never deleted: a job stopped at the program's
// end may still be queued, and it holds nothing but its own state.
QThreadPool &rankingPool()
{
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setThreadPriority(QThread::IdlePriority);
        return p;
    }();
    return *pool;
}

void rankWaiting(RankAhead::State &state, const RankAhead::Rank &rank)
{
    for (;;) {
        int column;
        {
            const std::lock_guard lock(state.mutex);
            if (state.stopped || state.waiting.empty())
                return;
            column = state.waiting.front();
            state.waiting.erase(state.waiting.begin());
            state.busy = true;
        }
        SortRanks ranks = rank(column);
        const std::lock_guard lock(state.mutex);
        state.busy = false;
        state.ended.notify_all();
        if (!state.stopped && !state.takenOver.count(column))
            state.made.emplace(column, std::move(ranks));
    }
}

} // namespace

RankAhead::RankAhead(std::vector<int> columns, Rank rank)
    : m_state(std::make_shared<State>())
{
    m_state->waiting = std::move(columns);
    // The job holds the state and the ranking (with what it reads) for as
    // long as it runs, whatever becomes of this object meanwhile.
    rankingPool().start([state = m_state, rank = std::move(rank)] {
        rankWaiting(*state, rank);
        const std::lock_guard lock(state->mutex);
        state->done = true;
    });
}

RankAhead::~RankAhead()
{
    stop();
    // A job still queued behind another data set's does nothing once it
    // starts; one at a column is waited for, so that no ranking outlives
    // the data set that asked for it (the program may be ending).
    std::unique_lock lock(m_state->mutex);
    m_state->ended.wait(lock, [this] { return !m_state->busy; });
}

void RankAhead::stop()
{
    const std::lock_guard lock(m_state->mutex);
    m_state->stopped = true;
    m_state->waiting.clear();
    m_state->made.clear();
}

std::optional<SortRanks> RankAhead::take(int column)
{
    const std::lock_guard lock(m_state->mutex);
    const auto it = m_state->made.find(column);
    if (it == m_state->made.end()) {
        // Under way or still to come: the caller ranks it now, and the
        // thread's copy, if it makes one, is dropped.
        std::erase(m_state->waiting, column);
        m_state->takenOver.insert(column);
        return std::nullopt;
    }
    SortRanks ranks = std::move(it->second);
    m_state->made.erase(it);
    return ranks;
}

bool RankAhead::running() const
{
    const std::lock_guard lock(m_state->mutex);
    return !m_state->done;
}

} // namespace db
