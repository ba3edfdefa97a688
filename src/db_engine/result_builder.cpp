#include "result_builder.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace db {
namespace {

// Whether SQLite's value is exactly the table's value in `row`, as the
// module handed it out.
bool sameValue(sqlite3_value *v, const JetTable &t, int row, int column)
{
    const JetTable::Row cells = t.rowCells(row);
    const int type = sqlite3_value_type(v);
    if (t.isNull(cells, column) || type == SQLITE_NULL)
        return t.isNull(cells, column) && type == SQLITE_NULL;
    const JetTable::Cell cell = t.cell(cells, column);
    switch (t.storage[std::size_t(column)]) {
    case ColumnValues::Storage::Integer:
        return type == SQLITE_INTEGER && sqlite3_value_int64(v) == qint32(cell.integer);
    case ColumnValues::Storage::LongValue:
        return type == SQLITE_INTEGER && sqlite3_value_int64(v) == cell.integer;
    case ColumnValues::Storage::Real: {
        const double d = sqlite3_value_double(v);
        return type == SQLITE_FLOAT && std::memcmp(&d, &cell.real, sizeof d) == 0;
    }
    case ColumnValues::Storage::Text: {
        // Read as bytes, blob first: asking the size of a text first would
        // turn it into UTF-8.
        if (type != SQLITE_TEXT)
            return false;
        const QStringView text = t.text(cell);
        const std::size_t bytes = std::size_t(text.size()) * sizeof(char16_t);
        const void *data = sqlite3_value_blob(v);
        return std::size_t(sqlite3_value_bytes(v)) == bytes
            && (bytes == 0 || data == text.utf16() || std::memcmp(data, text.utf16(), bytes) == 0);
    }
    case ColumnValues::Storage::Bytes: {
        if (type != SQLITE_BLOB)
            return false;
        const QByteArray &b = t.blobs[std::size_t(cell.integer)];
        const void *data = sqlite3_value_blob(v);
        return sqlite3_value_bytes(v) == b.size()
            && (b.isEmpty() || std::memcmp(data, b.constData(), std::size_t(b.size())) == 0);
    }
    case ColumnValues::Storage::Variant:
        break;
    }
    return false;
}

QVariant variantOf(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return qlonglong(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf16(static_cast<const char16_t *>(sqlite3_value_text16(v)), sqlite3_value_bytes16(v) / 2);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default: return {};
    }
}

} // namespace

// Where a result column's text comes from: still open (only NULL or empty
// texts so far), a table of the snapshot, or copies.
struct ResultBuilder::TextSource {
    std::uintptr_t begin = 0, end = 0;   // the table's characters, when shared
    bool copied = false;
    DistinctTexts distinct;   // among the copies
};

ResultBuilder::ResultBuilder(sqlite3_stmt *stmt, ResultTable &result, std::vector<ColumnValues> columns,
                             std::shared_ptr<const LongValueReader> longValues, const Tables &tables,
                             const Tables &named, const OpenScans &scans)
    : m_stmt(stmt)
    , m_result(result)
    , m_data(result.m_data)
    , m_sources(result.m_sources)
    , m_tables(tables)
    , m_scans(scans)
{
    m_data = std::move(columns);
    result.m_longValues = std::move(longValues);
    for (std::size_t c = 0; c < m_data.size(); ++c)
        m_texts.push_back(std::make_unique<TextSource>());
    findSources(named);
    reserve();
    m_sourceRow.assign(m_sources.size(), -1);
    m_sourceUsers.assign(m_sources.size(), 0);
    m_keys.assign(m_sources.size(), Key{});
    m_keySearches.assign(m_sources.size(), 0);
    findKeys();
}

ResultBuilder::~ResultBuilder() = default;

// Which result columns are plain columns of one of the snapshot's tables:
// these start out as sources, one per table.
void ResultBuilder::findSources(const Tables &named)
{
    for (int c = 0; c < int(m_data.size()); ++c) {
        const auto *table = static_cast<const char16_t *>(sqlite3_column_table_name16(m_stmt, c));
        const auto *origin = static_cast<const char16_t *>(sqlite3_column_origin_name16(m_stmt, c));
        if (!table || !origin)
            continue;
        const std::shared_ptr<JetTable> t = named.value(QStringView(table).toString().toLower());
        if (!t)
            continue;
        const QStringView name(origin);
        int column = 0;
        while (column < int(t->columns.size()) && t->columns[std::size_t(column)].name.compare(name, Qt::CaseInsensitive) != 0)
            ++column;
        ColumnValues &col = m_data[std::size_t(c)];
        if (column == int(t->columns.size()) || t->storage[std::size_t(column)] != col.storage)
            continue;
        auto source = std::find_if(m_sources.begin(), m_sources.end(),
                                   [&](const ResultTable::Source &s) { return s.table == t; });
        if (source == m_sources.end())
            source = m_sources.insert(m_sources.end(), ResultTable::Source{t, {}});
        col.source = int(source - m_sources.begin());
        col.tableColumn = column;
    }
}

// Room for as many rows as the largest table holds, taken at once: the
// arrays of a large result would otherwise be copied at each doubling, and
// room never written takes no memory.
void ResultBuilder::reserve()
{
    std::size_t expected = 0;
    for (const auto &table : m_tables)
        expected = std::max(expected, std::size_t(table->rows));
    for (ColumnValues &col : m_data)
        if (col.source < 0)
            col.reserve(expected);
    for (ResultTable::Source &source : m_sources)
        source.rows.reserve(expected);
}

// When the result holds a source's ID, the row is also found by it: a
// union's rows come out of SQLite's own temporary table, after the scans.
void ResultBuilder::findKeys()
{
    for (int c = 0; c < int(m_data.size()); ++c) {
        const ColumnValues &col = m_data[std::size_t(c)];
        if (col.source < 0)
            continue;
        ++m_sourceUsers[std::size_t(col.source)];
        Key &key = m_keys[std::size_t(col.source)];
        if (key.resultColumn < 0 && m_sources[std::size_t(col.source)].table->isKeyColumn(col.tableColumn))
            key = {c, col.tableColumn, nullptr};
    }
}

// A source whose ID the result does not hold may be found by another
// integer column that the query joins to it (a debt names its worker by
// "ID_People"). When a source's row does not give a value, each integer
// column is tried as its ID, and kept if its row gives every value of the
// source in this result row; a few tries per source, then the column holds
// its values itself.
int ResultBuilder::searchKey(std::size_t s)
{
    constexpr int kKeySearches = 4;
    if (m_keySearches[s]++ == kKeySearches)
        return -1;
    const JetTable &t = *m_sources[s].table;
    int id = 0;
    while (id < int(t.columns.size()) && !t.isKeyColumn(id))
        ++id;
    if (id == int(t.columns.size()))
        return -1;
    const JetTable::KeyList &list = t.keyList(id);
    const int columnCount = int(m_data.size());
    for (int c = 0; c < columnCount; ++c) {
        sqlite3_value *v = sqlite3_column_value(m_stmt, c);
        if (c == m_keys[s].resultColumn || sqlite3_value_type(v) != SQLITE_INTEGER)
            continue;
        const auto [begin, end] = list.run(sqlite3_value_int64(v));
        if (end - begin != 1)
            continue;
        const int row = list.pairs[begin].second;
        bool gives = true;
        for (int k = 0; k < columnCount && gives; ++k)
            if (m_data[std::size_t(k)].source == int(s))
                gives = sameValue(sqlite3_column_value(m_stmt, k), t, row, m_data[std::size_t(k)].tableColumn);
        if (gives) {
            m_keys[s] = {c, id, &list};
            return row;
        }
    }
    return -1;
}

// The row of source `s` the result row names by its ID, when the result
// holds the ID; else the scan's row.
int ResultBuilder::rowNamedByKey(std::size_t s, int row)
{
    Key &key = m_keys[s];
    if (key.resultColumn < 0)
        return row;
    const JetTable &t = *m_sources[s].table;
    sqlite3_value *v = sqlite3_column_value(m_stmt, key.resultColumn);
    if (sqlite3_value_type(v) != SQLITE_INTEGER)
        return row;
    const qint64 id = sqlite3_value_int64(v);
    if (row >= 0) {
        const JetTable::Row cells = t.rowCells(row);
        if (!t.isNull(cells, key.tableColumn) && qint32(t.cell(cells, key.tableColumn).integer) == id)
            return row;
    }
    if (!key.list)
        key.list = &t.keyList(key.tableColumn);
    const auto [begin, end] = key.list->run(id);
    return end - begin == 1 ? key.list->pairs[begin].second : -1;
}

void ResultBuilder::addRow()
{
    for (std::size_t s = 0; s < m_sources.size(); ++s)
        m_sourceRow[s] = m_sourceUsers[s] > 0 ? rowNamedByKey(s, m_scans.rowOf(m_sources[s].table.get())) : -1;
    for (int c = 0; c < int(m_data.size()); ++c) {
        // One statement call per value; the sqlite3_value_* readers that
        // follow skip the statement's checks and mutex.
        sqlite3_value *v = sqlite3_column_value(m_stmt, c);
        if (m_data[std::size_t(c)].source >= 0 && fromSource(c, v))
            continue;
        appendValue(c, v);
    }
    for (std::size_t s = 0; s < m_sources.size(); ++s)
        if (m_sourceUsers[s] > 0)
            m_sources[s].rows.push_back(quint32(m_sourceRow[s]));
    ++m_rows;
}

// Whether a source column's value is its source row's; when it is not (a
// sort or a union came between), the column holds its values itself from
// here on.
bool ResultBuilder::fromSource(int column, sqlite3_value *v)
{
    const ColumnValues &col = m_data[std::size_t(column)];
    const std::size_t s = std::size_t(col.source);
    const int row = m_sourceRow[s];
    if (row >= 0 && sameValue(v, *m_sources[s].table, row, col.tableColumn))
        return true;
    if (const int found = searchKey(s); found >= 0) {
        m_sourceRow[s] = found;
        return true;
    }
    keepValues(column);
    --m_sourceUsers[s];
    return false;
}

// Turns a source column into one that holds its values, those of the rows
// so far read from its table.
void ResultBuilder::keepValues(int column)
{
    ColumnValues &col = m_data[std::size_t(column)];
    const ResultTable::Source &source = m_sources[std::size_t(col.source)];
    const JetTable &t = *source.table;
    const int tableColumn = col.tableColumn;
    col.source = -1;
    col.tableColumn = -1;
    col.reserve(source.rows.capacity());
    for (const quint32 r : source.rows) {
        const JetTable::Row cells = t.rowCells(int(r));
        const bool null = t.isNull(cells, tableColumn);
        const JetTable::Cell cell = t.cell(cells, tableColumn);
        col.nulls.push_back(null ? 1 : 0);
        switch (col.storage) {
        case ColumnValues::Storage::Integer: col.integers.push_back(null ? 0 : qint32(cell.integer)); break;
        case ColumnValues::Storage::Real: col.reals.push_back(null ? 0.0 : cell.real); break;
        case ColumnValues::Storage::LongValue: col.references.push_back(null ? 0 : cell.integer); break;
        case ColumnValues::Storage::Bytes:
            col.bytes.push_back(null ? QByteArray() : t.blobs[std::size_t(cell.integer)]);
            break;
        case ColumnValues::Storage::Text: {
            const QStringView value = null ? QStringView() : t.text(cell);
            appendText(col, *m_texts[std::size_t(column)], value.utf16(), std::size_t(value.size()));
            break;
        }
        case ColumnValues::Storage::Variant: col.variants.emplace_back(); break;
        }
    }
}

void ResultBuilder::appendValue(int column, sqlite3_value *v)
{
    ColumnValues &col = m_data[std::size_t(column)];
    const int type = sqlite3_value_type(v);
    const bool null = type == SQLITE_NULL;
    col.nulls.push_back(null ? 1 : 0);
    switch (col.storage) {
    case ColumnValues::Storage::Integer:
        col.integers.push_back(null ? 0 : qint32(sqlite3_value_int64(v)));
        break;
    case ColumnValues::Storage::Real:
        col.reals.push_back(null ? 0.0 : sqlite3_value_double(v));
        break;
    case ColumnValues::Storage::Text: {
        const void *data = nullptr;
        std::size_t units = 0;
        if (!null) {
            // Text and blobs are read as their bytes: text is already
            // UTF-16LE (the database's encoding), and asking for it as text
            // would first copy it to append a terminator.
            const bool raw = type == SQLITE_TEXT || type == SQLITE_BLOB;
            data = raw ? sqlite3_value_blob(v) : sqlite3_value_text16(v);
            units = std::size_t(raw ? sqlite3_value_bytes(v) : sqlite3_value_bytes16(v)) / 2;
        }
        appendText(col, *m_texts[std::size_t(column)], data, units);
        break;
    }
    case ColumnValues::Storage::LongValue:
        col.references.push_back(null ? 0 : sqlite3_value_int64(v));
        break;
    case ColumnValues::Storage::Bytes:
        col.bytes.push_back(null ? QByteArray()
                                 : QByteArray(static_cast<const char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v)));
        break;
    case ColumnValues::Storage::Variant:
        col.variants.push_back(variantOf(v));
        break;
    }
}

// Keeps one text value of a result row. A value that lies in a table's
// characters (read straight from a scan, SQLITE_STATIC) is kept as a
// reference into them; the first one that does not (built by SQLite, or
// from another table) turns the column into copies.
void ResultBuilder::appendText(ColumnValues &col, TextSource &source, const void *data, std::size_t units) const
{
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    if (!col.shared && !source.copied && units > 0) {
        for (const auto &table : m_tables) {
            const auto begin = reinterpret_cast<std::uintptr_t>(table->chars.data());
            const auto end = begin + table->chars.size() * sizeof(char16_t);
            if (at >= begin && at < end) {
                col.shared = table->chars.data();   // earlier rows are all (0, 0)
                col.sharedOwner = table;
                source.begin = begin;
                source.end = end;
                break;
            }
        }
        source.copied = !col.shared;
    }
    if (units == 0) {
        col.offsets.push_back(0);
        col.lengths.push_back(0);
        return;
    }
    if (col.shared) {
        if (at >= source.begin && at + units * sizeof(char16_t) <= source.end) {
            col.offsets.push_back(quint32((at - source.begin) / sizeof(char16_t)));
            col.lengths.push_back(quint32(units));
            return;
        }
        // From elsewhere: copy what is referenced so far, then go on copying.
        for (std::size_t r = 0; r < col.offsets.size(); ++r) {
            const quint32 start = quint32(col.chars.size());
            col.chars.insert(col.chars.end(), col.shared + col.offsets[r], col.shared + col.offsets[r] + col.lengths[r]);
            col.offsets[r] = start;
        }
        col.shared = nullptr;
        col.sharedOwner.reset();
        source.copied = true;
    }
    col.offsets.push_back(source.distinct.keep(col.chars, data, units));
    col.lengths.push_back(quint32(units));
}

void ResultBuilder::finish()
{
    for (std::size_t s = 0; s < m_sources.size(); ++s) {
        if (m_sourceUsers[s] == 0)
            m_sources[s] = {};   // every column copied its values
        else
            m_sources[s].rows.shrink_to_fit();
    }
    m_result.m_rows = m_rows;
}

} // namespace db
