#include "sort_ranks.h"

#include "distinct_texts.h"
#include "text_order.h"

#include <algorithm>
#include <numeric>

namespace db {
namespace {

// A text's first characters, hyphens skipped, packed 7 bits each by their
// quick rank (text_order.h), so that unsigned order is the database's order
// of those characters; 0 for none (a shorter text first).
constexpr int kPackedChars = 9;
static_assert(kHighestQuickRank < 128, "a quick rank packs into 7 bits");

// The packed prefix of `text`; false when the text holds a character the
// quick order does not cover, anywhere (the comparison hands such texts to
// the collator, which the prefix cannot stand for).
bool packPrefix(QStringView text, std::uint64_t &key)
{
    key = 0;
    int packed = 0;
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
    for (; c != end && packed < kPackedChars; ++c) {
        if (*c == u'-')
            continue;
        const int rank = quickRank(*c);
        if (rank < 0)
            return false;
        key = (key << 7) | std::uint64_t(rank);
        ++packed;
    }
    key <<= 7 * (kPackedChars - packed);
    return std::all_of(c, end, [](char16_t ch) { return quickRank(ch) > 0; });
}

struct Keyed {
    std::uint64_t key;
    int row;
};

// Stable sort of `items` by their keys, least significant digit first, over
// the key's `bits` low bits.
void radixSort(std::vector<Keyed> &items, int bits)
{
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = std::size_t(1) << kDigitBits;
    std::vector<Keyed> spare(items.size());
    std::vector<std::size_t> count(kBuckets);
    for (int shift = 0; shift < bits; shift += kDigitBits) {
        std::fill(count.begin(), count.end(), 0);
        for (const Keyed &k : items)
            ++count[(k.key >> shift) & (kBuckets - 1)];
        std::size_t at = 0;
        for (std::size_t &c : count)
            at += std::exchange(c, at);
        for (const Keyed &k : items)
            spare[count[(k.key >> shift) & (kBuckets - 1)]++] = k;
        items.swap(spare);
    }
}

int bitWidth(std::uint32_t value)
{
    int bits = 0;
    while (value >> bits)
        ++bits;
    return bits;
}

// Sorts `rows` by their texts in the database's order and puts the rows
// whose texts compare equal into one group: appends each group's first row
// to `groups`, ascending by text, and sets `groupOf[i]` to the group of
// rows[i]. Each distinct text is compared once however many rows hold it.
void groupTexts(const std::vector<QStringView> &texts, const std::vector<int> &rows, std::vector<int> &groups,
                std::vector<std::uint32_t> &groupOf)
{
    DistinctTexts seen = DistinctTexts::lookingUpAll();
    std::vector<char16_t> copies;   // one of each distinct text
    std::vector<std::pair<quint32, std::uint32_t>> idAt;   // where in `copies`, which text; ascending
    std::vector<int> distinct;      // a row of each distinct text
    std::vector<std::uint32_t> textOf(rows.size());
    std::uint32_t empty = UINT32_MAX;   // the empty text takes no room in `copies`
    const auto newText = [&](int row) {
        distinct.push_back(row);
        return std::uint32_t(distinct.size() - 1);
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QStringView text = texts[std::size_t(rows[i])];
        if (text.isEmpty()) {
            if (empty == UINT32_MAX)
                empty = newText(rows[i]);
            textOf[i] = empty;
            continue;
        }
        const quint32 end = quint32(copies.size());
        const quint32 start = seen.keep(copies, text.utf16(), std::size_t(text.size()));
        if (start == end) {
            idAt.emplace_back(start, newText(rows[i]));
            textOf[i] = idAt.back().second;
        } else {
            textOf[i] = std::lower_bound(idAt.begin(), idAt.end(), std::make_pair(start, std::uint32_t(0)))->second;
        }
    }
    const auto compare = [&](std::uint32_t a, std::uint32_t b) {
        return compareDatabaseText(texts[std::size_t(distinct[a])], texts[std::size_t(distinct[b])]);
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
    groupOf.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        groupOf[i] = groupOfText[textOf[i]];
}

} // namespace

// Ranks the texts of the `present` rows in the order the queries' ORDER BY
// gives them, equal texts sharing a rank from 1 up; returns the highest.
// Most texts are told apart by a packed prefix and a radix sort; only texts
// with the same prefix, and those the packing cannot hold, are compared.
std::uint32_t rankTexts(const std::vector<QStringView> &texts, const std::vector<int> &present,
                        std::vector<std::uint32_t> &rank)
{
    std::vector<Keyed> packed;
    std::vector<int> unpacked;
    packed.reserve(present.size());
    constexpr std::size_t kAhead = 16;   // texts lie scattered: fetch ahead
    for (std::size_t i = 0; i < present.size(); ++i) {
        if (i + kAhead < present.size())
            __builtin_prefetch(texts[present[i + kAhead]].utf16());
        const int r = present[i];
        std::uint64_t prefix;
        if (packPrefix(texts[r], prefix))
            packed.push_back({prefix, r});
        else
            unpacked.push_back(r);
    }
    radixSort(packed, 7 * kPackedChars);

    // Packed texts: groups in order, run of equal prefixes by run. Each
    // item's key becomes its group.
    std::vector<int> groups;
    std::vector<int> run;
    std::vector<std::uint32_t> runGroups;
    for (std::size_t i = 0, j = 0; i < packed.size(); i = j) {
        for (j = i + 1; j < packed.size() && packed[j].key == packed[i].key; ++j) {}
        bool same = true;
        for (std::size_t k = i + 1; k < j && same; ++k)
            same = texts[packed[k].row] == texts[packed[i].row];
        if (same) {
            groups.push_back(packed[i].row);
            for (std::size_t k = i; k < j; ++k)
                packed[k].key = groups.size() - 1;
        } else {
            run.clear();
            for (std::size_t k = i; k < j; ++k)
                run.push_back(packed[k].row);
            groupTexts(texts, run, groups, runGroups);
            for (std::size_t k = i; k < j; ++k)
                packed[k].key = runGroups[k - i];
        }
    }
    std::vector<int> others;
    std::vector<std::uint32_t> otherGroups;
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
    for (const Keyed &k : packed)
        rank[k.row] = packedRank[k.key];
    for (std::size_t i = 0; i < unpacked.size(); ++i)
        rank[unpacked[i]] = otherRank[otherGroups[i]];
    return top;
}


std::uint32_t rankNumbers(std::vector<std::pair<double, int>> &values, std::vector<std::uint32_t> &rank)
{
    std::sort(values.begin(), values.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::uint32_t top = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i == 0 || values[i - 1].first != values[i].first)
            ++top;
        rank[std::size_t(values[i].second)] = top;
    }
    return top;
}

void orderByRanks(const std::vector<RankKey> &keys, std::vector<int> &order)
{
    int bits = 0;
    for (const RankKey &k : keys)
        bits += bitWidth(k.ranks->top);
    const auto rankOf = [](const RankKey &k, int row) {
        const std::uint32_t r = k.ranks->rank[std::size_t(row)];
        return k.descending ? k.ranks->top - r : r;
    };
    if (keys.empty()) {
        std::iota(order.begin(), order.end(), 0);
    } else if (bits <= 64) {
        // The ranks of all keys packed into one number per row, sorted by
        // digits: stable, so rows equal on every key keep their previous order.
        std::vector<Keyed> items(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            std::uint64_t key = 0;
            for (const RankKey &k : keys)
                key = (key << bitWidth(k.ranks->top)) | rankOf(k, order[i]);
            items[i] = {key, order[i]};
        }
        radixSort(items, bits);
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = items[i].row;
    } else {
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
