#include "jet_page.h"

namespace db::jet {

// A row ends where the one before it starts (row 0 at the page's end).
bool findRow(const Format &format, const unsigned char *page, int row, int &start, int &size)
{
    if (row < 0 || row >= rowCount(format, page) || format.slotOffset(row + 1) > format.pageSize)
        return false;
    start = int(slotAt(format, page, row) & kSlotOffsetMask);
    const int end = row == 0 ? format.pageSize : int(slotAt(format, page, row - 1) & kSlotOffsetMask);
    size = end - start;
    return start < end && end <= format.pageSize;
}

} // namespace db::jet
