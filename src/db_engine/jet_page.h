// Data pages and their row slots (the layout is in jet_format.h): finding a
// row, and walking the live rows of a page, moved rows followed to where
// they went.
#pragma once

#include "jet_format.h"

#include <QtEndian>
#include <QtGlobal>

#include <algorithm>

namespace db::jet {

// The slots a page holds, bounded as libmdb bounds them.
inline int rowCount(const Format &format, const unsigned char *page)
{
    return std::min<int>(qFromLittleEndian<quint16>(page + format.rowCountOffset), kMaxRowsPerPage);
}

inline unsigned slotAt(const Format &format, const unsigned char *page, int row)
{
    return qFromLittleEndian<quint16>(page + format.slotOffset(row));
}

// Row `row` of a data page: its start and size within the page. False for
// a slot the page does not hold or a row that does not fit.
bool findRow(const Format &format, const unsigned char *page, int row, int &start, int &size);

// Where a row moved when it grew: its page and row, read from the moved
// row's first bytes (the row number in the low 8 bits).
inline quint32 movedTarget(const unsigned char *row) { return qFromLittleEndian<quint32>(row); }

// Row slots carry two flags, read as Access (and Jackcess) read them:
// kSlotDeleted marks a deleted row, kSlotMoved a row that moved when it
// grew, whose slot holds the page and row it moved to. The new place is
// itself flagged deleted, so that a scan passes it by and only the pointer
// reaches it. libmdb reads the flags the other way round and would list
// deleted rows.
//
// Calls visit(pageNumber, start, size) for each live row of page `number`,
// where the row lies now. `pageOf(n)` gives a page, `ownDataPage(n)`
// whether page n is a data page of the same table (the only place a row
// may move to). False when a row or a move cannot be followed.
template<typename PageOf, typename OwnDataPage, typename Visit>
bool walkPage(const Format &format, quint32 number, PageOf pageOf, OwnDataPage ownDataPage, Visit visit)
{
    constexpr int kMaxHops = 8;   // a damaged file may loop
    const unsigned char *page = pageOf(number);
    const int rows = rowCount(format, page);
    for (int r = 0; r < rows; ++r) {
        const unsigned slot = slotAt(format, page, r);
        if (slot & kSlotDeleted)
            continue;
        int start = 0, size = 0;
        if (!findRow(format, page, r, start, size))
            return false;
        quint32 where = number;
        const unsigned char *pg = page;
        bool moved = slot & kSlotMoved;
        for (int hop = 0; moved; ++hop) {
            if (hop == kMaxHops || size < 4)
                return false;
            const quint32 target = movedTarget(pg + start);
            const int targetRow = int(target & 0xFF);
            where = target >> 8;
            if (!ownDataPage(where))
                return false;
            pg = pageOf(where);
            if (!findRow(format, pg, targetRow, start, size))
                return false;
            moved = slotAt(format, pg, targetRow) & kSlotMoved;
        }
        visit(where, start, size);
    }
    return true;
}

} // namespace db::jet
