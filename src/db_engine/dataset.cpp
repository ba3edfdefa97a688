#include "dataset.h"

#include "connection.h"
#include "rank_ahead.h"
#include "result_table.h"
#include "text_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <utility>

namespace db {
namespace {

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::AutoIncrement: return QStringLiteral("AutoInc");
    case FieldKind::Integer: return QStringLiteral("Integer");
    case FieldKind::Float: return QStringLiteral("Float");
    case FieldKind::WideText: return QStringLiteral("WideString");
    case FieldKind::Memo: return QStringLiteral("WideMemo");
    case FieldKind::Boolean: return QStringLiteral("Boolean");
    case FieldKind::DateTime: return QStringLiteral("DateTime");
    }
    return {};
}

bool compatible(FieldKind field, ColumnKind column)
{
    if (column == ColumnKind::Unknown)   // an expression: no declared kind to check
        return true;
    switch (field) {
    case FieldKind::AutoIncrement:
    case FieldKind::Integer:
        return column == ColumnKind::Byte || column == ColumnKind::Integer16
            || column == ColumnKind::Integer32 || column == ColumnKind::AutoIncrement;
    case FieldKind::Float:
        return column == ColumnKind::Single || column == ColumnKind::Double
            || column == ColumnKind::Currency || column == ColumnKind::Numeric;
    case FieldKind::WideText:
        return column == ColumnKind::Text;
    case FieldKind::Memo:
        return column == ColumnKind::Memo || column == ColumnKind::OLE;
    case FieldKind::Boolean:
        return column == ColumnKind::Boolean;
    case FieldKind::DateTime:
        return column == ColumnKind::DateTime;
    }
    return false;
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

// Characters of the quick text order packed into 7 bits each, in the
// order compareDatabaseText gives them; 0 for none (a shorter text first).
// Hyphens are set aside and skipped; anything else is not packed.
inline int packedCode(char16_t c)
{
    if (c == u' ')
        return 1;
    if (c == u'.')
        return 2;
    if (c == u'/')
        return 3;
    if (c >= u'0' && c <= u'9')
        return 4 + (c - u'0');
    if (c >= u'a' && c <= u'z')
        return 14 + (c - u'a');
    if (c >= u'A' && c <= u'Z')
        return 14 + (c - u'A');
    if (c >= 0x0430 && c <= 0x044F)
        return 40 + (c - 0x0430);
    if (c >= 0x0410 && c <= 0x042F)
        return 40 + (c - 0x0410);
    return -1;
}

constexpr int kPackedChars = 9;

// Whether the quick text order covers `c` (hyphens included, which it sets
// aside): the test for the characters past the packed prefix.
inline bool packable(char16_t c)
{
    // Space, '-', '.', '/', digits and Latin letters; then Cyrillic А..я.
    constexpr std::uint64_t low = (1ull << ' ') | (1ull << '-') | (1ull << '.') | (1ull << '/') | (0x3FFull << '0');
    constexpr std::uint64_t high = (0x3FFFFFFull << ('A' - 64)) | (0x3FFFFFFull << ('a' - 64));
    if (c < 64)
        return (low >> c) & 1;
    if (c < 128)
        return (high >> (c - 64)) & 1;
    return c >= 0x0410 && c <= 0x044F;
}

// The first nine characters of a text, hyphens skipped, packed so that
// unsigned order is the database's order of those characters; false when
// the text holds a character the quick order does not cover, anywhere (the
// comparison hands such texts to the collator, which the prefix cannot
// stand for).
bool packPrefix(QStringView text, std::uint64_t &key)
{
    key = 0;
    int packed = 0;
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
    for (; c != end && packed < kPackedChars; ++c) {
        if (*c == u'-')
            continue;
        const int code = packedCode(*c);
        if (code < 0)
            return false;
        key = (key << 7) | std::uint64_t(code);
        ++packed;
    }
    key <<= 7 * (kPackedChars - packed);
    return std::all_of(c, end, packable);
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

// Distinct texts: an open-addressing table of 1-based ids, the texts
// themselves kept by the caller.
class DistinctTexts {
public:
    explicit DistinctTexts(std::size_t values)
    {
        std::size_t size = 16;
        while (size < 2 * values)
            size *= 2;
        m_slots.assign(size, 0);
    }
    // The slot of `text`: its id, or 0 for the caller to fill with a new one.
    template<typename TextOf>
    std::uint32_t &slot(QStringView text, TextOf textOf)
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash(text) & mask;; i = (i + 1) & mask) {
            std::uint32_t &id = m_slots[i];
            if (id == 0 || textOf(id) == text)
                return id;
        }
    }

private:
    // Four characters at a time: qHash costs more than the whole sort of
    // the distinct texts would.
    static std::size_t hash(QStringView text)
    {
        std::uint64_t h = 0x9E3779B97F4A7C15ull ^ std::uint64_t(text.size());
        const char16_t *p = text.utf16();
        qsizetype left = text.size();
        for (; left >= 4; left -= 4, p += 4) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, sizeof chunk);
            h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        for (; left > 0; --left, ++p)
            h = (h ^ *p) * 0x100000001B3ull;
        h ^= h >> 32;
        return std::size_t(h * 0xC4CEB9FE1A85EC53ull >> 16);
    }

    std::vector<std::uint32_t> m_slots;
};

// Sorts `rows` by their texts in the database's order and puts the rows
// whose texts compare equal into one group: appends each group's first row
// to `groups`, ascending by text, and sets `groupOf[i]` to the group of
// rows[i]. Each distinct text is compared once however many rows hold it.
void groupTexts(const std::vector<QStringView> &texts, const std::vector<int> &rows, std::vector<int> &groups,
                std::vector<std::uint32_t> &groupOf)
{
    DistinctTexts seen{rows.size()};
    std::vector<int> distinct;   // a row of each distinct text
    std::vector<std::uint32_t> textOf(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::uint32_t &id = seen.slot(texts[rows[i]], [&](std::uint32_t d) { return texts[distinct[d - 1]]; });
        if (id == 0) {
            distinct.push_back(rows[i]);
            id = std::uint32_t(distinct.size());
        }
        textOf[i] = id - 1;
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
    groupOf.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        groupOf[i] = groupOfText[textOf[i]];
}

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

} // namespace

struct DataSet::Rows {
    ResultTable table;
    std::vector<int> columnOfField;   // result column bound to each field
    std::vector<int> order;           // current order: position -> table row
    std::unordered_map<int, SortRanks> ranks;   // per result column, made at its first sort
};

DataSet::DataSet(const QString &name, Connection *connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(name);
}

DataSet::~DataSet()
{
    qDeleteAll(m_fields);
}

void DataSet::fail(const QString &text) const
{
    throw Error(name() + QLatin1String(": ") + text);
}

void DataSet::checkActive() const
{
    if (!m_active)
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void DataSet::setCommandText(const QString &sql)
{
    m_commandText = sql;
}

Field *DataSet::addField(const FieldDef &def)
{
    auto *field = new Field(this, int(m_fields.size()), def);
    m_fields.append(field);
    return field;
}

Field *DataSet::findField(const QString &name) const
{
    for (Field *f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

Field *DataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

void DataSet::open()
{
    if (m_active)
        return;
    if (!m_connection)
        fail(QStringLiteral("Missing Connection or ConnectionString"));
    if (!m_connection->connected())
        m_connection->open();

    auto rows = std::make_shared<Rows>();
    rows->table = m_connection->execute(m_commandText);

    // Bind every field to its column by name, letter case ignored.
    const auto &columns = rows->table.columns;
    for (Field *f : m_fields) {
        const QString shown = f->hasTitle() ? f->displayLabel() : f->fieldName();
        int found = -1;
        for (int c = 0; c < int(columns.size()); ++c) {
            if (columns[c].name.compare(f->fieldName(), Qt::CaseInsensitive) == 0) {
                found = c;
                break;
            }
        }
        if (found < 0)
            fail(QStringLiteral("Field '%1' not found").arg(shown));
        if (!compatible(f->kind(), columns[found].kind))
            fail(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                     .arg(shown, fieldKindName(f->kind()), columnKindName(columns[found].kind)));
        rows->columnOfField.push_back(found);
    }
    rows->order.resize(std::size_t(rows->table.rowCount()));
    std::iota(rows->order.begin(), rows->order.end(), 0);

    emit aboutToReset();
    m_rows = std::move(rows);
    m_sort.clear();
    m_active = true;
    m_current = m_rows->order.empty() ? -1 : 0;
    emit afterOpen();
    if (m_current == 0) {
        emit currentRowChanged(0);
        emit afterScroll(this);
    }
}

void DataSet::close()
{
    if (!m_active)
        return;
    emit aboutToReset();
    if (m_ahead)
        m_ahead->stop();   // the thread lets go of the rows when its column is done
    m_rows.reset();
    m_sort.clear();
    m_active = false;
    m_current = -1;
    m_paintRow = -1;
    emit afterClose();
}

int DataSet::recordCount() const
{
    checkActive();
    return int(m_rows->order.size());
}

int DataSet::recNo() const
{
    const int row = activeRow();
    return row < 0 ? -1 : row + 1;
}

int DataSet::currentRow() const
{
    return m_active ? m_current : -1;
}

void DataSet::setCurrentRow(int row)
{
    if (!m_active || row < 0 || row >= int(m_rows->order.size()) || row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
    emit afterScroll(this);
}

int DataSet::activeRow() const
{
    if (!m_active)
        return -1;
    return m_paintRow >= 0 ? m_paintRow : m_current;
}

QVariant DataSet::value(int row, int fieldIndex) const
{
    if (!m_active || row < 0 || row >= int(m_rows->order.size()) || fieldIndex < 0
        || fieldIndex >= int(m_rows->columnOfField.size()))
        return {};
    return m_rows->table.value(m_rows->order[row], m_rows->columnOfField[fieldIndex]);
}

QString DataSet::displayText(int row, int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= m_fields.size())
        return {};
    return m_fields[fieldIndex]->displayTextOf(value(row, fieldIndex));
}

namespace {

// The rows of a column ranked as the database orders its values: NULL
// first (rank 0), equal values sharing a rank, text in the database's order,
// booleans True before False as Access's -1/0. Sorts compare these ranks
// only, so a column's values are ordered once, at its first sort or ahead
// (rankAhead). Reads the table only: it also runs on the ranking thread.
SortRanks rankColumn(const ResultTable &t, int column)
{
    const int n = t.rowCount();
    const ColumnKind kind = t.columns[column].kind;
    SortRanks ranks;
    ranks.rank.assign(std::size_t(n), 0);
    const bool isText = kind == ColumnKind::Text || kind == ColumnKind::Memo || kind == ColumnKind::Guid;
    if (isText) {
        std::vector<QString> owned;   // texts the table does not hold as characters
        const bool views = t.data.size() > std::size_t(column)
                           && t.data[column].storage == ColumnValues::Storage::Text;
        std::vector<QStringView> texts(static_cast<std::size_t>(n));
        std::vector<int> present;
        present.reserve(std::size_t(n));
        if (!views)
            owned.reserve(std::size_t(n));
        for (int r = 0; r < n; ++r) {
            if (t.isNull(r, column))
                continue;
            if (views) {
                texts[r] = t.textAt(r, column);
            } else {
                owned.push_back(t.value(r, column).toString());
                texts[r] = owned.back();
            }
            present.push_back(r);
        }
        const std::uint32_t rank = rankTexts(texts, present, ranks.rank);
        ranks.top = rank;
    } else {
        std::vector<std::pair<double, int>> values;
        values.reserve(std::size_t(n));
        for (int r = 0; r < n; ++r) {
            if (t.isNull(r, column))
                continue;
            double v;
            if (kind == ColumnKind::Boolean)
                v = t.integerAt(r, column) ? -1 : 0;
            else if (kind == ColumnKind::DateTime)
                v = chronological(t.realAt(r, column));
            else
                v = t.realAt(r, column);
            if (std::isnan(v))
                v = std::numeric_limits<double>::infinity();  // a damaged value: last, not scattered
            values.emplace_back(v, r);
        }
        std::sort(values.begin(), values.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i == 0 || values[i - 1].first != values[i].first)
                ++rank;
            ranks.rank[values[i].second] = rank;
        }
        ranks.top = rank;
    }
    return ranks;
}

} // namespace

const SortRanks &DataSet::sortRanks(int column)
{
    auto it = m_rows->ranks.find(column);
    if (it != m_rows->ranks.end())
        return it->second;
    std::optional<SortRanks> made = m_ahead ? m_ahead->take(column) : std::nullopt;
    if (!made)
        made = rankColumn(m_rows->table, column);
    return m_rows->ranks.emplace(column, std::move(*made)).first->second;
}

// The field a part of a key list names ("Diam_Sverla", "FIO_AdminBD DESC"),
// with its name and direction; nullptr when none.
Field *DataSet::sortField(const QString &keyListPart, QString *name, bool *descending) const
{
    QStringList words = keyListPart.simplified().split(QLatin1Char(' '));
    *descending = false;
    if (words.size() > 1) {
        const QString dir = words.takeLast();
        if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
            *descending = true;
        else if (dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
            words.append(dir);
    }
    *name = words.join(QLatin1Char(' '));
    return findField(*name);
}

void DataSet::rankAhead(const QStringList &keyLists)
{
    checkActive();
    std::vector<int> columns;
    for (const QString &keyList : keyLists) {
        for (const QString &part : keyList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool descending;
            QString name;
            const Field *f = sortField(part, &name, &descending);
            if (!f || f->kind() == FieldKind::Memo)   // a memo is read from the file, by this thread only
                continue;
            const int column = m_rows->columnOfField[f->index()];
            if (!m_rows->ranks.count(column) && std::find(columns.begin(), columns.end(), column) == columns.end())
                columns.push_back(column);
        }
    }
    m_ahead.reset();   // an earlier one has stopped; this waits for it to end
    if (columns.empty())
        return;
    m_ahead = std::make_unique<RankAhead>(
        std::move(columns), [rows = std::shared_ptr<const Rows>(m_rows)](int column) {
            return rankColumn(rows->table, column);
        });
}

bool DataSet::rankingAhead() const
{
    return m_ahead && m_ahead->running();
}

void DataSet::setSort(const QString &keyList)
{
    checkActive();
    struct Key {
        const SortRanks *ranks;
        bool descending;
    };
    std::vector<Key> keys;
    for (const QString &part : keyList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool descending;
        QString name;
        Field *f = sortField(part, &name, &descending);
        if (!f)
            fail(QStringLiteral("Field '%1' not found").arg(name));
        keys.push_back({&sortRanks(m_rows->columnOfField[f->index()]), descending});
    }

    const int currentTableRow = m_current >= 0 ? m_rows->order[m_current] : -1;
    emit aboutToReset();
    std::vector<int> &order = m_rows->order;
    int bits = 0;
    for (const Key &k : keys)
        bits += bitWidth(k.ranks->top);
    const auto rankOf = [](const Key &k, int row) {
        const std::uint32_t r = k.ranks->rank[row];
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
            for (const Key &k : keys)
                key = (key << bitWidth(k.ranks->top)) | rankOf(k, order[i]);
            items[i] = {key, order[i]};
        }
        radixSort(items, bits);
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = items[i].row;
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            for (const Key &k : keys) {
                const std::uint32_t x = rankOf(k, a), y = rankOf(k, b);
                if (x != y)
                    return x < y;
            }
            return false;
        });
    }
    m_sort = keyList;
    // The same record stays current; no notification fires.
    if (currentTableRow >= 0)
        m_current = int(std::find(order.begin(), order.end(), currentTableRow) - order.begin());
    emit orderChanged();
}

bool DataSet::locate(const QString &keyField, const QVariant &value)
{
    checkActive();
    Field *f = fieldByName(keyField);
    const int column = m_rows->columnOfField[f->index()];
    const ResultTable &t = m_rows->table;
    const int n = int(m_rows->order.size());
    const bool text = f->kind() == FieldKind::WideText || f->kind() == FieldKind::Memo;
    const QString wantedText = value.toString();
    bool numberOk = false;
    const double wantedNumber = value.toDouble(&numberOk);
    for (int pos = 0; pos < n; ++pos) {
        const int r = m_rows->order[pos];
        if (value.isNull() ? !t.isNull(r, column) : t.isNull(r, column))
            continue;
        bool match = value.isNull();
        if (!match) {
            if (text)
                match = t.value(r, column).toString() == wantedText;
            else if (f->kind() == FieldKind::Boolean)
                match = (t.integerAt(r, column) != 0) == value.toBool();
            else
                match = numberOk && t.realAt(r, column) == wantedNumber;
        }
        if (match) {
            m_current = pos;
            emit currentRowChanged(pos);
            emit afterScroll(this);
            return true;
        }
    }
    return false;
}

DataSet::ActiveRow::ActiveRow(const DataSet *dataSet, int row)
    : m_dataSet(dataSet), m_saved(dataSet->m_paintRow)
{
    dataSet->m_paintRow = row;
}

DataSet::ActiveRow::~ActiveRow()
{
    m_dataSet->m_paintRow = m_saved;
}

} // namespace db
