// Tables of the .mdb snapshot as SQLite virtual tables.
//
// Each table is decoded once and handed to SQLite through the "jet" module:
// queries read the decoded rows in place instead of a copy of every row in
// SQLite's own storage. Equality on an ID column (the joins on ID) is
// answered from a sorted key list built on first use, so joins never scan
// the inner table. A scan can also hand out its rows already in an ORDER BY's
// order (sorted once per order and kept), which spares SQLite its sorter: a
// copy of every result row, then a merge sort.
//
// Rows are kept row by row, not column by column: look-ups and ordered scans
// visit rows all over the table, and a row's values side by side cost a few
// cache misses where separate column arrays cost several per column.
#pragma once

#include "distinct_texts.h"
#include "mdb_file.h"
#include "result_table.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

struct sqlite3;

namespace db {

struct JetTable {
    QString name;
    std::vector<StoredColumn> columns;
    std::vector<ColumnValues::Storage> storage;   // how each column's values are kept
    std::vector<bool> references;                 // column holds memo/OLE references
    int rows = 0;

    // One value. Integer: `integer` (a qint32 for the integer kinds, a
    // reference for LongValue); Real: `real`; Text: `text`, a run of `chars`;
    // Bytes: `integer` indexes `blobs`.
    union Cell {
        qint64 integer;
        double real;
        struct {
            quint32 begin, length;
        } text;
    };
    // Rows are `stride` words each: the NULL flags (a bit per column), then
    // each column's value at `columnAt`, in one word for the integer kinds
    // and blobs, in two for the others. A large stock holds hundreds of
    // thousands of rows, most of their values integers. Texts lie in `chars`,
    // a text that repeats in a column once.
    using Row = const quint32 *;
    std::size_t stride = 0;
    std::vector<quint32> columnAt;
    std::vector<quint32> words;
    std::vector<char16_t> chars;
    std::vector<QByteArray> blobs;

    Row rowCells(int row) const { return words.data() + std::size_t(row) * stride; }
    bool isNull(Row row, int column) const { return (row[unsigned(column) / 32] >> (unsigned(column) % 32)) & 1u; }
    Cell cell(Row row, int column) const
    {
        Cell c{};
        const quint32 *at = row + columnAt[std::size_t(column)];
        if (narrow(column))
            c.integer = qint32(*at);
        else
            std::memcpy(&c, at, sizeof c);
        return c;
    }
    // Whether a column's values take one word.
    bool narrow(int column) const
    {
        const ColumnValues::Storage s = storage[std::size_t(column)];
        return s == ColumnValues::Storage::Integer || s == ColumnValues::Storage::Bytes;
    }
    QStringView text(const Cell &c) const
    {
        return c.text.length ? QStringView(chars.data() + c.text.begin, qsizetype(c.text.length)) : QStringView(u"", 0);
    }

    struct KeyList {
        std::vector<std::pair<qint32, int>> pairs;   // (key, row) by key, rows in storage order
        std::size_t distinct = 0;
        // When the keys are dense (IDs mostly are): starts[k - low] is where
        // key k's run begins, so a look-up is two reads, not a search.
        qint64 low = 0;
        std::vector<quint32> starts;

        // The run [begin, end) of pairs holding `key`.
        std::pair<std::size_t, std::size_t> run(qint64 key) const;
    };
    // Per column, built when first needed.
    mutable std::vector<std::unique_ptr<KeyList>> keys;
    // Row orders by ORDER BY list (see rowOrder), built when first needed.
    mutable std::map<QByteArray, std::vector<int>> orders;
    // Two connections may read one table at once (see Connection::runAhead):
    // the lists above are built under this. Once built they never move.
    mutable std::mutex cacheMutex;

    const KeyList &keyList(int column) const;
    // Whether `column` is the table's ID, the key that joins look up.
    bool isKeyColumn(int column) const;

    // Whether the scan can deliver rows ordered by `column` (-1: the rowid)
    // exactly as SQLite would sort the values it reads from the column.
    bool canOrderBy(int column) const;
    // The rows in the order of `terms` ("3a,-1d": column and a/d), stable:
    // rows equal on every term keep their storage order, as in SQLite's sorter.
    const std::vector<int> &rowOrder(const QByteArray &terms) const;
};

// Reads one table of the file whole, telling how far it is. Throws Error.
std::unique_ptr<JetTable> readJetTable(MdbFile &file, const QString &name, const MdbFile::PageProgress &progress = {});

// The SQL type under which a column is declared (it names the Jet kind).
QString declaredColumn(const StoredColumn &column, bool reference, const char *collation);

// The scans open on one connection's tables. While a plain join runs, the
// row it returns is made of the rows its scans stand on, so a result can
// name those rows instead of copying their values.
class OpenScans {
public:
    // The row the one open scan of `table` stands on; -1 when none is open
    // on it, or more than one (a table joined to itself), or it is at its end.
    int rowOf(const JetTable *table) const;

    void opened(const void *cursor) { m_open.push_back(cursor); }
    void closed(const void *cursor);

private:
    std::vector<const void *> m_open;   // a statement opens a few at a time
};

// Registers the "jet" module; `tables` (module key -> table) and `scans`
// must outlive the connection.
void registerJetModule(sqlite3 *db, const QHash<QString, std::shared_ptr<JetTable>> *tables, OpenScans *scans);

} // namespace db
