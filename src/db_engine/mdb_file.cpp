#include "mdb_file.h"

#include "db_error.h"
#include "eight_bit_text.h"
#include "file_image.h"
#include "jet_header.h"
#include "jet_page.h"
#include "jet_row.h"

#include <QHash>
#include <QtEndian>

#include <mutex>
#include <optional>

#include <mdbtools.h>

#include <cstring>

namespace db {
namespace {

constexpr quint32 kSystemFlags = 0x80000002;  // MSys* tables and the like

quint16 le16(const unsigned char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const unsigned char *p) { return qFromLittleEndian<quint32>(p); }

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

// A reference packs where the field was kept aside: its block, its offset
// there and its size.
constexpr int kSizeBits = 13;   // a field lies in one row of one page
constexpr int kOffsetBits = 35;
constexpr int kBlockBits = 15;
qint64 longValueReference(std::size_t block, std::size_t offset, int size)
{
    return qint64(block) << (kOffsetBits + kSizeBits) | qint64(offset) << kSizeBits | qint64(size);
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
    const jet::Format *format = &jet::kJet4;
    int codePage = 1252;
    quint32 pageCount = 0;
    std::unique_ptr<core::CodePage> narrowText;   // Jet 3 only: its text's code page
    QHash<QString, MdbCatalogEntry *> tables;   // lower-case name -> entry (in `entries`)

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
        if (!pageHasType(definitionPage, jet::kDefinitionPage))
            return;
        for (const int offset : {format->definitionUsageMap, format->definitionFreeMap})
            image->placeInView(le32(page(definitionPage) + offset) >> 8);
    }
    bool dataPages(const unsigned char *map, std::size_t mapSize, std::vector<quint32> &pages) const;

    bool longValueHeadIsSound(const unsigned char *field, int size) const;
    QByteArray readLongValue(const unsigned char *field, int size, bool &ok);
    QByteArray definition(quint32 page, qsizetype needed) const;
    QString longText(const QByteArray &raw, const core::CodePage *narrow) const;
};

// One table's read: its definition through libmdb, then its rows walked
// page by page, split and decoded value by value.
class MdbFile::TableRead {
public:
    TableRead(Private &d, MdbCatalogEntry *entry, const QString &name) : d(d), m_entry(entry), m_name(name) {}
    ~TableRead() { mdb_free_tabledef(m_table); }
    TableRead(const TableRead &) = delete;
    TableRead &operator=(const TableRead &) = delete;

    void run(const ColumnsReady &columnsReady, const RowReady &rowReady, const PageProgress &progress);

private:
    [[noreturn]] void rowDamaged(quint32 page) const
    {
        // A live row that cannot be read fails the open: a table that
        // silently lost rows or values would look whole.
        d.damaged(QStringLiteral("a row of table '%1' on page %2 cannot be read").arg(m_name).arg(page));
    }
    void readDefinition();
    void readColumns();
    void readDecimalScales();
    void openLongFields();
    void closeLongFields();
    bool ownDataPage(quint32 number) const
    {
        return d.pageHasType(number, jet::kDataPage) && le32(d.page(number) + jet::kPageOwnerOffset) == m_tablePage;
    }
    bool movesRows() const;
    void walkPages(const RowReady &rowReady, const PageProgress &progress);
    void decodeRow(quint32 pageNumber, int start, int size);
    void keepLongValue(const unsigned char *p, int size, unsigned column, quint32 pageNumber, StoredValue &v);

    Private &d;
    MdbCatalogEntry *m_entry;
    const QString m_name;
    quint32 m_tablePage = 0;
    MdbTableDef *m_table = nullptr;
    std::vector<MdbColumn *> m_cols;
    std::vector<StoredColumn> m_columns;
    std::vector<jet::Decoder> m_decoders;
    std::vector<jet::ValueContext> m_contexts;
    std::optional<jet::RowSplitter> m_splitter;
    std::vector<StoredValue> m_values;
    std::vector<quint32> m_pages;
    std::unique_ptr<core::CodePage> m_narrowText;   // this table's: another may be read at once
    // This table's memo and OLE fields, handed over at the end (see
    // longFields).
    bool m_lazy = false;
    std::vector<unsigned char> m_longFields;
    std::size_t m_longFieldsBlock = 0;
};

MdbFile::MdbFile(std::unique_ptr<FileImage> contents, const QString &path)
    : d(std::make_unique<Private>())
{
    d->image = std::move(contents);
    d->path = path;
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.").arg(path);
    const auto *head = reinterpret_cast<const unsigned char *>(d->image->view());
    const qsizetype size = d->image->size();

    const jet::Format *format = checkJetHeader(head, size, size, path) ? &jet::kJet3 : &jet::kJet4;
    if (d->image->pageSize() != format->pageSize)
        throw Error(unrecognized);
    d->format = format;
    if (size % format->pageSize != 0)
        d->damaged(QStringLiteral("its length is not a whole number of pages; it may be truncated"));
    d->pageCount = quint32(size / format->pageSize);
    if (d->pageCount < 3 || !d->pageHasType(2, jet::kDefinitionPage))
        d->damaged(QStringLiteral("the table catalog is missing"));

    d->mdb = mdb_open_buffer(d->image->view(), size_t(size), MDB_NOFLAGS);
    if (!d->mdb)
        throw Error(unrecognized);
    d->codePage = d->mdb->f->code_page ? d->mdb->f->code_page : 1252;
    if (format->jet3) {
        try {
            d->narrowText = std::make_unique<core::CodePage>(d->codePage);
        } catch (const core::UnknownCodePage &) {
            throw Error(QStringLiteral("The database '%1' keeps its text in code page %2, which cannot be read on this system.")
                            .arg(path).arg(d->codePage));
        }
    }
    readCatalog();
    // A map may lie on a page another table owns, which goes back to the
    // system once that table is read; the view keeps a copy.
    for (const MdbCatalogEntry *e : d->entries)
        d->placeMapsInView(quint32(e->table_pg));
    d->handBackPages = true;
}

// The catalog (MSysObjects, defined on page 2) is read here like any table
// rather than by libmdb's mdb_read_catalog, which also follows each
// object's property chain and loops forever on a damaged one.
void MdbFile::readCatalog()
{
    auto *catalog = d->newEntry(QStringLiteral("MSysObjects"), 2);
    d->placeMapsInView(2);
    int idColumn = -1, nameColumn = -1, typeColumn = -1, flagsColumn = -1;
    int rows = 0;
    const auto findColumns = [&](const std::vector<StoredColumn> &columns, std::size_t) {
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
    };
    const auto addTable = [&](std::vector<StoredValue> &values) {
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
    };
    TableRead(*d, catalog, QStringLiteral("MSysObjects")).run(findColumns, addTable, {});
    if (rows == 0)
        d->damaged(QStringLiteral("the table catalog cannot be read"));
}

MdbFile::~MdbFile() = default;

bool MdbFile::hasTable(const QString &name) const { return d->tables.contains(name.toLower()); }

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
    const std::size_t bitmapBytes = std::size_t(format->pageSize - jet::kMapPageBitmapOffset);
    for (std::size_t k = 0; 1 + 4 * (k + 1) <= mapSize; ++k) {
        const quint32 mapPage = le32(map + 1 + 4 * k);
        if (mapPage == 0)
            continue;
        if (!pageHasType(mapPage, jet::kMapPage)
            || !bitmap(page(mapPage) + jet::kMapPageBitmapOffset, bitmapBytes, k * bitmapBytes * 8))
            return false;
    }
    return true;
}

// Text of a long value: 8-bit in the code page (Jet 3) or as Text (Jet 4).
QString MdbFile::Private::longText(const QByteArray &raw, const core::CodePage *narrow) const
{
    if (narrow)
        return narrow->decode(raw);
    QString text;
    jet::decodeJet4Text(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size()), text);
    return text;
}

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
    const quint32 length = head & jet::kLongValueLengthMask;
    if (head & jet::kLongValueInline) {
        ok = true;
        return QByteArray(reinterpret_cast<const char *>(field + jet::kLongValueHeadSize), int(length));
    }
    quint32 pointer = le32(field + 4);
    QByteArray value;
    const bool single = head & jet::kLongValueOneRow;
    while (pointer != 0 && quint32(value.size()) < length) {
        if (!pageHasType(pointer >> 8, jet::kDataPage))
            return {};
        int start = 0, rowLength = 0;
        if (!jet::findRow(*format, page(pointer >> 8), int(pointer & 0xFF), start, rowLength))
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
    if (size < jet::kLongValueHeadSize)
        return false;
    const quint32 head = le32(field);
    const quint32 length = head & jet::kLongValueLengthMask;
    if ((head & jet::kLongValueInline) && (head & jet::kLongValueOneRow))
        return false;
    if (head & jet::kLongValueInline)
        return length <= quint32(size - jet::kLongValueHeadSize);
    if (length > quint32(image->size()) || ((head & jet::kLongValueOneRow) && length > quint32(format->pageSize)))
        return false;
    if (length == 0)
        return true;
    const quint32 pointer = le32(field + 4);
    if (!pageHasType(pointer >> 8, jet::kDataPage))
        return false;
    return (pointer & 0xFF) < le16(page(pointer >> 8) + format->rowCountOffset);
}

// The first `needed` bytes of a table definition, its continuation pages
// joined; fewer when the chain ends before.
QByteArray MdbFile::Private::definition(quint32 page, qsizetype needed) const
{
    const int pageSize = format->pageSize;
    QByteArray bytes;
    for (quint32 hops = 0; bytes.size() < needed && hops < pageCount && pageHasType(page, jet::kDefinitionPage); ++hops) {
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
    TableRead(*d, entry, name).run(columnsReady, rowReady, progress);
}

void MdbFile::TableRead::run(const ColumnsReady &columnsReady, const RowReady &rowReady, const PageProgress &progress)
{
    m_tablePage = quint32(m_entry->table_pg);
    readDefinition();
    readColumns();
    readDecimalScales();
    if (!d.dataPages(m_table->usage_map, m_table->map_sz, m_pages))
        d.damaged(QStringLiteral("the page map of table '%1' cannot be read").arg(m_name));
    columnsReady(m_columns, std::min<std::size_t>(m_table->num_rows, m_pages.size() * jet::kMaxRowsPerPage));
    openLongFields();
    walkPages(rowReady, progress);
    closeLongFields();
}

void MdbFile::TableRead::readDefinition()
{
    if (!d.pageHasType(m_tablePage, jet::kDefinitionPage))
        d.damaged(QStringLiteral("the definition of table '%1' is missing").arg(m_name));
    const std::lock_guard definitionLock(d.definitionMutex);
    m_table = mdb_read_table(m_entry);
    if (!m_table)
        d.damaged(QStringLiteral("the definition of table '%1' cannot be read").arg(m_name));
    // libmdb follows the usage map without checking it; an empty map or one
    // of an unknown kind would send it through NULL or over the whole file.
    if (!m_table->usage_map || m_table->map_sz < 5 || m_table->map_sz > size_t(d.format->pageSize)
        || m_table->usage_map[0] > 1)
        d.damaged(QStringLiteral("the page map of table '%1' cannot be read").arg(m_name));
    if (!mdb_read_columns(m_table) || m_table->num_cols == 0 || m_table->num_cols != m_table->columns->len)
        d.damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(m_name));
}

// The columns' names and kinds for the caller, their places in a row for
// the splitter, their decoders.
void MdbFile::TableRead::readColumns()
{
    const unsigned count = m_table->num_cols;
    m_cols.resize(count);
    m_columns.resize(count);
    m_values.resize(count);
    m_decoders.resize(count);
    m_contexts.assign(count, jet::ValueContext{});
    if (d.format->jet3)
        m_narrowText = std::make_unique<core::CodePage>(d.codePage);
    std::vector<jet::ColumnPlace> places(count);
    for (unsigned i = 0; i < count; ++i) {
        const MdbColumn *col = m_cols[i] = static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, i));
        m_columns[i].name = QString::fromUtf8(col->name);
        m_columns[i].kind = kindOf(col);
        m_decoders[i] = jet::decoderFor(static_cast<unsigned char>(col->col_type), *d.format);
        m_contexts[i].narrowText = m_narrowText.get();
        places[i] = {int(col->col_num), bool(col->is_fixed), int(col->fixed_offset), int(col->col_size), int(col->var_col_num)};
    }
    m_splitter.emplace(*d.format, std::move(places), m_table->num_var_cols > 0);
}

// Precision and scale of decimal columns come from the definition's own
// bytes: libmdb 1.0.0 reads each into the other's field. Access 97 has no
// decimals; such a column is of no known kind there.
void MdbFile::TableRead::readDecimalScales()
{
    const jet::Format &f = *d.format;
    QByteArray def;   // the column entries, read when a decimal column needs them
    qsizetype first = 0;
    int entries = 0;
    for (std::size_t i = 0; i < m_cols.size(); ++i) {
        if (m_cols[i]->col_type != MDB_NUMERIC)
            continue;
        if (f.jet3) {
            m_columns[i].kind = ColumnKind::Unknown;
            continue;
        }
        if (def.isEmpty()) {
            const QByteArray head = d.definition(m_tablePage, f.definitionEntriesStart);
            if (head.size() < f.definitionEntriesStart)
                d.damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(m_name));
            const auto *h = reinterpret_cast<const unsigned char *>(head.constData());
            first = f.definitionEntriesStart + qsizetype(le32(h + f.definitionRealIndexCount)) * f.realIndexEntrySize;
            entries = le16(h + f.definitionColumnCount);
            def = d.definition(m_tablePage, first + qsizetype(entries) * f.columnEntrySize);
        }
        const auto *b = reinterpret_cast<const unsigned char *>(def.constData());
        int precision = -1, scale = -1;
        for (int k = 0; k < entries && first + (k + 1) * f.columnEntrySize <= def.size(); ++k) {
            const unsigned char *e = b + first + k * f.columnEntrySize;
            if (e[0] == jet::kNumeric && le16(e + f.columnRowNumber) == m_cols[i]->row_col_num) {
                precision = e[f.columnPrecision];
                scale = e[f.columnScale];
                break;
            }
        }
        if (precision < 0)
            d.damaged(QStringLiteral("the columns of table '%1' cannot be read").arg(m_name));
        if (precision < 1 || precision > jet::kMaxDecimalDigits || scale < 0 || scale > precision)
            d.damaged(QStringLiteral("the decimal column '%1' of table '%2' has precision %3 and scale %4")
                          .arg(m_columns[i].name, m_name).arg(precision).arg(scale));
        m_contexts[i].scale = scale;
    }
}

void MdbFile::TableRead::openLongFields()
{
    m_lazy = d.mdb->f->db_key == 0;
    if (!m_lazy)
        return;
    const std::lock_guard lock(d.longFieldsMutex);
    m_longFieldsBlock = d.longFields.size();
    if (m_longFieldsBlock >> kBlockBits)
        d.damaged(QStringLiteral("too many tables are read"));
    d.longFields.emplace_back();
}

void MdbFile::TableRead::closeLongFields()
{
    if (!m_lazy)
        return;
    const std::lock_guard lock(d.longFieldsMutex);
    d.longFields[m_longFieldsBlock] = std::move(m_longFields);
}

// Whether a row of the table moved to another page when it grew.
bool MdbFile::TableRead::movesRows() const
{
    for (const quint32 number : m_pages) {
        if (!ownDataPage(number))
            continue;
        const unsigned char *pg = d.page(number);
        const int rows = jet::rowCount(*d.format, pg);
        for (int r = 0; r < rows; ++r)
            if ((jet::slotAt(*d.format, pg, r) & (jet::kSlotDeleted | jet::kSlotMoved)) == jet::kSlotMoved)
                return true;
    }
    return false;
}

// Every row of the table is read once, so its data pages go back to the
// system (see FileImage) as soon as they are passed; the other pages stay
// (definitions, maps, long values, the tables not read yet), and so does a
// page this table owns but its map does not list, as it was never read. A
// row that moved when it grew points to a page anywhere in the table: then
// the pages go at the end, when the file's pages are in order at all.
void MdbFile::TableRead::walkPages(const RowReady &rowReady, const PageProgress &progress)
{
    const auto unlisted = [&](quint32 number) { return !std::binary_search(m_pages.begin(), m_pages.end(), number); };
    const bool handBack = d.handBackPages && std::is_sorted(m_pages.begin(), m_pages.end());
    const bool passedAreDone = handBack && !movesRows();
    const auto pageOf = [&](quint32 number) { return d.page(number); };
    const auto own = [&](quint32 number) { return ownDataPage(number); };
    const auto visit = [&](quint32 pageNumber, int start, int size) {
        decodeRow(pageNumber, start, size);
        rowReady(m_values);
    };
    for (std::size_t at = 0; at < m_pages.size(); ++at) {
        if (progress && at % 512 == 0)
            progress(qsizetype(at), qsizetype(m_pages.size()));
        if (passedAreDone && at > 0 && at % 16 == 0)   // the smallest chunk
            d.image->releaseOwned(m_tablePage, unlisted, m_pages[at]);
        const quint32 pageNumber = m_pages[at];
        if (!ownDataPage(pageNumber))
            continue;   // a map may name a page since given to another table
        if (!jet::walkPage(*d.format, pageNumber, pageOf, own, visit))
            rowDamaged(pageNumber);
    }
    if (handBack)
        d.image->releaseOwned(m_tablePage, unlisted);
}

// Decodes the row at start/size of page `pageNumber` into m_values.
void MdbFile::TableRead::decodeRow(quint32 pageNumber, int start, int size)
{
    const unsigned char *page = d.page(pageNumber);
    if (!m_splitter->split(page, start, size))
        rowDamaged(pageNumber);
    const std::vector<jet::Field> &fields = m_splitter->fields();
    const int end = start + size;
    for (unsigned i = 0; i < unsigned(fields.size()); ++i) {
        const jet::Field &f = fields[i];
        StoredValue &v = m_values[i];
        v.kind = StoredValue::Kind::Null;
        const auto type = m_cols[i]->col_type;
        if (type == MDB_BOOL) {
            jet::decodeBoolean(f.present, v);
            continue;
        }
        if (!f.present)
            continue;
        if (f.size < 0 || f.start < start || f.start + f.size > end)
            rowDamaged(pageNumber);   // a value outside its row
        const unsigned char *p = page + f.start;
        if (m_decoders[i]) {
            if (!m_decoders[i](p, f.size, m_contexts[i], v))
                rowDamaged(pageNumber);
        } else if (type == MDB_MEMO || type == MDB_OLE) {
            keepLongValue(p, f.size, i, pageNumber, v);
        }
    }
}

// A memo or OLE field: kept aside to be read when asked for, or read at
// once from an encrypted file.
void MdbFile::TableRead::keepLongValue(const unsigned char *p, int size, unsigned column, quint32 pageNumber,
                                       StoredValue &v)
{
    if (m_lazy) {
        if (!d.longValueHeadIsSound(p, size) || (m_longFields.size() >> kOffsetBits))
            rowDamaged(pageNumber);
        v.kind = StoredValue::Kind::LongValue;
        v.integer = longValueReference(m_longFieldsBlock, m_longFields.size(), size);
        m_longFields.insert(m_longFields.end(), p, p + size);
        return;
    }
    bool ok = false;
    const QByteArray raw = d.readLongValue(p, size, ok);
    if (!ok)
        rowDamaged(pageNumber);
    if (m_cols[column]->col_type == MDB_OLE) {
        v.kind = StoredValue::Kind::Bytes;
        v.bytes = raw;
    } else {
        v.kind = StoredValue::Kind::Text;
        v.text = d.longText(raw, m_narrowText.get());
    }
}

} // namespace db
