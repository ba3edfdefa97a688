#include "mdb_file.h"

#include "db_error.h"
#include "file_image.h"
#include "jet_header.h"
#include "eight_bit_text.h"

#include <QHash>
#include <QUuid>

#include <mutex>

#include <mdbtools.h>

#include <cmath>
#include <cstring>

namespace db {
namespace {

constexpr int kJet4PageSize = 4096;
constexpr int kJet3PageSize = 2048;
constexpr quint32 kSystemFlags = 0x80000002;  // MSys* tables and the like
constexpr int kMaxRowsPerPage = 1000;         // libmdb's own limit in mdb_find_row

quint16 le16(const unsigned char *p) { return quint16(p[0] | (p[1] << 8)); }
quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

ColumnKind kindOf(const MdbColumn *col)
{
    switch (col->col_type) {
    case MDB_BOOL: return ColumnKind::Boolean;
    case MDB_BYTE: return ColumnKind::Byte;
    case MDB_INT: return ColumnKind::Integer16;
    case MDB_LONGINT: return col->is_long_auto ? ColumnKind::AutoIncrement : ColumnKind::Integer32;
    case MDB_MONEY: return ColumnKind::Currency;
    case MDB_FLOAT: return ColumnKind::Single;
    case MDB_DOUBLE: return ColumnKind::Double;
    case MDB_DATETIME: return ColumnKind::DateTime;
    case MDB_BINARY: return ColumnKind::Binary;
    case MDB_TEXT: return ColumnKind::Text;
    case MDB_OLE: return ColumnKind::OLE;
    case MDB_MEMO: return ColumnKind::Memo;
    case MDB_REPID: return ColumnKind::Guid;
    case MDB_NUMERIC: return ColumnKind::Numeric;
    default: return ColumnKind::Unknown;
    }
}

// Jet 4 text: UTF-16LE, or the compressed form that starts with FF FE and
// then switches between one byte per character and UTF-16 at every 00 byte.
// Decodes into `text`, reusing its buffer: rows are read one after another
// and a fresh string per value would cost an allocation each.
void decodeJet4Text(const unsigned char *p, int size, QString &text)
{
    text.resize(size);   // never more characters than bytes
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const begin = out;
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        int i = 2;
        while (i < size) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                *out++ = p[i++];
            } else {
                if (i + 1 >= size)
                    break;
                *out++ = char16_t(p[i] | (p[i + 1] << 8));
                i += 2;
            }
        }
    } else {
        for (int i = 0; i + 1 < size; i += 2)
            *out++ = char16_t(p[i] | (p[i + 1] << 8));
    }
    text.resize(out - begin);
}

QString decodeJet4Text(const unsigned char *p, int size)
{
    QString text;
    decodeJet4Text(p, size, text);
    return text;
}

// A decimal (Numeric) value: a sign byte, then the magnitude as four 32-bit
// words, most significant first; the value is magnitude / 10^scale. Decimals
// hold at most 28 digits: false for a magnitude beyond them.
constexpr int kMaxDecimalDigits = 28;

// 28 digits need 94 bits; GCC's and clang's 128-bit integer holds them.
__extension__ typedef unsigned __int128 Magnitude;

Magnitude powerOfTen(int n)
{
    Magnitude p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

bool decimalValue(const unsigned char *p, int scale, double &value)
{
    Magnitude magnitude = 0;
    for (int w = 0; w < 4; ++w)
        magnitude = (magnitude << 32) | le32(p + 1 + 4 * w);
    if (magnitude >= powerOfTen(kMaxDecimalDigits))
        return false;
    // Divided bit by bit until the quotient has 64 significant bits; the
    // bits beyond them and the remainder fold into the lowest bit, so the
    // one rounding to double (nearest, ties to even) is exact.
    const Magnitude divisor = powerOfTen(scale);
    Magnitude quotient = magnitude / divisor, remainder = magnitude % divisor;
    int exponent = 0;
    if (quotient != 0 || remainder != 0) {
        while (quotient < Magnitude(1) << 63) {
            remainder <<= 1;
            quotient <<= 1;
            --exponent;
            if (remainder >= divisor) {
                remainder -= divisor;
                quotient |= 1;
            }
        }
    }
    bool sticky = remainder != 0;
    while (quotient >> 64) {
        sticky |= bool(quotient & 1);
        quotient >>= 1;
        ++exponent;
    }
    const double v = std::ldexp(double(quint64(quotient) | quint64(sticky)), exponent);
    value = (p[0] & 0x80) ? -v : v;
    return true;
}

QString guidText(const unsigned char *p)
{
    QUuid id(le32(p), le16(p + 4), le16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
    return id.toString(QUuid::WithBraces).toUpper();
}

} // namespace

struct MdbFile::Private {
    std::unique_ptr<FileImage> image;   // outlives the handle: libmdb reads its view in place
    // The memo and OLE fields of the rows read (head and inline bytes), one
    // block per table read: the data pages they lie in are handed back once
    // their table is read. A block is filled by the thread reading its table
    // and handed over when that is done; memo reads look into the blocks.
    std::vector<std::vector<unsigned char>> longFields;
    mutable std::mutex longFieldsMutex;   // also guards narrowText
    // libmdb reads table definitions through one page buffer per file.
    std::mutex definitionMutex;
    bool handBackPages = false;   // once the catalog is read
    QString path;
    MdbHandle *mdb = nullptr;
    int pageSize = kJet4PageSize;
    quint32 pageCount = 0;
    std::unique_ptr<core::CodePage> narrowText;   // Jet 3 only: its text's code page
    QHash<QString, MdbCatalogEntry *> tables;   // lower-case name -> entry (in `entries`)
    QStringList names;

    std::vector<MdbCatalogEntry *> entries;   // ours, g_malloc'd as libmdb expects

    ~Private()
    {
        for (MdbCatalogEntry *e : entries)
            g_free(e);
        if (mdb)
            mdb_close(mdb);
    }

    MdbCatalogEntry *newEntry(const QString &name, quint32 definitionPage)
    {
        auto *e = static_cast<MdbCatalogEntry *>(g_malloc0(sizeof(MdbCatalogEntry)));
        entries.push_back(e);
        e->mdb = mdb;
        e->object_type = MDB_TABLE;
        e->table_pg = definitionPage;
        const QByteArray utf8 = name.toUtf8().left(MDB_MAX_OBJ_NAME);
        std::memcpy(e->object_name, utf8.constData(), std::size_t(utf8.size()));
        return e;
    }

    [[noreturn]] void damaged(const QString &why) const
    {
        throw Error(QStringLiteral("The database '%1' is damaged and cannot be read (%2).").arg(path, why));
    }

    bool pageHasType(quint32 page, unsigned char type) const
    {
        return page > 0 && page < pageCount && image->page(page)[0] == type;
    }

    const unsigned char *page(quint32 number) const { return image->page(number); }
    // libmdb reads a table's usage maps from the view, wherever the pages
    // holding them are kept.
    void placeMapsInView(quint32 definitionPage)
    {
        if (!pageHasType(definitionPage, 0x02))
            return;
        for (const int offset : {mdb->fmt->tab_usage_map_offset, mdb->fmt->tab_free_map_offset})
            image->placeInView(le32(page(definitionPage) + offset) >> 8);
    }
    // Finds row `row` of a data page: its start and size within the page.
    bool findRow(const unsigned char *pg, int row, int &start, int &size) const;
    bool dataPages(const unsigned char *map, std::size_t mapSize, std::vector<quint32> &pages) const;

    bool longValueHeadIsSound(const unsigned char *field, int size) const;
    QByteArray readLongValue(const unsigned char *field, int size, bool &ok);
    QByteArray definition(quint32 page, qsizetype needed) const;
    QString longText(const QByteArray &raw, const core::CodePage *narrow) const;
};

MdbFile::MdbFile(std::unique_ptr<FileImage> contents, const QString &path)
    : d(std::make_unique<Private>())
{
    d->image = std::move(contents);
    d->path = path;
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.").arg(path);
    const auto *head = reinterpret_cast<const unsigned char *>(d->image->view());
    const qsizetype size = d->image->size();

    m_jet3 = checkJetHeader(head, size, size, path);
    d->pageSize = m_jet3 ? kJet3PageSize : kJet4PageSize;
    if (d->image->pageSize() != d->pageSize)
        throw Error(unrecognized);
    if (size % d->pageSize != 0)
        d->damaged(QStringLiteral("its length is not a whole number of pages; it may be truncated"));
    d->pageCount = quint32(size / d->pageSize);
    if (d->pageCount < 3 || !d->pageHasType(2, 0x02))
        d->damaged(QStringLiteral("the table catalog is missing"));

    d->mdb = mdb_open_buffer(d->image->view(), size_t(size), MDB_NOFLAGS);
    if (!d->mdb)
        throw Error(unrecognized);
    m_codePage = d->mdb->f->code_page ? d->mdb->f->code_page : 1252;
    if (m_jet3) {
        try {
            d->narrowText = std::make_unique<core::CodePage>(m_codePage);
        } catch (const core::UnknownCodePage &) {
            throw Error(QStringLiteral("The database '%1' keeps its text in code page %2, which cannot be read on this system.")
                            .arg(path).arg(m_codePage));
        }
    }

    // The catalog (MSysObjects, defined on page 2) is read here like any
    // table rather than by libmdb's mdb_read_catalog, which also follows each
    // object's property chain and loops forever on a damaged one.
    auto *catalog = d->newEntry(QStringLiteral("MSysObjects"), 2);
    d->placeMapsInView(2);
    int idColumn = -1, nameColumn = -1, typeColumn = -1, flagsColumn = -1;
    int rows = 0;
    readRows(catalog, QStringLiteral("MSysObjects"),
             [&](const std::vector<StoredColumn> &columns, std::size_t) {
                 for (int i = 0; i < int(columns.size()); ++i) {
                     const QString &n = columns[std::size_t(i)].name;
                     int *slot = n.compare(QLatin1String("Id"), Qt::CaseInsensitive) == 0 ? &idColumn
                         : n.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0    ? &nameColumn
                         : n.compare(QLatin1String("Type"), Qt::CaseInsensitive) == 0    ? &typeColumn
                         : n.compare(QLatin1String("Flags"), Qt::CaseInsensitive) == 0   ? &flagsColumn
                                                                                          : nullptr;
                     if (slot && *slot < 0)
                         *slot = i;
                 }
                 if (idColumn < 0 || nameColumn < 0 || typeColumn < 0 || flagsColumn < 0)
                     d->damaged(QStringLiteral("the table catalog lacks columns"));
             },
             [&](std::vector<StoredValue> &values) {
                 ++rows;
                 const StoredValue &id = values[std::size_t(idColumn)];
                 const StoredValue &name = values[std::size_t(nameColumn)];
                 const StoredValue &type = values[std::size_t(typeColumn)];
                 const StoredValue &flags = values[std::size_t(flagsColumn)];
                 if (id.kind != StoredValue::Kind::Integer || name.kind != StoredValue::Kind::Text
                     || type.kind != StoredValue::Kind::Integer || (type.integer & 0x7F) != MDB_TABLE)
                     return;
                 if (flags.kind == StoredValue::Kind::Integer && (quint32(flags.integer) & kSystemFlags))
                     return;
                 const QString key = name.text.toLower();
                 if (name.text.isEmpty() || d->tables.contains(key))
                     return;
                 d->tables.insert(key, d->newEntry(name.text, quint32(id.integer) & 0x00FFFFFF));
                 d->names.append(name.text);
             },
             {});
    if (rows == 0)
        d->damaged(QStringLiteral("the table catalog cannot be read"));
    // A map may lie on a page another table owns, which goes back to the
    // system once that table is read; the view keeps a copy.
    for (const MdbCatalogEntry *e : d->entries)
        d->placeMapsInView(quint32(e->table_pg));
    d->handBackPages = true;
}

MdbFile::~MdbFile() = default;

QStringList MdbFile::userTables() const { return d->names; }

bool MdbFile::hasTable(const QString &name) const { return d->tables.contains(name.toLower()); }

// Row slots hold the row's start; a row ends where the one before it
// starts (row 0 at the page's end). The top bits are flags (see readRows).
bool MdbFile::Private::findRow(const unsigned char *pg, int row, int &start, int &size) const
{
    const int rowCountOffset = mdb->fmt->row_count_offset;
    if (row < 0 || row >= std::min<int>(le16(pg + rowCountOffset), kMaxRowsPerPage)
        || rowCountOffset + 2 + 2 * (row + 1) > pageSize)
        return false;
    start = le16(pg + rowCountOffset + 2 + 2 * row) & 0x1FFF;
    const int end = row == 0 ? pageSize : le16(pg + rowCountOffset + 2 * row) & 0x1FFF;
    size = end - start;
    return start < end && end <= pageSize;
}

// The pages a usage map names, in file order: a bitmap from a first page
// (type 0), or pointers to 05 pages each holding the bitmap of a stretch of
// the file (type 1). Pages outside the file or map pages of another type
// are damage.
bool MdbFile::Private::dataPages(const unsigned char *map, std::size_t mapSize, std::vector<quint32> &pages) const
{
    auto bitmap = [&](const unsigned char *bits, std::size_t bytes, quint64 first) {
        for (std::size_t i = 0; i < bytes; ++i) {
            for (unsigned b = bits[i]; b; b &= b - 1) {
                const quint64 number = first + 8 * i + unsigned(__builtin_ctz(b));
                if (number >= pageCount)
                    return false;
                pages.push_back(quint32(number));
            }
        }
        return true;
    };
    if (map[0] == 0)
        return bitmap(map + 5, mapSize - 5, le32(map + 1));
    const std::size_t perMapPage = std::size_t(pageSize - 4) * 8;
    for (std::size_t k = 0; 1 + 4 * (k + 1) <= mapSize; ++k) {
        const quint32 mapPage = le32(map + 1 + 4 * k);
        if (mapPage == 0)
            continue;
        if (!pageHasType(mapPage, 0x05) || !bitmap(page(mapPage) + 4, std::size_t(pageSize - 4), k * perMapPage))
            return false;
    }
    return true;
}

// Text of a long value: 8-bit in the code page (Jet 3) or as Text (Jet 4).
QString MdbFile::Private::longText(const QByteArray &raw, const core::CodePage *narrow) const
{
    return narrow ? narrow->decode(raw)
                  : decodeJet4Text(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size()));
}

// A reference packs where the field was kept aside: its block, its offset
// there and its size.
namespace {
constexpr int kSizeBits = 13;   // a field lies in one row of one page
constexpr int kOffsetBits = 35;
constexpr int kBlockBits = 15;
qint64 longValueReference(std::size_t block, std::size_t offset, int size)
{
    return qint64(block) << (kOffsetBits + kSizeBits) | qint64(offset) << kSizeBits | qint64(size);
}
} // namespace

bool MdbFile::readsLongValuesLater() const
{
    return d->mdb->f->db_key == 0;
}

QVariant MdbFile::readLongValue(qint64 reference, ColumnKind kind) const
{
    const std::size_t block = std::size_t(reference >> (kOffsetBits + kSizeBits));
    const std::size_t offset = std::size_t(reference >> kSizeBits) & ((qint64(1) << kOffsetBits) - 1);
    const int size = int(reference & ((1 << kSizeBits) - 1));
    const std::lock_guard lock(d->longFieldsMutex);
    if (reference < 0 || block >= d->longFields.size() || offset + std::size_t(size) > d->longFields[block].size())
        return {};
    bool ok = false;
    const QByteArray raw = d->readLongValue(d->longFields[block].data() + offset, size, ok);
    if (!ok)
        return {};
    if (kind == ColumnKind::OLE)
        return raw;
    return d->longText(raw, d->narrowText.get());
}

// Reads a memo or OLE value whole. The 12-byte head gives the length and
// where the bytes are: inline after the head, in one long-value row, or in a
// chain of rows each starting with the pointer to the next. Chains are
// followed only as far as the stated length and never longer than the file,
// and every row must add data, so a damaged pointer cannot loop forever.
QByteArray MdbFile::Private::readLongValue(const unsigned char *field, int size, bool &ok)
{
    ok = false;
    if (!longValueHeadIsSound(field, size))
        return {};
    const quint32 head = le32(field);
    const quint32 length = head & 0x3FFFFFFF;
    if (head & 0x80000000) {
        ok = true;
        return QByteArray(reinterpret_cast<const char *>(field + MDB_MEMO_OVERHEAD), int(length));
    }
    quint32 pointer = le32(field + 4);
    QByteArray value;
    const bool single = head & 0x40000000;
    while (pointer != 0 && quint32(value.size()) < length) {
        if (!pageHasType(pointer >> 8, 0x01))
            return {};
        int start = 0, rowLength = 0;
        if (!findRow(page(pointer >> 8), int(pointer & 0xFF), start, rowLength))
            return {};
        const unsigned char *row = page(pointer >> 8) + start;
        if (single) {
            value.append(reinterpret_cast<const char *>(row), std::min<qsizetype>(qsizetype(rowLength), qsizetype(length)));
            break;
        }
        // A row with no data after its pointer adds nothing, so a chain of
        // them pointing back at each other would never reach the length.
        if (rowLength <= 4)
            return {};
        pointer = le32(row);
        const qsizetype chunk = std::min<qsizetype>(qsizetype(rowLength) - 4, qsizetype(length) - value.size());
        value.append(reinterpret_cast<const char *>(row + 4), chunk);
    }
    ok = true;
    return value;
}

// Whether a memo or OLE field's head can be followed. Checked for every
// value as its row is read, while the bytes behind the head are read only
// when the value is asked for: a head that is inline and in one row at once,
// an inline value longer than its field, a stated length longer than the
// file or a first row that is not there.
bool MdbFile::Private::longValueHeadIsSound(const unsigned char *field, int size) const
{
    if (size < MDB_MEMO_OVERHEAD)
        return false;
    const quint32 head = le32(field);
    const quint32 length = head & 0x3FFFFFFF;
    if ((head & 0xC0000000) == 0xC0000000)
        return false;
    if (head & 0x80000000)
        return length <= quint32(size - MDB_MEMO_OVERHEAD);
    if (length > quint32(image->size()) || ((head & 0x40000000) && length > quint32(pageSize)))
        return false;
    if (length == 0)
        return true;
    const quint32 pointer = le32(field + 4);
    if (!pageHasType(pointer >> 8, 0x01))
        return false;
    return (pointer & 0xFF) < le16(page(pointer >> 8) + mdb->fmt->row_count_offset);
}

// The first `needed` bytes of a table definition, its continuation pages
// joined; fewer when the chain ends before.
QByteArray MdbFile::Private::definition(quint32 page, qsizetype needed) const
{
    QByteArray bytes;
    for (quint32 hops = 0; bytes.size() < needed && hops < pageCount && pageHasType(page, 0x02); ++hops) {
        const char *at = reinterpret_cast<const char *>(this->page(page));
        bytes += hops == 0 ? QByteArrayView(at, pageSize) : QByteArrayView(at + 8, pageSize - 8);
        page = le32(reinterpret_cast<const unsigned char *>(at) + 4);
    }
    return bytes;
}

void MdbFile::readTable(const QString &name, const ColumnsReady &columnsReady, const RowReady &rowReady,
                        const PageProgress &progress)
{
    MdbCatalogEntry *entry = d->tables.value(name.toLower());
    if (!entry)
        throw Error(QStringLiteral("Table '%1' not found.").arg(name));
    readRows(entry, name, columnsReady, rowReady, progress);
}

void MdbFile::readRows(void *catalogEntry, const QString &name, const ColumnsReady &columnsReady,
                       const RowReady &rowReady, const PageProgress &progress)
{
    auto *entry = static_cast<MdbCatalogEntry *>(catalogEntry);
    if (!d->pageHasType(quint32(entry->table_pg), 0x02))
        d->damaged(QStringLiteral("the definition of table '%1' is missing").arg(name));

    std::unique_lock definitionLock(d->definitionMutex);
    MdbTableDef *table = mdb_read_table(entry);
    if (!table)
        d->damaged(QStringLiteral("the definition of table '%1' cannot be read").arg(name));
    struct TableGuard {
        MdbTableDef *t;
        ~TableGuard() { mdb_free_tabledef(t); }
    } guard{table};
    // libmdb follows the usage map without checking it; an empty map or one
    // of an unknown kind would send it through NULL or over the whole file.
    if (!table->usage_map || table->map_sz < 5 || table->map_sz > size_t(d->pageSize)
        || table->usage_map[0] > 1)
        d->damaged(QStringLiteral("the page map of table '%1' cannot be read").arg(name));
    if (!mdb_read_columns(table) || table->num_cols == 0 || table->num_cols != table->columns->len)
        d->damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(name));
    definitionLock.unlock();

    const unsigned numCols = table->num_cols;
    std::vector<StoredColumn> columns(numCols);
    std::vector<MdbColumn *> cols(numCols);
    for (unsigned i = 0; i < numCols; ++i) {
        cols[i] = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        columns[i].name = QString::fromUtf8(cols[i]->name);
        columns[i].kind = kindOf(cols[i]);
    }
    // Precision and scale of decimal columns come from the definition's own
    // bytes (11 and 12 of a column's entry): libmdb 1.0.0 reads each into
    // the other's field. Access 97 has no decimals; such a column is of no
    // known kind there.
    std::vector<int> scales(numCols, 0);
    QByteArray def;   // the column entries, read when a decimal column needs them
    qsizetype first = 0;
    int entries = 0;
    constexpr int kEntrySize = 25, kEntriesAt = 63, kIndexEntrySize = 12;
    for (unsigned i = 0; i < numCols; ++i) {
        if (cols[i]->col_type != MDB_NUMERIC)
            continue;
        if (m_jet3) {
            columns[i].kind = ColumnKind::Unknown;
            continue;
        }
        if (def.isEmpty()) {
            const QByteArray head = d->definition(quint32(entry->table_pg), kEntriesAt);
            if (head.size() < kEntriesAt)
                d->damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(name));
            const auto *h = reinterpret_cast<const unsigned char *>(head.constData());
            first = kEntriesAt + qsizetype(le32(h + 51)) * kIndexEntrySize;
            entries = le16(h + 45);
            def = d->definition(quint32(entry->table_pg), first + qsizetype(entries) * kEntrySize);
        }
        const auto *b = reinterpret_cast<const unsigned char *>(def.constData());
        int precision = -1, scale = -1;
        for (int k = 0; k < entries && first + (k + 1) * kEntrySize <= def.size(); ++k) {
            const unsigned char *e = b + first + k * kEntrySize;
            if (e[0] == MDB_NUMERIC && le16(e + 9) == cols[i]->row_col_num) {
                precision = e[11];
                scale = e[12];
                break;
            }
        }
        if (precision < 0)
            d->damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(name));
        if (precision < 1 || precision > kMaxDecimalDigits || scale < 0 || scale > precision)
            d->damaged(QStringLiteral("the decimal column '%1' of table '%2' has precision %3 and scale %4")
                           .arg(columns[i].name, name).arg(precision).arg(scale));
        scales[i] = scale;
    }
    std::vector<quint32> pages;
    if (!d->dataPages(table->usage_map, table->map_sz, pages))
        d->damaged(QStringLiteral("the page map of table '%1' cannot be read").arg(name));
    columnsReady(columns, std::min<std::size_t>(table->num_rows, pages.size() * kMaxRowsPerPage));

    const int pageSize = d->pageSize;
    const int rowCountOffset = d->mdb->fmt->row_count_offset;
    std::vector<MdbField> fields(numCols);
    std::vector<StoredValue> values(numCols);
    const bool lazy = readsLongValuesLater();
    // This table's memo and OLE fields, handed over at the end (see
    // longFields); its text decoder, as another table may be read at once.
    std::vector<unsigned char> longFields;
    std::size_t longFieldsBlock = 0;
    if (lazy) {
        const std::lock_guard lock(d->longFieldsMutex);
        longFieldsBlock = d->longFields.size();
        if (longFieldsBlock >> kBlockBits)
            d->damaged(QStringLiteral("too many tables are read"));
        d->longFields.emplace_back();
    }
    std::unique_ptr<core::CodePage> narrowText;
    if (m_jet3)
        narrowText = std::make_unique<core::CodePage>(m_codePage);
    const bool jet3 = m_jet3;
    const unsigned numVarCols = table->num_var_cols;
    std::vector<unsigned> varOffsets;

    // Splits a row into its fields, as libmdb's mdb_crack_row does but
    // reading the page in place: the column count, the fixed columns in the
    // order of their offsets, the variable columns through the offset table
    // at the row's end (Jet 3 keeps one byte per offset and a table of jumps
    // for the high bytes), and last the null mask.
    auto crackRow = [&](const unsigned char *pg, int rowStart, int rowSize) {
        const int countSize = jet3 ? 1 : 2;
        const int rowEnd = rowStart + rowSize - 1;   // last byte
        if (rowSize < countSize + 1)
            return false;
        const unsigned rowCols = jet3 ? pg[rowStart] : le16(pg + rowStart);
        const int maskSize = int(rowCols + 7) / 8;
        if (maskSize + countSize >= rowSize)
            return false;
        const unsigned char *nullMask = pg + rowEnd - maskSize + 1;
        unsigned rowVarCols = 0;
        if (numVarCols > 0) {
            rowVarCols = jet3 ? pg[rowEnd - maskSize] : le16(pg + rowEnd - maskSize - 1);
            varOffsets.resize(rowVarCols + 1);
            if (!jet3) {
                if (maskSize + 3 + 2 * int(rowVarCols) + 2 > rowSize)
                    return false;
                for (unsigned i = 0; i <= rowVarCols; ++i)
                    varOffsets[i] = le16(pg + rowEnd - maskSize - 3 - 2 * int(i));
            } else {
                unsigned jumps = unsigned(rowSize - 1) / 256;
                const int columnPointer = rowEnd - maskSize - int(jumps) - 1;
                // The last jump is a dummy when the offsets end before its block.
                if (jumps > 0 && unsigned(columnPointer - rowStart - int(rowVarCols)) / 256 < jumps)
                    --jumps;
                if (maskSize + int(jumps) + 1 > rowSize || columnPointer - int(rowVarCols) < rowStart)
                    return false;
                unsigned used = 0;
                for (unsigned i = 0; i <= rowVarCols; ++i) {
                    while (used < jumps && i == pg[rowEnd - maskSize - int(used) - 1])
                        ++used;
                    varOffsets[i] = pg[columnPointer - int(i)] + used * 256;
                }
            }
        }
        const unsigned rowFixedCols = rowCols - std::min(rowCols, rowVarCols);
        unsigned fixedFound = 0;
        for (unsigned i = 0; i < numCols; ++i) {
            const MdbColumn *col = cols[i];
            MdbField &f = fields[i];
            f.colnum = int(i);
            f.is_null = unsigned(col->col_num) / 8 < unsigned(maskSize)
                ? !(nullMask[col->col_num / 8] & (1 << (col->col_num % 8)))
                : 1;
            if (col->is_fixed && fixedFound < rowFixedCols) {
                f.start = rowStart + countSize + col->fixed_offset;
                f.siz = col->col_size;
                ++fixedFound;
            } else if (!col->is_fixed && unsigned(col->var_col_num) < rowVarCols) {
                f.start = rowStart + int(varOffsets[std::size_t(col->var_col_num)]);
                f.siz = int(varOffsets[std::size_t(col->var_col_num) + 1]) - int(varOffsets[std::size_t(col->var_col_num)]);
            } else {
                f.start = 0;
                f.siz = 0;
                f.is_null = 1;
            }
            if (f.start + f.siz > rowStart + rowSize)
                return false;
        }
        return true;
    };

    // A live row that cannot be read fails the open: a table that silently
    // lost rows or values would look whole.
    auto rowDamaged = [&](quint32 pageNumber) {
        d->damaged(QStringLiteral("a row of table '%1' on page %2 cannot be read").arg(name).arg(pageNumber));
    };
    // Decodes the row at rowStart/rowSize of page `pageNumber` and hands it on.
    auto decodeRow = [&](int rowStart, int rowSize, quint32 pageNumber) {
            const unsigned char *page = d->page(pageNumber);
            if (rowStart + rowSize > pageSize || !crackRow(page, rowStart, rowSize))
                rowDamaged(pageNumber);
            const int rowEnd = rowStart + int(rowSize);
            for (unsigned i = 0; i < numCols; ++i) {
                const MdbField &f = fields[i];
                const unsigned c = f.colnum < int(numCols) && f.colnum >= 0 ? unsigned(f.colnum) : i;
                const MdbColumn *col = cols[c];
                StoredValue &v = values[i];
                v.kind = StoredValue::Kind::Null;
                if (col->col_type == MDB_BOOL) {
                    // A boolean is its null-mask bit; Access stores True as -1.
                    v.kind = StoredValue::Kind::Integer;
                    v.integer = f.is_null ? 0 : -1;
                    continue;
                }
                if (f.is_null)
                    continue;
                const int size = f.siz;
                if (size < 0 || f.start < rowStart || f.start + size > rowEnd)
                    rowDamaged(pageNumber);   // a value outside its row
                const unsigned char *p = page + f.start;
                auto need = [&](int n) {
                    if (size < n)
                        rowDamaged(pageNumber);
                    return true;
                };
                switch (col->col_type) {
                case MDB_BYTE:
                    if (need(1)) { v.kind = StoredValue::Kind::Integer; v.integer = p[0]; }
                    break;
                case MDB_INT:
                    if (need(2)) { v.kind = StoredValue::Kind::Integer; v.integer = qint16(le16(p)); }
                    break;
                case MDB_LONGINT:
                    if (need(4)) { v.kind = StoredValue::Kind::Integer; v.integer = qint32(le32(p)); }
                    break;
                case MDB_MONEY:
                    if (need(8)) {
                        const qint64 scaled = qint64(le32(p)) | (qint64(le32(p + 4)) << 32);
                        v.kind = StoredValue::Kind::Real;
                        v.real = double(scaled) / 10000.0;
                    }
                    break;
                case MDB_FLOAT:
                    if (need(4)) {
                        float x;
                        std::memcpy(&x, p, 4);   // little-endian host
                        v.kind = StoredValue::Kind::Real;
                        v.real = x;
                    }
                    break;
                case MDB_DOUBLE:
                case MDB_DATETIME:
                    if (need(8)) {
                        std::memcpy(&v.real, p, 8);
                        v.kind = StoredValue::Kind::Real;
                    }
                    break;
                case MDB_NUMERIC:
                    if (m_jet3)
                        break;   // Access 97 has no decimals: a column of unknown kind
                    if (need(17) && !decimalValue(p, scales[c], v.real))
                        rowDamaged(pageNumber);
                    v.kind = StoredValue::Kind::Real;
                    break;
                case MDB_REPID:
                    if (need(16)) { v.kind = StoredValue::Kind::Text; v.text = guidText(p); }
                    break;
                case MDB_TEXT:
                    // Present with no bytes is an empty string, not NULL.
                    v.kind = StoredValue::Kind::Text;
                    if (m_jet3)
                        v.text = narrowText->decode(QByteArrayView(p, size));
                    else
                        decodeJet4Text(p, size, v.text);
                    break;
                case MDB_BINARY:
                    v.kind = StoredValue::Kind::Bytes;
                    v.bytes = QByteArray(reinterpret_cast<const char *>(p), size);
                    break;
                case MDB_MEMO:
                case MDB_OLE: {
                    if (lazy) {
                        if (!d->longValueHeadIsSound(p, size))
                            rowDamaged(pageNumber);
                        v.kind = StoredValue::Kind::LongValue;
                        if (longFields.size() >> kOffsetBits)
                            rowDamaged(pageNumber);
                        v.integer = longValueReference(longFieldsBlock, longFields.size(), size);
                        longFields.insert(longFields.end(), p, p + size);
                        break;
                    }
                    bool ok = false;
                    const QByteArray raw = d->readLongValue(p, size, ok);
                    if (!ok)
                        rowDamaged(pageNumber);
                    if (col->col_type == MDB_OLE) {
                        v.kind = StoredValue::Kind::Bytes;
                        v.bytes = raw;
                    } else {
                        v.kind = StoredValue::Kind::Text;
                        v.text = d->longText(raw, narrowText.get());
                    }
                    break;
                }
                default:
                    break;
                }
            }
            rowReady(values);
    };

    // Row slots carry two flags, read as Access (and Jackcess) read them:
    // 0x8000 marks a deleted row, 0x4000 a row that moved when it grew, whose
    // slot holds the page and row it moved to. The new place is itself
    // flagged deleted, so that a scan passes it by and only the pointer
    // reaches it. libmdb reads the flags the other way round and would list
    // deleted rows.
    const quint32 tablePage = quint32(entry->table_pg);
    auto ownDataPage = [&](quint32 number) {
        return d->pageHasType(number, 0x01) && le32(d->page(number) + 4) == tablePage;
    };
    auto followMoved = [&](const unsigned char *pg, int rowStart, int rowSize, quint32 pageNumber) {
        constexpr int kMaxHops = 8;   // a damaged file may loop
        for (int hop = 0; hop < kMaxHops; ++hop) {
            if (rowSize < 4)
                rowDamaged(pageNumber);
            const quint32 target = le32(pg + rowStart);
            const quint32 targetPage = target >> 8;
            const int targetRow = int(target & 0xFF);
            // Only a row on a data page of this same table.
            if (!ownDataPage(targetPage))
                rowDamaged(pageNumber);
            pg = d->page(targetPage);
            if (!d->findRow(pg, targetRow, rowStart, rowSize))
                rowDamaged(pageNumber);
            if (!(le16(pg + rowCountOffset + 2 + 2 * targetRow) & 0x4000)) {
                decodeRow(rowStart, rowSize, targetPage);
                return;
            }
        }
        rowDamaged(pageNumber);
    };

    // Every row of the table is read once, so its data pages go back to the
    // system (see FileImage) as soon as they are passed; the other pages
    // stay (definitions, maps, long values, the tables not read yet), and so
    // does a page this table owns but its map does not list, as it was never
    // read. A row that moved when it grew points to a page anywhere in the
    // table: then the pages go at the end, when the file's pages are in
    // order at all.
    const auto unlisted = [&](quint32 number) { return !std::binary_search(pages.begin(), pages.end(), number); };
    const bool handBack = d->handBackPages && std::is_sorted(pages.begin(), pages.end());
    bool passedAreDone = handBack;
    for (std::size_t at = 0; passedAreDone && at < pages.size(); ++at) {
        if (!ownDataPage(pages[at]))
            continue;
        const unsigned char *pg = d->page(pages[at]);
        const int rows = std::min(int(le16(pg + rowCountOffset)), kMaxRowsPerPage);
        for (int r = 0; r < rows && passedAreDone; ++r)
            passedAreDone = (le16(pg + rowCountOffset + 2 + 2 * r) & 0xC000) != 0x4000;
    }
    for (std::size_t at = 0; at < pages.size(); ++at) {
        if (progress && at % 512 == 0)
            progress(qsizetype(at), qsizetype(pages.size()));
        if (passedAreDone && at > 0 && at % 16 == 0)   // the smallest chunk
            d->image->releaseOwned(tablePage, unlisted, pages[at]);
        const quint32 pageNumber = pages[at];
        if (!ownDataPage(pageNumber))
            continue;   // a map may name a page since given to another table
        const unsigned char *pg = d->page(pageNumber);
        const int rows = std::min(int(le16(pg + rowCountOffset)), kMaxRowsPerPage);
        for (int r = 0; r < rows; ++r) {
            const quint16 slot = le16(pg + rowCountOffset + 2 + 2 * r);
            if (slot & 0x8000)
                continue;
            int rowStart = 0, rowSize = 0;
            if (!d->findRow(pg, r, rowStart, rowSize))
                rowDamaged(pageNumber);
            if (slot & 0x4000)
                followMoved(pg, rowStart, rowSize, pageNumber);
            else
                decodeRow(rowStart, rowSize, pageNumber);
        }
    }
    if (lazy) {
        const std::lock_guard lock(d->longFieldsMutex);
        d->longFields[longFieldsBlock] = std::move(longFields);
    }
    if (handBack)
        d->image->releaseOwned(tablePage, unlisted);
}

} // namespace db
