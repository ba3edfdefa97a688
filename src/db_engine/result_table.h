// ResultTable: the rows a query returned, held in memory, with the kind of
// each result column as the database declared it.
//
// Values are kept column by column in compact typed arrays (a query over the
// whole stock returns about a million rows), not as one QVariant per cell.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace db {

struct JetTable;

// Kinds of stored columns, named as Jet knows them; a data set field checks
// its column against these when it binds.
enum class ColumnKind {
    Boolean, Byte, Integer16, Integer32, AutoIncrement, Currency, Single, Double,
    Numeric, DateTime, Text, Memo, Binary, OLE, Guid, Unknown
};

QString columnKindName(ColumnKind kind);  // the name used in type-mismatch messages

struct ResultColumn {
    QString name;     // as the query names it (alias or column name)
    ColumnKind kind = ColumnKind::Unknown;
};

// Reads memo and OLE values when they are first asked for; a query's rows
// then carry only a reference to where each value is stored.
class LongValueReader {
public:
    virtual ~LongValueReader() = default;
    virtual QVariant readLongValue(qint64 reference, ColumnKind kind) const = 0;  // QString or QByteArray
};

// One column's values. Which array is used follows from the column's kind.
struct ColumnValues {
    enum class Storage { Integer, Real, Text, Bytes, LongValue, Variant };
    Storage storage = Storage::Variant;
    std::vector<std::uint8_t> nulls;        // 1 = NULL, one per row
    std::vector<qint32> integers;           // Integer
    std::vector<double> reals;              // Real
    // Text: each value is `lengths[row]` characters from `offsets[row]` in
    // `chars`, where equal values may share one copy. Text read straight from
    // a table of the snapshot is not copied at all: the values stay in that
    // table's characters (`shared`, kept alive by `sharedOwner`).
    std::vector<char16_t> chars;
    std::vector<quint32> offsets;
    std::vector<quint32> lengths;
    const char16_t *shared = nullptr;
    std::shared_ptr<const void> sharedOwner;
    std::vector<QByteArray> bytes;          // Bytes
    std::vector<qint64> references;         // LongValue: for the table's LongValueReader
    std::vector<QVariant> variants;         // Variant (columns of no declared kind)
    // Values left in a table of the snapshot: row r's value is column
    // `tableColumn` of the table row that source `source` gives for r. The
    // arrays above (`nulls` too) are then empty.
    int source = -1;
    int tableColumn = -1;

    static Storage storageFor(ColumnKind kind);
    void reserve(std::size_t rows);
};

// One column's values read in place, row by row: what a pass over every
// row (a sort's ranking, a search) reads without value()'s conversions and
// look-ups per call. Made by ResultTable::cells(); valid while the table
// lives. Reads Integer, Real and Text storage only (see direct()).
class ColumnCells {
public:
    bool direct() const { return m_direct; }
    bool holdsIntegers() const { return m_integers; }   // read by integer(), else by real() or text()
    // Values left in a table of the snapshot: the table's row that a result
    // row reads, and the same column read over the table's own rows, in the
    // table's order (a search reads them in turn, not all over the table).
    bool inTable() const { return m_inTable; }
    int tableRowOf(int row) const { return int(m_tableRows[row]); }
    ColumnCells tableOrder() const
    {
        ColumnCells cells = *this;
        cells.m_tableRows = nullptr;
        return cells;
    }
    int tableRowCount() const { return m_tableRowCount; }
    // A pass over the rows asks for a row some rows ahead of the one it
    // reads: the rows of a table of the snapshot lie in the table's order,
    // not the result's, and each would otherwise be a wait on memory.
    static constexpr int kAhead = 16;
    void prefetch(int row) const
    {
        if (m_inTable)
            __builtin_prefetch(tableCells(row));
    }
    bool isNull(int row) const
    {
        if (m_inTable) {
            const quint32 *cells = tableCells(row);
            return (cells[m_nullWord] & m_nullMask) != 0;
        }
        return m_nulls[row] != 0;
    }
    // Integer storage; 0 for NULL.
    qint32 integer(int row) const
    {
        if (m_inTable)
            return qint32(tableCells(row)[m_at]);
        return m_integerValues[row];
    }
    // Real storage.
    double real(int row) const
    {
        double v;
        if (m_inTable)
            std::memcpy(&v, tableCells(row) + m_at, sizeof v);
        else
            v = m_reals[row];
        return v;
    }
    // Text storage. Equal texts often share their characters, and then
    // their views share a data pointer; every empty text shares one.
    QStringView text(int row) const
    {
        if (m_inTable) {
            const quint32 *at = tableCells(row) + m_at;
            return at[1] ? QStringView(m_chars + at[0], qsizetype(at[1])) : QStringView(u"", 0);
        }
        const quint32 length = m_lengths[row];
        return length ? QStringView(m_chars + m_offsets[row], qsizetype(length)) : QStringView(u"", 0);
    }

private:
    friend class ResultTable;
    const quint32 *tableCells(int row) const
    {
        return m_words + std::size_t(m_tableRows ? m_tableRows[row] : quint32(row)) * m_stride;
    }

    bool m_direct = false;
    bool m_integers = false;
    bool m_inTable = false;
    int m_tableRowCount = 0;
    // Values left in a table of the snapshot: its row for each result row,
    // its rows of `m_stride` words, where the NULL flag and the value lie.
    const quint32 *m_tableRows = nullptr;
    const quint32 *m_words = nullptr;
    std::size_t m_stride = 0;
    std::size_t m_nullWord = 0;
    quint32 m_nullMask = 0;
    std::size_t m_at = 0;
    // Values of the result itself.
    const std::uint8_t *m_nulls = nullptr;
    const qint32 *m_integerValues = nullptr;
    const double *m_reals = nullptr;
    const quint32 *m_offsets = nullptr;
    const quint32 *m_lengths = nullptr;
    const char16_t *m_chars = nullptr;   // both: where texts lie
};

// Values: QVariant() for NULL; bool; qint32 for Byte/Integer16/Integer32/
// AutoIncrement; double for Single, Double, Currency, Numeric and DateTime
// (DateTime as Access's day count, see date_value.h); QString for Text/Memo.
class ResultTable {
public:
    std::vector<ResultColumn> columns;
    int rowCount() const { return m_rows; }
    QVariant value(int row, int column) const;

    // Typed reads without a QVariant; a NULL reads as 0 / empty.
    bool isNull(int row, int column) const;
    qint32 integerAt(int row, int column) const;
    double realAt(int row, int column) const;
    QStringView textAt(int row, int column) const;  // valid while the table lives
    ColumnCells cells(int column) const;

private:
    friend class ResultBuilder;   // fills the storage, which is the engine's choice

    std::vector<ColumnValues> m_data;
    // A table of the snapshot and, per result row, the row of it that the
    // result's columns of that table read. A plain join's rows are made of
    // its tables' rows: naming them costs far less than copying values.
    struct Source {
        std::shared_ptr<const JetTable> table;
        std::vector<quint32> rows;
    };
    std::vector<Source> m_sources;
    std::shared_ptr<const LongValueReader> m_longValues;
    int m_rows = 0;

    bool sourceCell(int row, const ColumnValues &c, void *cell) const;
};

} // namespace db
