#include "sql_store.h"

#include "db_error.h"
#include "declared_types.h"
#include "text_order.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include <algorithm>

#include <cstdint>
#include <cstring>

namespace db {
namespace {

constexpr char kCollation[] = "JETTEXT";

int collate(void *, int n1, const void *s1, int n2, const void *s2)
{
    return compareDatabaseText(QStringView(static_cast<const char16_t *>(s1), n1 / 2),
                       QStringView(static_cast<const char16_t *>(s2), n2 / 2));
}

// The patterns below are per thread: two stores may run queries at once.

// SQLite names an unaliased result column after the table's column ("Kod")
// where Jet keeps the spelling of the query ("S.KoD" gives "KoD"). The
// written names of the first SELECT's list, where they can be told simply.
QStringList writtenColumnNames(const QString &sql)
{
    static thread_local const QRegularExpression head(QStringLiteral("^\\s*SELECT\\s+"), QRegularExpression::CaseInsensitiveOption);
    const auto m = head.match(sql);
    if (!m.hasMatch())
        return {};
    QStringList items;
    QString item;
    int depth = 0;
    QChar quote;
    for (qsizetype i = m.capturedEnd(); i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c == QLatin1Char(',')) {
            items << item;
            item.clear();
            continue;
        } else if (depth == 0 && c.isSpace()) {
            static thread_local const QRegularExpression from(QStringLiteral("^\\s+FROM\\b"), QRegularExpression::CaseInsensitiveOption);
            if (from.match(QStringView(sql).mid(i)).hasMatch())
                break;
        }
        item += c;
    }
    items << item;
    static thread_local const QRegularExpression plain(QStringLiteral(
        "^(?:.*\\s+AS\\s+|(?:[\\w\\[\\]\"]+\\.))?\\[?\"?(\\w+)\"?\\]?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList names;
    for (const QString &it : std::as_const(items)) {
        const auto n = plain.match(it.trimmed());
        names << (n.hasMatch() ? n.captured(1) : QString());
    }
    return names;
}

struct Statement {
    sqlite3_stmt *s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

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

} // namespace

// Where a result column's text comes from: still open (only NULL or empty
// texts so far), a table of the snapshot, or copies.
struct SqlStore::TextSource {
    std::uintptr_t begin = 0, end = 0;   // the table's characters, when shared
    bool copied = false;
    DistinctTexts distinct;   // among the copies
};

// Keeps one text value of a result row. A value that lies in a table's
// characters (read straight from a scan, SQLITE_STATIC) is kept as a
// reference into them; the first one that does not (built by SQLite, or
// from another table) turns the column into copies.
void SqlStore::appendText(ColumnValues &col, TextSource &source, const void *data, std::size_t units) const
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

SqlStore::SqlStore()
{
    // A private in-memory database. What a query needs for a while (a
    // union's temporary B-tree, tens of megabytes on a large stock) goes to
    // a temporary file that SQLite deletes as soon as it has made it: the
    // system's file cache holds it, not this process, which keeps its memory
    // for the data sets. Nothing is written beside the database file.
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY
                            | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Error(QStringLiteral("Cannot create the query engine."));
    }
    sqlite3_exec(m_db,
                 "PRAGMA page_size=65536; PRAGMA encoding='UTF-16le'; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "PRAGMA temp_store=FILE; PRAGMA cache_size=-1000000; PRAGMA temp.page_size=65536; PRAGMA temp.cache_size=-8000;",
                 nullptr, nullptr, nullptr);
    // ATTACH counts as read-only to SQLite but would create a file.
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_create_collation_v2(m_db, kCollation, SQLITE_UTF16_ALIGNED, nullptr, collate, nullptr);
    registerJetModule(m_db, &m_tables, &m_scans);
}

SqlStore::~SqlStore()
{
    sqlite3_close(m_db);
}

// Which result columns are plain columns of one of the snapshot's tables:
// these start out as sources (see ResultTable::Source), one per table.
void SqlStore::findSources(sqlite3_stmt *stmt, ResultTable &result) const
{
    for (int c = 0; c < int(result.data.size()); ++c) {
        const auto *table = static_cast<const char16_t *>(sqlite3_column_table_name16(stmt, c));
        const auto *origin = static_cast<const char16_t *>(sqlite3_column_origin_name16(stmt, c));
        if (!table || !origin)
            continue;
        const std::shared_ptr<JetTable> t = m_named.value(QStringView(table).toString().toLower());
        if (!t)
            continue;
        const QStringView name(origin);
        int column = 0;
        while (column < int(t->columns.size()) && t->columns[std::size_t(column)].name.compare(name, Qt::CaseInsensitive) != 0)
            ++column;
        ColumnValues &col = result.data[std::size_t(c)];
        if (column == int(t->columns.size()) || t->storage[std::size_t(column)] != col.storage)
            continue;
        auto source = std::find_if(result.sources.begin(), result.sources.end(),
                                   [&](const ResultTable::Source &s) { return s.table == t; });
        if (source == result.sources.end())
            source = result.sources.insert(result.sources.end(), ResultTable::Source{t, {}});
        col.source = int(source - result.sources.begin());
        col.tableColumn = column;
    }
}

// Turns a source column into one that holds its values, those of the rows
// so far read from its table.
void SqlStore::keepValues(ColumnValues &col, TextSource &text, const ResultTable::Source &source) const
{
    const JetTable &t = *source.table;
    const int column = col.tableColumn;
    col.source = -1;
    col.tableColumn = -1;
    col.reserve(source.rows.capacity());
    for (const quint32 r : source.rows) {
        const JetTable::Row cells = t.rowCells(int(r));
        const bool null = t.isNull(cells, column);
        const JetTable::Cell cell = t.cell(cells, column);
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
            appendText(col, text, value.utf16(), std::size_t(value.size()));
            break;
        }
        case ColumnValues::Storage::Variant: col.variants.emplace_back(); break;
        }
    }
}

void SqlStore::setProgressHandler(std::function<void(const QString &, int)> handler)
{
    m_progress = std::move(handler);
    if (!m_progress) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    // About every few milliseconds of a query.
    sqlite3_progress_handler(m_db, 200000, [](void *store) {
        static_cast<SqlStore *>(store)->m_progress(QString(), -1);
        return 0;
    }, this);
}

void SqlStore::attach(const QString &table, std::shared_ptr<JetTable> data)
{
    const QString key = QStringLiteral("t%1").arg(m_tables.size());
    m_named.insert(table.toLower(), data);
    m_tables.insert(key, std::move(data));
    const QString create = QStringLiteral("CREATE VIRTUAL TABLE %1 USING jet(%2)").arg(quotedIdentifier(table), key);
    if (sqlite3_exec(m_db, create.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Error(QStringLiteral("Cannot load table '%1' (%2).").arg(table, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void SqlStore::interrupt()
{
    sqlite3_interrupt(m_db);
}

bool SqlStore::query(const QString &sql, ResultTable &result, QString &missingTable,
                     const std::shared_ptr<const LongValueReader> &longValues)
{
    Statement stmt;
    const void *tail = nullptr;
    if (sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * 2), &stmt.s, &tail) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        static thread_local const QRegularExpression noTable(QStringLiteral("^no such table: (?:\\w+\\.)?(.+)$"));
        static thread_local const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
        if (const auto m = noTable.match(message); m.hasMatch()) {
            missingTable = m.captured(1);
            return false;
        }
        if (const auto m = noColumn.match(message); m.hasMatch())
            throw Error(QStringLiteral("Unknown field name: '%1'.").arg(m.captured(1)));
        throw Error(QStringLiteral("Syntax error in query: %1.").arg(message));
    }
    if (!stmt.s)
        throw Error(QStringLiteral("The query text is empty."));
    if (!sqlite3_stmt_readonly(stmt.s))
        throw Error(QStringLiteral("Cannot update.  Database or object is read-only."));

    const int columnCount = sqlite3_column_count(stmt.s);
    result = ResultTable();
    result.longValues = longValues;
    result.columns.resize(columnCount);
    result.data.resize(columnCount);
    for (int c = 0; c < columnCount; ++c) {
        result.columns[c].name = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_name16(stmt.s, c)));
        const char *declared = sqlite3_column_decltype(stmt.s, c);
        result.columns[c].kind = kindOfDeclared(declared);
        result.data[c].storage = isLongValueReference(declared) ? ColumnValues::Storage::LongValue
                                                       : ColumnValues::storageFor(result.columns[c].kind);
    }

    const QStringList written = writtenColumnNames(sql);
    if (written.size() == columnCount)
        for (int c = 0; c < columnCount; ++c)
            if (written[c].compare(result.columns[c].name, Qt::CaseInsensitive) == 0)
                result.columns[c].name = written[c];

    findSources(stmt.s, result);
    // Room for as many rows as the largest table holds, taken at once: the
    // arrays of a large result would otherwise be copied at each doubling,
    // and room never written takes no memory.
    std::size_t expected = 0;
    for (const auto &table : std::as_const(m_tables))
        expected = std::max(expected, std::size_t(table->rows));
    for (ColumnValues &col : result.data)
        if (col.source < 0)
            col.reserve(expected);
    for (ResultTable::Source &source : result.sources)
        source.rows.reserve(expected);
    // Per source: the row its table's scan stands on now, and how many
    // columns still read through it.
    std::vector<int> sourceRow(result.sources.size(), -1);
    std::vector<int> sourceUsers(result.sources.size(), 0);
    // When the result holds a source's ID, the row is also found by it: a
    // union's rows come out of SQLite's own temporary table, after the scans.
    struct Key {
        int resultColumn = -1;
        int tableColumn = -1;
        const JetTable::KeyList *list = nullptr;
    };
    std::vector<Key> keys(result.sources.size());
    for (int c = 0; c < columnCount; ++c) {
        const ColumnValues &col = result.data[std::size_t(c)];
        if (col.source < 0)
            continue;
        ++sourceUsers[std::size_t(col.source)];
        Key &key = keys[std::size_t(col.source)];
        if (key.resultColumn < 0 && result.sources[std::size_t(col.source)].table->isKeyColumn(col.tableColumn))
            key = {c, col.tableColumn, nullptr};
    }
    // A source whose ID the result does not hold may be found by another
    // integer column that the query joins to it (a debt names its worker by
    // "ID_People"). When a source's row does not give a value, each integer
    // column is tried as its ID, and kept if its row gives every value of
    // the source in this result row; a few tries per source, then the
    // column holds its values itself.
    constexpr int kKeySearches = 4;
    std::vector<int> keySearches(result.sources.size(), 0);
    const auto searchKey = [&](std::size_t s) {
        if (keySearches[s]++ == kKeySearches)
            return -1;
        const JetTable &t = *result.sources[s].table;
        int id = 0;
        while (id < int(t.columns.size()) && !t.isKeyColumn(id))
            ++id;
        if (id == int(t.columns.size()))
            return -1;
        const JetTable::KeyList &list = t.keyList(id);
        for (int c = 0; c < columnCount; ++c) {
            sqlite3_value *v = sqlite3_column_value(stmt.s, c);
            if (c == keys[s].resultColumn || sqlite3_value_type(v) != SQLITE_INTEGER)
                continue;
            const auto [begin, end] = list.run(sqlite3_value_int64(v));
            if (end - begin != 1)
                continue;
            const int row = list.pairs[begin].second;
            bool gives = true;
            for (int k = 0; k < columnCount && gives; ++k)
                if (result.data[std::size_t(k)].source == int(s))
                    gives = sameValue(sqlite3_column_value(stmt.s, k), t, row, result.data[std::size_t(k)].tableColumn);
            if (gives) {
                keys[s] = {c, id, &list};
                return row;
            }
        }
        return -1;
    };
    const auto rowNamedByKey = [&](std::size_t s, int row) {
        Key &key = keys[s];
        if (key.resultColumn < 0)
            return row;
        const JetTable &t = *result.sources[s].table;
        sqlite3_value *v = sqlite3_column_value(stmt.s, key.resultColumn);
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
    };

    std::vector<TextSource> textSources(static_cast<std::size_t>(columnCount));
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(stmt.s)) == SQLITE_ROW) {
        for (std::size_t s = 0; s < result.sources.size(); ++s)
            sourceRow[s] = sourceUsers[s] > 0 ? rowNamedByKey(s, m_scans.rowOf(result.sources[s].table.get())) : -1;
        for (int c = 0; c < columnCount; ++c) {
            ColumnValues &col = result.data[c];
            // One statement call per value; the sqlite3_value_* readers that
            // follow skip the statement's checks and mutex.
            sqlite3_value *v = sqlite3_column_value(stmt.s, c);
            if (col.source >= 0) {
                const std::size_t s = std::size_t(col.source);
                const int row = sourceRow[s];
                if (row >= 0 && sameValue(v, *result.sources[s].table, row, col.tableColumn))
                    continue;
                if (const int found = searchKey(s); found >= 0) {
                    sourceRow[s] = found;
                    continue;
                }
                // Not the scan's row (a sort or a union came between):
                // from here on the column holds its values itself.
                keepValues(col, textSources[std::size_t(c)], result.sources[s]);
                --sourceUsers[s];
            }
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
                    // UTF-16LE (the database's encoding), and asking for it as
                    // text would first copy it to append a terminator.
                    const bool raw = type == SQLITE_TEXT || type == SQLITE_BLOB;
                    data = raw ? sqlite3_value_blob(v) : sqlite3_value_text16(v);
                    units = std::size_t(raw ? sqlite3_value_bytes(v) : sqlite3_value_bytes16(v)) / 2;
                }
                appendText(col, textSources[std::size_t(c)], data, units);
                break;
            }
            case ColumnValues::Storage::LongValue:
                col.references.push_back(null ? 0 : sqlite3_value_int64(v));
                break;
            case ColumnValues::Storage::Bytes:
                col.bytes.push_back(null ? QByteArray()
                                         : QByteArray(static_cast<const char *>(sqlite3_value_blob(v)),
                                                      sqlite3_value_bytes(v)));
                break;
            case ColumnValues::Storage::Variant:
                switch (type) {
                case SQLITE_INTEGER: col.variants.emplace_back(qlonglong(sqlite3_value_int64(v))); break;
                case SQLITE_FLOAT: col.variants.emplace_back(sqlite3_value_double(v)); break;
                case SQLITE_TEXT:
                    col.variants.emplace_back(QString::fromUtf16(static_cast<const char16_t *>(sqlite3_value_text16(v)),
                                                                 sqlite3_value_bytes16(v) / 2));
                    break;
                case SQLITE_BLOB:
                    col.variants.emplace_back(QByteArray(static_cast<const char *>(sqlite3_value_blob(v)),
                                                         sqlite3_value_bytes(v)));
                    break;
                default: col.variants.emplace_back(); break;
                }
                break;
            }
        }
        for (std::size_t s = 0; s < result.sources.size(); ++s)
            if (sourceUsers[s] > 0)
                result.sources[s].rows.push_back(quint32(sourceRow[s]));
        ++rows;
    }
    if (rc != SQLITE_DONE)
        throw Error(QStringLiteral("The query failed: %1.").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
    for (std::size_t s = 0; s < result.sources.size(); ++s) {
        if (sourceUsers[s] == 0)
            result.sources[s] = {};   // every column copied its values
        else
            result.sources[s].rows.shrink_to_fit();
    }
    result.dataRows = rows;
    return true;
}

} // namespace db
