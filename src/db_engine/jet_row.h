// Splits a Jet row into its fields, as libmdb's mdb_crack_row does but
// reading the page in place (the layout is in jet_format.h): the column
// count, the fixed columns at their offsets, the variable columns through
// the offset table at the row's end, and last the null mask.
#pragma once

#include "jet_format.h"

#include <vector>

namespace db::jet {

// Where a column's value lies in a row, as the table's definition says.
struct ColumnPlace {
    int number = 0;        // its bit in the null mask
    bool fixed = true;
    int fixedOffset = 0;   // fixed: after the column count
    int size = 0;          // fixed: its bytes
    int varIndex = 0;      // variable: its entry in the offset table
};

// A field of a split row: where its bytes lie in the page. `present` is the
// column's null-mask bit (a boolean's value); a column the row does not
// hold is absent.
struct Field {
    int start = 0;
    int size = 0;
    bool present = false;
};

class RowSplitter {
public:
    RowSplitter(const Format &format, std::vector<ColumnPlace> columns, bool hasVariableColumns);

    // Splits the row of `size` bytes at `start` of `page`. False when its
    // counts, offsets or fields do not fit the row.
    bool split(const unsigned char *page, int start, int size);
    const std::vector<Field> &fields() const { return m_fields; }

private:
    bool readOffsets(const unsigned char *page, int start, int size, int maskSize, unsigned varColumns);
    bool readJet3Offsets(const unsigned char *page, int start, int size, int maskSize, unsigned varColumns);

    const Format &m_format;
    std::vector<ColumnPlace> m_columns;
    bool m_hasVariableColumns;
    std::vector<unsigned> m_offsets;   // of the variable columns, and their end
    std::vector<Field> m_fields;
};

} // namespace db::jet
