#include "sort_ranks.h"

#include "distinct_texts.h"
#include "result_table.h"
#include "scratch_array.h"
#include "text_order.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>

namespace db {
namespace {

// A text's first characters, hyphens skipped, packed 7 bits each by their
// quick rank (text_order.h), so that unsigned order is the database's order
// of those characters; 0 for none (a shorter text first).
constexpr int kPackedChars = 9;
static_assert(kHighestQuickRank < 128, "a quick rank packs into 7 bits");

// The next packed characters of `text` from character `from` on, hyphens
// skipped, into `key`; `from` moves past them. The key is 0 when the text
// has no more. False when one of them is not a quick character.
bool packFrom(QStringView text, std::uint32_t &from, std::uint64_t &key)
{
    key = 0;
    int packed = 0;
    const char16_t *const begin = text.utf16();
    const char16_t *c = begin + from;
    const char16_t *const end = begin + text.size();
    for (; c != end && packed < kPackedChars; ++c) {
        if (*c == u'-')
            continue;
        const int rank = quickRank(*c);
        if (rank < 0)
            return false;
        key = (key << 7) | std::uint64_t(rank);
        ++packed;
    }
    from = std::uint32_t(c - begin);
    key <<= 7 * (kPackedChars - packed);
    return true;
}

// The packed prefix of `text`; false when the text holds a character the
// quick order does not cover, anywhere (the comparison hands such texts to
// the collator, which the prefix cannot stand for).
bool packPrefix(QStringView text, std::uint64_t &key)
{
    std::uint32_t from = 0;
    return packFrom(text, from, key)
        && std::all_of(text.utf16() + from, text.utf16() + text.size(), [](char16_t c) { return quickRank(c) > 0; });
}

// An item to sort: a key and what it stands for (a row, or a text of a
// list). Keys of up to 32 bits sort as 8-byte items, half the memory to
// move of the 16-byte ones.
struct Keyed64 {
    std::uint64_t key;
    std::uint32_t item;
};
struct Keyed32 {
    std::uint32_t key;
    std::uint32_t item;
};

// Stable sort of `items` by their keys' `bits` low bits, least significant
// digit first, through `spare` (as many items). All digits are counted in
// one pass, and a digit that every item shares takes no pass at all (small
// numbers held as doubles share most of theirs).
template <typename Item> void radixSort(Item *items, std::size_t n, int bits, Item *spare)
{
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = std::size_t(1) << kDigitBits;
    const int passes = (bits + kDigitBits - 1) / kDigitBits;
    if (n < 2 || passes == 0)
        return;
    std::vector<std::uint32_t> counts(std::size_t(passes) * kBuckets);
    for (std::size_t i = 0; i < n; ++i) {
        const auto key = items[i].key;
        for (int p = 0; p < passes; ++p)
            ++counts[std::size_t(p) * kBuckets + ((key >> (p * kDigitBits)) & (kBuckets - 1))];
    }
    Item *from = items, *to = spare;
    for (int p = 0; p < passes; ++p) {
        const int shift = p * kDigitBits;
        std::uint32_t *count = counts.data() + std::size_t(p) * kBuckets;
        if (count[(from[0].key >> shift) & (kBuckets - 1)] == n)
            continue;
        std::uint32_t at = 0;
        for (std::size_t b = 0; b < kBuckets; ++b)
            at += std::exchange(count[b], at);
        for (std::size_t i = 0; i < n; ++i)
            to[count[(from[i].key >> shift) & (kBuckets - 1)]++] = from[i];
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + n, items);
}

int bitWidth(std::uint32_t value)
{
    return int(std::bit_width(value));
}

// Whether two texts hold the same characters; equal texts often share them.
bool sameText(QStringView a, QStringView b)
{
    return a.size() == b.size() && (a.data() == b.data() || a == b);
}

// Sorts the texts `which` (indexes into `texts`) in the database's order
// and puts those that compare equal into one group: appends each group's
// first text to `groups`, ascending, and sets `groupOf[i]` to the group of
// which[i]. Each distinct text is compared once however often it occurs.
void groupTexts(const QStringView *texts, const std::vector<std::uint32_t> &which, std::vector<std::uint32_t> &groups,
                std::vector<std::uint32_t> &groupOf)
{
    DistinctTexts seen = DistinctTexts::lookingUpAll();
    std::vector<char16_t> copies;   // one of each distinct text
    std::vector<std::pair<quint32, std::uint32_t>> idAt;   // where in `copies`, which text; ascending
    std::vector<std::uint32_t> distinct;   // a text of each distinct one
    std::vector<std::uint32_t> textOf(which.size());
    std::uint32_t empty = UINT32_MAX;   // the empty text takes no room in `copies`
    const auto newText = [&](std::uint32_t index) {
        distinct.push_back(index);
        return std::uint32_t(distinct.size() - 1);
    };
    for (std::size_t i = 0; i < which.size(); ++i) {
        const QStringView text = texts[which[i]];
        if (text.isEmpty()) {
            if (empty == UINT32_MAX)
                empty = newText(which[i]);
            textOf[i] = empty;
            continue;
        }
        const quint32 end = quint32(copies.size());
        const quint32 start = seen.keep(copies, text.utf16(), std::size_t(text.size()));
        if (start == end) {
            idAt.emplace_back(start, newText(which[i]));
            textOf[i] = idAt.back().second;
        } else {
            textOf[i] = std::lower_bound(idAt.begin(), idAt.end(), std::make_pair(start, std::uint32_t(0)))->second;
        }
    }
    const auto compare = [&](std::uint32_t a, std::uint32_t b) {
        return compareDatabaseText(texts[distinct[a]], texts[distinct[b]]);
    };
    std::vector<std::uint32_t> byText(distinct.size());
    std::iota(byText.begin(), byText.end(), 0);
    std::sort(byText.begin(), byText.end(), [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });
    std::vector<std::uint32_t> groupOfText(distinct.size());
    for (std::size_t i = 0; i < byText.size(); ++i) {
        if (i == 0 || compare(byText[i - 1], byText[i]) != 0)
            groups.push_back(distinct[byText[i]]);
        groupOfText[byText[i]] = std::uint32_t(groups.size() - 1);
    }
    groupOf.resize(which.size());
    for (std::size_t i = 0; i < which.size(); ++i)
        groupOf[i] = groupOfText[textOf[i]];
}

// Walks the runs of equal keys of `items` (sorted by key), whose `item`
// member names a text: a run whose texts all hold the same characters makes
// one group, appended to `groups`, and each item's key becomes that group;
// any other run is handed to `split(first, count)`, which groups it.
template <typename Item, typename Split>
void groupEqualKeys(const QStringView *texts, Item *items, std::size_t n, std::vector<std::uint32_t> &groups,
                    Split split)
{
    for (std::size_t i = 0, j = 0; i < n; i = j) {
        bool same = true;
        for (j = i + 1; j < n && items[j].key == items[i].key; ++j)
            same = same && sameText(texts[items[j].item], texts[items[i].item]);
        if (same) {
            groups.push_back(items[i].item);
            for (std::size_t k = i; k < j; ++k)
                items[k].key = groups.size() - 1;
        } else {
            split(items + i, j - i);
        }
    }
}

// Texts of a run whose packed prefixes are equal, ordered by the next packed
// characters, level by level, as long as they tell them apart.
struct RunText {
    std::uint64_t key;
    std::uint32_t item, from;   // which text; where its next characters start
};

// Orders `run` (texts that agree on every character before each one's
// `from`, hyphens aside) and appends its groups of equal texts to `groups`
// in order; each item's key becomes its group. Texts that agree but for
// hyphens and letter case, and texts still undecided after many levels, are
// left to groupTexts().
void groupRun(const QStringView *texts, RunText *run, std::size_t n, std::vector<std::uint32_t> &groups, int level = 0)
{
    constexpr int kLevels = 16;
    bool exhausted = true;
    for (std::size_t i = 0; i < n; ++i) {
        packFrom(texts[run[i].item], run[i].from, run[i].key);   // packPrefix() took the text whole
        exhausted = exhausted && run[i].key == 0;
    }
    if (exhausted || level == kLevels) {
        std::vector<std::uint32_t> which(n), groupOf;
        for (std::size_t i = 0; i < n; ++i)
            which[i] = run[i].item;
        groupTexts(texts, which, groups, groupOf);
        for (std::size_t i = 0; i < n; ++i)
            run[i].key = groupOf[i];
        return;
    }
    std::sort(run, run + n, [](const RunText &a, const RunText &b) { return a.key < b.key; });
    groupEqualKeys(texts, run, n, groups,
                   [&](RunText *part, std::size_t count) { groupRun(texts, part, count, groups, level + 1); });
}

// Ranks texts[0..n) in the order the queries' ORDER BY gives them, equal
// texts sharing a rank from 1 up, into rank[0..n); returns the highest.
// Most texts are told apart by a packed prefix and a radix sort; only texts
// with the same prefix, and those the packing cannot hold, are compared.
std::uint32_t rankTextList(const QStringView *texts, std::size_t n, std::uint32_t *rank)
{
    ScratchArray<Keyed64> packed(n), spare(n);
    std::size_t packedCount = 0;
    std::vector<std::uint32_t> unpacked;
    constexpr std::size_t kAhead = 16;   // texts lie scattered: fetch ahead
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            __builtin_prefetch(texts[i + kAhead].utf16());
        std::uint64_t prefix;
        if (packPrefix(texts[i], prefix))
            packed[packedCount++] = {prefix, std::uint32_t(i)};
        else
            unpacked.push_back(std::uint32_t(i));
    }
    radixSort(packed.data(), packedCount, 7 * kPackedChars, spare.data());

    // Packed texts: groups in order, run of equal prefixes by run. Each
    // item's key becomes its group.
    std::vector<std::uint32_t> groups;
    std::vector<RunText> run;
    groups.reserve(packedCount);
    groupEqualKeys(texts, packed.data(), packedCount, groups, [&](Keyed64 *part, std::size_t count) {
        run.clear();
        for (std::size_t k = 0; k < count; ++k)
            run.push_back({0, part[k].item, 0});
        groupRun(texts, run.data(), run.size(), groups);
        for (std::size_t k = 0; k < count; ++k)
            part[k] = {run[k].key, run[k].item};
    });
    std::vector<std::uint32_t> others, otherGroups;
    groupTexts(texts, unpacked, others, otherGroups);

    // The two ascending lists merged; a group of each that compare equal
    // share a rank.
    std::vector<std::uint32_t> packedRank(groups.size()), otherRank(others.size());
    std::uint32_t top = 0;
    for (std::size_t a = 0, b = 0; a < groups.size() || b < others.size();) {
        const int c = a == groups.size()   ? 1
                      : b == others.size() ? -1
                                           : compareDatabaseText(texts[groups[a]], texts[others[b]]);
        ++top;
        if (c <= 0)
            packedRank[a++] = top;
        if (c >= 0)
            otherRank[b++] = top;
    }
    for (std::size_t i = 0; i < packedCount; ++i)
        rank[packed[i].item] = packedRank[packed[i].key];
    for (std::size_t i = 0; i < unpacked.size(); ++i)
        rank[unpacked[i]] = otherRank[otherGroups[i]];
    return top;
}

constexpr std::uint32_t kNoText = UINT32_MAX;   // a NULL row's place in a list of texts

// Lists the present rows' texts to rank, into `list` (room for one per row),
// and each row's place in it into `placeOf` (kNoText for NULL); returns how
// many were listed. Rows whose texts share their characters share a place
// while the distinct places stay few (kinds, names, shelves: the rank of each
// is worked out once); past that, every row takes a place of its own, which
// costs less than looking up codes that are all different.
std::size_t listTexts(const ColumnCells &cells, int rows, QStringView *list, std::uint32_t *placeOf)
{
    // Few: at most one in sixteen rows, and no more than half of the first
    // few thousand (codes are told by then).
    const std::size_t few = std::max<std::size_t>(256, std::size_t(rows) / 16);
    constexpr std::size_t kSample = 4096;
    std::size_t present = 0;
    struct Slot {
        const QChar *data;
        std::uint32_t size, place;
    };
    std::vector<Slot> seen(1024);   // open addressing, at most half full
    const auto slotOf = [&](QStringView text) {
        const std::size_t mask = seen.size() - 1;
        std::size_t at = std::size_t(reinterpret_cast<std::uintptr_t>(text.data()) * 0x9E3779B97F4A7C15ull >> 32) & mask;
        while (seen[at].data && (seen[at].data != text.data() || seen[at].size != std::uint32_t(text.size())))
            at = (at + 1) & mask;
        return at;
    };
    std::size_t listed = 0;
    bool many = false;
    for (int r = 0; r < rows && !many; ++r) {
        if (r + ColumnCells::kAhead < rows)
            cells.prefetch(r + ColumnCells::kAhead);
        if (cells.isNull(r)) {
            placeOf[r] = kNoText;
            continue;
        }
        const QStringView text = cells.text(r);
        std::size_t at = slotOf(text);
        if (++present == kSample && listed * 2 > kSample)
            many = true;
        if (!seen[at].data) {
            many = many || listed == few;
            if (many)
                break;
            seen[at] = {text.data(), std::uint32_t(text.size()), std::uint32_t(listed)};
            list[listed++] = text;
            if (listed * 2 > seen.size()) {
                std::vector<Slot> old(seen.size() * 2);
                old.swap(seen);
                for (const Slot &s : old)
                    if (s.data)
                        seen[slotOf(QStringView(s.data, qsizetype(s.size)))] = s;
                at = slotOf(text);
            }
        }
        placeOf[r] = seen[at].place;
    }
    if (!many)
        return listed;
    listed = 0;   // many distinct: a place for each row
    for (int r = 0; r < rows; ++r) {
        if (r + ColumnCells::kAhead < rows)
            cells.prefetch(r + ColumnCells::kAhead);
        const bool null = cells.isNull(r);
        placeOf[r] = null ? kNoText : std::uint32_t(listed);
        if (!null)
            list[listed++] = cells.text(r);
    }
    return listed;
}

// Texts the table does not hold as characters (memos, values of no declared
// kind), read once each.
std::vector<QString> ownedTexts(const ResultTable &table, int column, std::uint32_t *placeOf)
{
    std::vector<QString> owned;
    for (int r = 0; r < table.rowCount(); ++r) {
        const bool null = table.isNull(r, column);
        placeOf[r] = null ? kNoText : std::uint32_t(owned.size());
        if (!null)
            owned.push_back(table.value(r, column).toString());
    }
    return owned;
}

// Ranks the listed texts and gives each row its text's rank, 0 for NULL;
// returns the highest.
std::uint32_t rankPlaces(const QStringView *list, std::size_t listed, const std::uint32_t *placeOf, std::size_t rows,
                         std::uint32_t *rank)
{
    ScratchArray<std::uint32_t> listRank(listed);
    const std::uint32_t top = rankTextList(list, listed, listRank.data());
    for (std::size_t r = 0; r < rows; ++r)
        rank[r] = placeOf[r] == kNoText ? 0 : listRank[placeOf[r]];
    return top;
}

std::uint32_t rankTextCells(const ColumnCells &cells, int rows, std::uint32_t *rank)
{
    ScratchArray<std::uint32_t> placeOf{std::size_t(rows)};
    ScratchArray<QStringView> list{std::size_t(rows)};
    const std::size_t listed = listTexts(cells, rows, list.data(), placeOf.data());
    return rankPlaces(list.data(), listed, placeOf.data(), std::size_t(rows), rank);
}

// A date's day count read as a point in time: before 1899-12-30 the
// fraction still counts forward from the day's start (-1.25 is later than -1).
double chronological(double days)
{
    if (days >= 0)
        return days;
    const double whole = std::ceil(days);
    return whole + (whole - days);
}

// A number as a key whose unsigned order is the numbers' order; the two
// zeros are one, and NaN (a damaged value) comes last, not scattered.
std::uint64_t orderedKey(double v)
{
    if (std::isnan(v))
        v = std::numeric_limits<double>::infinity();
    if (v == 0)
        v = 0;
    const auto bits = std::bit_cast<std::uint64_t>(v);
    return bits >> 63 ? ~bits : bits | (std::uint64_t(1) << 63);
}

// Ranks the numbers `read(row, value)` gives (false for NULL) for rows
// [0, rows) into rank[], 0 for NULL; returns the highest.
template <typename Read> std::uint32_t rankNumbers(int rows, ColumnKind kind, Read read, std::uint32_t *rank)
{
    ScratchArray<Keyed64> items{std::size_t(rows)}, spare{std::size_t(rows)};
    std::size_t n = 0;
    for (int r = 0; r < rows; ++r) {
        double v;
        if (!read(r, v)) {
            rank[r] = 0;
            continue;
        }
        if (kind == ColumnKind::Boolean)
            v = v != 0 ? -1 : 0;
        else if (kind == ColumnKind::DateTime)
            v = chronological(v);
        items[n++] = {orderedKey(v), std::uint32_t(r)};
    }
    radixSort(items.data(), n, 64, spare.data());
    std::uint32_t top = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || items[i - 1].key != items[i].key)
            ++top;
        rank[items[i].item] = top;
    }
    return top;
}

std::uint32_t rankNumberCells(const ColumnCells &cells, int rows, ColumnKind kind, std::uint32_t *rank)
{
    return rankNumbers(rows, kind, [&](int r, double &v) {
        if (r + ColumnCells::kAhead < rows)
            cells.prefetch(r + ColumnCells::kAhead);
        if (cells.isNull(r))
            return false;
        v = cells.holdsIntegers() ? double(cells.integer(r)) : cells.real(r);
        return true;
    }, rank);
}

// Ranks a column read in place. A column left in a table of the snapshot
// is read over the table's own rows, in the table's order, when the result
// reads most of them: read in the result's order, each row would be a wait
// on memory. The result's rows then take the ranks of the rows they read.
template <typename RankCells> SortRanks rankCells(const ColumnCells &cells, int rows, RankCells rankRows)
{
    SortRanks ranks;
    ranks.rank.resize(std::size_t(rows));
    if (!cells.inTable() || cells.tableRowCount() > 2 * rows) {
        ranks.top = rankRows(cells, rows, ranks.rank.data());
        return ranks;
    }
    const ColumnCells stored = cells.tableOrder();
    ScratchArray<std::uint32_t> storedRank{std::size_t(stored.tableRowCount())};
    ranks.top = rankRows(stored, stored.tableRowCount(), storedRank.data());
    for (int r = 0; r < rows; ++r)
        ranks.rank[std::size_t(r)] = storedRank[std::size_t(cells.tableRowOf(r))];
    return ranks;
}

SortRanks rankIndirect(const ResultTable &table, int column)
{
    const int rows = table.rowCount();
    SortRanks ranks;
    ranks.rank.resize(std::size_t(rows));
    const ColumnKind kind = table.columns[std::size_t(column)].kind;
    if (kind == ColumnKind::Text || kind == ColumnKind::Memo || kind == ColumnKind::Guid) {
        ScratchArray<std::uint32_t> placeOf{std::size_t(rows)};
        const std::vector<QString> owned = ownedTexts(table, column, placeOf.data());
        const std::vector<QStringView> list(owned.begin(), owned.end());
        ranks.top = rankPlaces(list.data(), list.size(), placeOf.data(), std::size_t(rows), ranks.rank.data());
    } else {
        ranks.top = rankNumbers(rows, kind, [&](int r, double &v) {
            if (table.isNull(r, column))
                return false;
            v = table.realAt(r, column);
            return true;
        }, ranks.rank.data());
    }
    return ranks;
}

// The keys' ranks packed into one number per row, `bits` wide, sorted by
// digits: stable, so rows equal on every key keep their previous order.
template <typename Item> void orderByPackedRanks(const std::vector<RankKey> &keys, int bits, std::vector<int> &order)
{
    const std::size_t n = order.size();
    ScratchArray<Item> items(n), spare(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t key = 0;
        for (const RankKey &k : keys) {
            const std::uint32_t r = k.ranks->rank[std::size_t(order[i])];
            key = (key << bitWidth(k.ranks->top)) | (k.descending ? k.ranks->top - r : r);
        }
        items[i] = {decltype(Item::key)(key), std::uint32_t(order[i])};
    }
    radixSort(items.data(), n, bits, spare.data());
    for (std::size_t i = 0; i < n; ++i)
        order[i] = int(items[i].item);
}

} // namespace

SortRanks rankColumn(const ResultTable &table, int column)
{
    const ColumnCells cells = table.cells(column);
    // The passes' arrays take at most 64 bytes a row, read in either order.
    const int rows = std::max(table.rowCount(), cells.inTable() ? cells.tableRowCount() : 0);
    const ScratchArena arena(std::size_t(rows) * 64);
    if (!cells.direct())
        return rankIndirect(table, column);
    const ColumnKind kind = table.columns[std::size_t(column)].kind;
    if (kind == ColumnKind::Text || kind == ColumnKind::Memo || kind == ColumnKind::Guid)
        return rankCells(cells, table.rowCount(), rankTextCells);
    return rankCells(cells, table.rowCount(), [kind](const ColumnCells &c, int rows, std::uint32_t *rank) {
        return rankNumberCells(c, rows, kind, rank);
    });
}

void orderByRanks(const std::vector<RankKey> &keys, std::vector<int> &order)
{
    int bits = 0;
    for (const RankKey &k : keys)
        bits += bitWidth(k.ranks->top);
    if (keys.empty()) {
        std::iota(order.begin(), order.end(), 0);
    } else if (bits <= 32) {
        const ScratchArena arena(order.size() * 2 * sizeof(Keyed32));
        orderByPackedRanks<Keyed32>(keys, bits, order);
    } else if (bits <= 64) {
        const ScratchArena arena(order.size() * 2 * sizeof(Keyed64));
        orderByPackedRanks<Keyed64>(keys, bits, order);
    } else {
        const auto rankOf = [](const RankKey &k, int row) {
            const std::uint32_t r = k.ranks->rank[std::size_t(row)];
            return k.descending ? k.ranks->top - r : r;
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            for (const RankKey &k : keys) {
                const std::uint32_t x = rankOf(k, a), y = rankOf(k, b);
                if (x != y)
                    return x < y;
            }
            return false;
        });
    }
}

} // namespace db
