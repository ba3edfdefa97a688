#include "jet_row.h"

#include <QtEndian>

#include <algorithm>

namespace db::jet {

RowSplitter::RowSplitter(const Format &format, std::vector<ColumnPlace> columns, bool hasVariableColumns)
    : m_format(format)
    , m_columns(std::move(columns))
    , m_hasVariableColumns(hasVariableColumns)
    , m_fields(m_columns.size())
{
}

// Jet 4: two bytes per offset, from just before the variable-column count
// backwards.
bool RowSplitter::readOffsets(const unsigned char *page, int start, int size, int maskSize, unsigned varColumns)
{
    const int end = start + size - 1;   // last byte
    if (maskSize + 3 + 2 * int(varColumns) + 2 > size)
        return false;
    for (unsigned i = 0; i <= varColumns; ++i)
        m_offsets[i] = qFromLittleEndian<quint16>(page + end - maskSize - 3 - 2 * int(i));
    return true;
}

// Jet 3: one byte per offset, and before them a table of jumps: the
// indexes of the offsets from which 256 more is added, one per 256 bytes
// of the row.
bool RowSplitter::readJet3Offsets(const unsigned char *page, int start, int size, int maskSize, unsigned varColumns)
{
    const int end = start + size - 1;
    unsigned jumps = unsigned(size - 1) / 256;
    const int columnPointer = end - maskSize - int(jumps) - 1;
    // The last jump is a dummy when the offsets end before its block.
    if (jumps > 0 && unsigned(columnPointer - start - int(varColumns)) / 256 < jumps)
        --jumps;
    if (maskSize + int(jumps) + 1 > size || columnPointer - int(varColumns) < start)
        return false;
    unsigned used = 0;
    for (unsigned i = 0; i <= varColumns; ++i) {
        while (used < jumps && i == page[end - maskSize - int(used) - 1])
            ++used;
        m_offsets[i] = page[columnPointer - int(i)] + used * 256;
    }
    return true;
}

bool RowSplitter::split(const unsigned char *page, int start, int size)
{
    const bool jet3 = m_format.jet3;
    const int countSize = m_format.countSize;
    const int end = start + size - 1;   // last byte
    if (size < countSize + 1)
        return false;
    const unsigned rowColumns = jet3 ? page[start] : qFromLittleEndian<quint16>(page + start);
    const int maskSize = int(rowColumns + 7) / 8;
    if (maskSize + countSize >= size)
        return false;
    const unsigned char *nullMask = page + end - maskSize + 1;
    unsigned varColumns = 0;
    if (m_hasVariableColumns) {
        varColumns = jet3 ? page[end - maskSize] : qFromLittleEndian<quint16>(page + end - maskSize - 1);
        m_offsets.resize(varColumns + 1);
        if (!(jet3 ? readJet3Offsets(page, start, size, maskSize, varColumns)
                   : readOffsets(page, start, size, maskSize, varColumns)))
            return false;
    }
    const unsigned fixedColumns = rowColumns - std::min(rowColumns, varColumns);
    unsigned fixedFound = 0;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const ColumnPlace &c = m_columns[i];
        Field &f = m_fields[i];
        f.present = unsigned(c.number) / 8 < unsigned(maskSize) && (nullMask[c.number / 8] & (1 << (c.number % 8)));
        if (c.fixed && fixedFound < fixedColumns) {
            f.start = start + countSize + c.fixedOffset;
            f.size = c.size;
            ++fixedFound;
        } else if (!c.fixed && unsigned(c.varIndex) < varColumns) {
            f.start = start + int(m_offsets[std::size_t(c.varIndex)]);
            f.size = int(m_offsets[std::size_t(c.varIndex) + 1]) - int(m_offsets[std::size_t(c.varIndex)]);
        } else {
            f = Field{};
        }
        if (f.start + f.size > start + size)
            return false;
    }
    return true;
}

} // namespace db::jet
