#include "dataset.h"

#include "connection.h"
#include "result_table.h"
#include "text_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
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

// The first nine characters of a text, hyphens skipped, packed so that
// unsigned order is the database's order of those characters; false when
// the text holds a character the packing does not cover.
bool packPrefix(QStringView text, std::uint64_t &key)
{
    key = 0;
    int packed = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'-')
            continue;
        const int code = packedCode(c);
        if (code < 0)
            return false;
        if (packed < kPackedChars) {
            key = (key << 7) | std::uint64_t(code);
            ++packed;
        }
    }
    key <<= 7 * (kPackedChars - packed);
    return true;
}

// Stable sort of `items` by their keys, least significant digit first, over
// the key's `bits` low bits.
struct Keyed {
    std::uint64_t key;
    int row;
};

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

// The distinct texts of a column: an open-addressing table of 1-based ids,
// the texts themselves kept by the caller.
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

    auto rows = std::make_unique<Rows>();
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

// The rows of a column ranked as the database orders its values: NULL
// first (rank 0), equal values sharing a rank, text in the database's order,
// booleans True before False as Access's -1/0. Sorts compare these ranks
// only, so a column's values are ordered once, at its first sort.
const DataSet::SortRanks &DataSet::sortRanks(int column)
{
    auto it = m_rows->ranks.find(column);
    if (it != m_rows->ranks.end())
        return it->second;

    const ResultTable &t = m_rows->table;
    const int n = t.rowCount();
    const ColumnKind kind = t.columns[column].kind;
    SortRanks ranks;
    ranks.rank.assign(std::size_t(n), 0);
    const bool isText = kind == ColumnKind::Text || kind == ColumnKind::Memo || kind == ColumnKind::Guid;
    if (isText) {
        // Each distinct text is ordered once, by the comparison the queries'
        // ORDER BY uses; a packed prefix decides most comparisons without it.
        std::vector<QString> owned;   // texts the table does not hold as characters
        const bool views = t.data.size() > std::size_t(column)
                           && t.data[column].storage == ColumnValues::Storage::Text;
        if (!views)
            owned.reserve(std::size_t(n));
        struct Text {
            QStringView text;
            std::uint64_t prefix;
            std::uint32_t id;   // 1-based, as textOfRow counts
            bool packed;
        };
        std::vector<Text> texts;
        std::vector<std::uint32_t> textOfRow(std::size_t(n), 0);   // 0 for NULL
        DistinctTexts distinct{std::size_t(n)};
        for (int r = 0; r < n; ++r) {
            if (t.isNull(r, column))
                continue;
            QStringView text;
            if (views) {
                text = t.textAt(r, column);
            } else {
                owned.push_back(t.value(r, column).toString());
                text = owned.back();
            }
            std::uint32_t &id = distinct.slot(text, [&](std::uint32_t i) { return texts[i - 1].text; });
            if (id == 0) {
                Text entry{text, 0, std::uint32_t(texts.size() + 1), false};
                entry.packed = packPrefix(text, entry.prefix);
                texts.push_back(entry);
                id = entry.id;
            }
            textOfRow[r] = id;
        }
        // Prefixes differ only where the database's order differs, so for two
        // packed texts they decide unless they are equal.
        const auto compare = [](const Text &a, const Text &b) {
            if (a.packed && b.packed && a.prefix != b.prefix)
                return a.prefix < b.prefix ? -1 : 1;
            return compareDatabaseText(a.text, b.text);
        };
        std::sort(texts.begin(), texts.end(), [&](const Text &a, const Text &b) { return compare(a, b) < 0; });
        std::vector<std::uint32_t> rankOfText(texts.size() + 1, 0);
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i == 0 || compare(texts[i - 1], texts[i]) != 0)
                ++rank;
            rankOfText[texts[i].id] = rank;
        }
        for (int r = 0; r < n; ++r)
            ranks.rank[r] = rankOfText[textOfRow[r]];
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
    return m_rows->ranks.emplace(column, std::move(ranks)).first->second;
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
        QStringList words = part.simplified().split(QLatin1Char(' '));
        bool descending = false;
        if (words.size() > 1) {
            const QString dir = words.takeLast();
            if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
                descending = true;
            else if (dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
                words.append(dir);
        }
        const QString name = words.join(QLatin1Char(' '));
        Field *f = findField(name);
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
