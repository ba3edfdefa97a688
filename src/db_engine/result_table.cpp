#include "result_table.h"

#include "jet_tables.h"

namespace db {

QString columnKindName(ColumnKind kind)
{
    // Named as the data-access layer of the original platform names field
    // types, so that type-mismatch messages read the same.
    switch (kind) {
    case ColumnKind::Boolean: return QStringLiteral("Boolean");
    case ColumnKind::Byte: return QStringLiteral("Word");
    case ColumnKind::Integer16: return QStringLiteral("Smallint");
    case ColumnKind::Integer32: return QStringLiteral("Integer");
    case ColumnKind::AutoIncrement: return QStringLiteral("AutoInc");
    case ColumnKind::Currency: return QStringLiteral("Currency");
    case ColumnKind::Single: return QStringLiteral("Float");
    case ColumnKind::Double: return QStringLiteral("Float");
    case ColumnKind::Numeric: return QStringLiteral("BCD");
    case ColumnKind::DateTime: return QStringLiteral("DateTime");
    case ColumnKind::Text: return QStringLiteral("WideString");
    case ColumnKind::Memo: return QStringLiteral("WideMemo");
    case ColumnKind::Binary: return QStringLiteral("VarBytes");
    case ColumnKind::OLE: return QStringLiteral("Blob");
    case ColumnKind::Guid: return QStringLiteral("Guid");
    case ColumnKind::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

ColumnValues::Storage ColumnValues::storageFor(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Boolean:
    case ColumnKind::Byte:
    case ColumnKind::Integer16:
    case ColumnKind::Integer32:
    case ColumnKind::AutoIncrement:
        return Storage::Integer;
    case ColumnKind::Currency:
    case ColumnKind::Single:
    case ColumnKind::Double:
    case ColumnKind::Numeric:
    case ColumnKind::DateTime:
        return Storage::Real;
    case ColumnKind::Text:
    case ColumnKind::Memo:
    case ColumnKind::Guid:
        return Storage::Text;
    case ColumnKind::Binary:
    case ColumnKind::OLE:
        return Storage::Bytes;
    case ColumnKind::Unknown:
        break;
    }
    return Storage::Variant;
}

void ColumnValues::reserve(std::size_t rows)
{
    nulls.reserve(rows);
    switch (storage) {
    case Storage::Integer: integers.reserve(rows); break;
    case Storage::Real: reals.reserve(rows); break;
    case Storage::Text:
        offsets.reserve(rows);
        lengths.reserve(rows);
        break;
    case Storage::Bytes: bytes.reserve(rows); break;
    case Storage::LongValue: references.reserve(rows); break;
    case Storage::Variant: variants.reserve(rows); break;
    }
}

// The value a source column holds for `row` (a JetTable::Cell); false for NULL.
bool ResultTable::sourceCell(int row, const ColumnValues &c, void *cell) const
{
    const Source &s = m_sources[std::size_t(c.source)];
    const JetTable::Row cells = s.table->rowCells(int(s.rows.at(std::size_t(row))));
    if (s.table->isNull(cells, c.tableColumn))
        return false;
    *static_cast<JetTable::Cell *>(cell) = s.table->cell(cells, c.tableColumn);
    return true;
}

ColumnCells ResultTable::cells(int column) const
{
    const ColumnValues &c = m_data.at(std::size_t(column));
    ColumnCells cells;
    using Storage = ColumnValues::Storage;
    if (c.storage != Storage::Integer && c.storage != Storage::Real && c.storage != Storage::Text)
        return cells;
    cells.m_direct = true;
    cells.m_integers = c.storage == Storage::Integer;
    if (c.source >= 0) {
        const Source &s = m_sources[std::size_t(c.source)];
        const JetTable &table = *s.table;
        cells.m_inTable = true;
        cells.m_tableRowCount = table.rows;
        cells.m_tableRows = s.rows.data();
        cells.m_words = table.words.data();
        cells.m_stride = table.stride;
        cells.m_nullWord = unsigned(c.tableColumn) / 32;
        cells.m_nullMask = 1u << (unsigned(c.tableColumn) % 32);
        cells.m_at = table.columnAt[std::size_t(c.tableColumn)];
        cells.m_chars = table.chars.data();
        return cells;
    }
    cells.m_nulls = c.nulls.data();
    cells.m_integerValues = c.integers.data();
    cells.m_reals = c.reals.data();
    cells.m_offsets = c.offsets.data();
    cells.m_lengths = c.lengths.data();
    cells.m_chars = c.shared ? c.shared : c.chars.data();
    return cells;
}

bool ResultTable::isNull(int row, int column) const
{
    const ColumnValues &c = m_data.at(column);
    JetTable::Cell cell;
    if (c.source >= 0)
        return !sourceCell(row, c, &cell);
    return c.nulls.at(row) != 0;
}

qint32 ResultTable::integerAt(int row, int column) const
{
    if (m_data.at(column).storage != ColumnValues::Storage::Integer)
        return value(row, column).toInt();
    const ColumnValues &c = m_data[column];
    if (c.source >= 0) {
        JetTable::Cell cell;
        return sourceCell(row, c, &cell) ? qint32(cell.integer) : 0;
    }
    return c.nulls.at(row) ? 0 : c.integers[row];
}

double ResultTable::realAt(int row, int column) const
{
    const ColumnValues &c = m_data.at(column);
    if (c.source >= 0) {
        JetTable::Cell cell;
        if (!sourceCell(row, c, &cell))
            return 0;
        switch (c.storage) {
        case ColumnValues::Storage::Real: return cell.real;
        case ColumnValues::Storage::Integer: return qint32(cell.integer);
        default: return value(row, column).toDouble();
        }
    }
    if (c.nulls.at(row))
        return 0;
    switch (c.storage) {
    case ColumnValues::Storage::Real: return c.reals[row];
    case ColumnValues::Storage::Integer: return c.integers[row];
    default: return value(row, column).toDouble();
    }
}

QStringView ResultTable::textAt(int row, int column) const
{
    const ColumnValues &c = m_data.at(column);
    if (c.storage != ColumnValues::Storage::Text)
        return {};
    if (c.source >= 0) {
        JetTable::Cell cell;
        return sourceCell(row, c, &cell) ? m_sources[std::size_t(c.source)].table->text(cell) : QStringView();
    }
    if (c.nulls.at(row))
        return {};
    return QStringView((c.shared ? c.shared : c.chars.data()) + c.offsets[row], qsizetype(c.lengths[row]));
}

QVariant ResultTable::value(int row, int column) const
{
    const ColumnValues &c = m_data.at(column);
    qint64 integer = 0;   // Integer, LongValue and Bytes (an index into the table's blobs)
    double real = 0;
    if (c.source >= 0) {
        JetTable::Cell cell;
        if (!sourceCell(row, c, &cell))
            return {};
        integer = c.storage == ColumnValues::Storage::Integer ? qint32(cell.integer) : cell.integer;
        real = c.storage == ColumnValues::Storage::Real ? cell.real : 0;
    } else if (c.nulls.at(row)) {
        return {};
    } else {
        switch (c.storage) {
        case ColumnValues::Storage::Integer: integer = c.integers[row]; break;
        case ColumnValues::Storage::Real: real = c.reals[row]; break;
        case ColumnValues::Storage::LongValue: integer = c.references[row]; break;
        default: break;
        }
    }
    switch (c.storage) {
    case ColumnValues::Storage::Integer:
        if (columns.at(column).kind == ColumnKind::Boolean)
            return QVariant(integer != 0);
        return QVariant(qint32(integer));
    case ColumnValues::Storage::Real:
        return QVariant(real);
    case ColumnValues::Storage::Text:
        return QVariant(textAt(row, column).toString());
    case ColumnValues::Storage::Bytes:
        if (c.source >= 0)
            return QVariant(m_sources[std::size_t(c.source)].table->blobs.at(std::size_t(integer)));
        return QVariant(c.bytes[row]);
    case ColumnValues::Storage::LongValue:
        return m_longValues ? m_longValues->readLongValue(integer, columns[column].kind) : QVariant();
    case ColumnValues::Storage::Variant:
        return c.source >= 0 ? QVariant() : c.variants[row];
    }
    return {};
}

} // namespace db
