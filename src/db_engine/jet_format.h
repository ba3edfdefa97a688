// The Jet file format: where Jet 3 (Access 97) and Jet 4 (Access 2000-2003)
// keep what the reader, the file image and the writer (tools/jetdb) look
// for. Every number the three share is named here once.
//
// A file is a run of pages of one size; page 0 is the header.
//
//   Header (page 0)            Jet 3   Jet 4
//   ------------------------   -----   -----
//   signature                  0x00    0x00   00 01 00 00 "Standard Jet DB"
//   version                    0x14    0x14   0 Jet 3, 1 Jet 4 (above: ACE)
//   page size                  2048    4096
//
//   Every page starts with its type (1 byte): 0x01 data (rows), 0x02 table
//   definition, 0x05 usage-map bitmap. A data page names its owner, the
//   table definition's page, at byte 4.
//
//   Data page                  Jet 3   Jet 4
//   ------------------------   -----   -----
//   owner (32 bits)            4       4
//   row count (16 bits)        8       12
//   row slots (16 bits each)   10      14     from the row count's end
//   A slot holds its row's start (low 13 bits); a row ends where the row
//   before it starts (row 0 at the page's end). Flags: 0x8000 deleted,
//   0x4000 moved (the row holds the page and row it moved to).
//
//   Row                        Jet 3   Jet 4
//   ------------------------   -----   -----
//   column count               1 byte  2 bytes   at the row's start
//   fixed columns                                after the count
//   variable-column offsets    1 byte  2 bytes   from the row's end, before
//                                                the null mask and var count
//   Jet 3 adds a table of jumps for the offsets' high bytes (see jet_row).
//
//   Table definition           Jet 3   Jet 4
//   ------------------------   -----   -----
//   row count (32 bits)        12      16
//   column count (16 bits)     25      45
//   real index count (32)      31      51
//   usage map (pg/row)         35      55
//   free map (pg/row)          39      59
//   index entries start        43      63     then the columns' entries
//   real index entry size      8       12
//   column entry size          18      25
//   column entry: type         0       0
//   column entry: row number   5       9      the column's number in a row
//   column entry: precision    -       11     Numeric (Jet 4 only)
//   column entry: scale        -       12
//
//   Usage map row: type 0, first page (32 bits), then a bitmap; or type 1,
//   then the pages (32 bits each) of 0x05 pages, each a bitmap from byte 4.
//   Memo/OLE field: a 12-byte head, the length in the low 30 bits of its
//   first word (0x80000000 inline, 0x40000000 one long-value row), then
//   the page and row of the value.
#pragma once

namespace db::jet {

constexpr int kVersionOffset = 0x14;
constexpr char kSignature[] = "\x00\x01\x00\x00Standard Jet DB";
constexpr int kSignatureSize = 20;

enum PageType : unsigned char { kDataPage = 0x01, kDefinitionPage = 0x02, kMapPage = 0x05 };
constexpr int kPageOwnerOffset = 4;
constexpr unsigned kLongValueOwner = 0x4C41564C;   // "LVAL": a long-value data page's owner
constexpr int kMapPageBitmapOffset = 4;

constexpr unsigned kSlotDeleted = 0x8000;
constexpr unsigned kSlotMoved = 0x4000;
constexpr unsigned kSlotOffsetMask = 0x1FFF;
constexpr int kMaxRowsPerPage = 1000;   // libmdb's own limit in mdb_find_row

constexpr int kLongValueHeadSize = 12;
constexpr unsigned kLongValueInline = 0x80000000u;
constexpr unsigned kLongValueOneRow = 0x40000000u;
constexpr unsigned kLongValueLengthMask = 0x3FFFFFFFu;

struct Format {
    bool jet3;
    int pageSize;
    // Data pages and rows
    int rowCountOffset;
    int countSize;   // a row's column count and variable-column offsets
    // Table definitions
    int definitionRowCount;
    int definitionColumnCount;
    int definitionRealIndexCount;
    int definitionUsageMap;
    int definitionFreeMap;
    int definitionEntriesStart;
    int realIndexEntrySize;
    int columnEntrySize;
    int columnRowNumber;
    int columnPrecision;   // -1: the format has no decimals
    int columnScale;
    // What the writer fills a page with
    int mapBitmapBytes;    // bitmap of an inline (type 0) usage map
    int mapPointers;       // 0x05 pages a type 1 usage map names
    int maxRow;            // longest row written to a data page
    int singleLongValue;   // longest long value kept in one row
    int longValueChunk;    // longest chunk of a chained long value

    int rowSlotsOffset() const { return rowCountOffset + 2; }
    int slotOffset(int row) const { return rowSlotsOffset() + 2 * row; }
};

inline constexpr Format kJet3{true, 2048, 8, 1, 12, 25, 31, 35, 39, 43, 8, 18, 5, -1, -1,
                              128, 33, 2030, 2032, 2028};
inline constexpr Format kJet4{false, 4096, 12, 2, 16, 45, 51, 55, 59, 63, 12, 25, 9, 11, 12,
                              64, 17, 4060, 4076, 4072};

// The format a header's version byte names; nullptr for none (ACE, or no
// Jet file at all).
inline const Format *formatOfVersion(unsigned char version)
{
    return version == 0 ? &kJet3 : version == 1 ? &kJet4 : nullptr;
}

} // namespace db::jet
