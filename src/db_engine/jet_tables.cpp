#include "jet_tables.h"

#include "db_error.h"
#include "declared_types.h"
#include "text_order.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace db {
namespace {

struct VTable : sqlite3_vtab {
    std::shared_ptr<JetTable> table;
    OpenScans *scans = nullptr;
};

struct ModuleData {
    const QHash<QString, std::shared_ptr<JetTable>> *tables;
    OpenScans *scans;
};

struct Cursor : sqlite3_vtab_cursor {
    const JetTable *table = nullptr;
    // Every row in storage order, a run of a key list, or an ordered scan.
    const std::pair<qint32, int> *keyed = nullptr;
    const int *ordered = nullptr;
    std::size_t at = 0, end = 0;
    // The key list last looked up: a join filters once per outer row, and
    // asking the table each time would take its lock each time.
    const JetTable::KeyList *keys = nullptr;
    int keysColumn = -1;
    int row() const { return keyed ? keyed[at].second : ordered ? ordered[at] : int(at); }
};

int connect(sqlite3 *db, void *aux, int argc, const char *const *argv, sqlite3_vtab **out, char **error)
{
    const auto *module = static_cast<const ModuleData *>(aux);
    const auto *tables = module->tables;
    if (argc < 4) {
        *error = sqlite3_mprintf("jet: no table named");
        return SQLITE_ERROR;
    }
    const QString key = QString::fromUtf8(argv[3]);
    const std::shared_ptr<JetTable> table = tables->value(key);
    if (!table) {
        *error = sqlite3_mprintf("jet: unknown table");
        return SQLITE_ERROR;
    }
    QStringList defs;
    for (std::size_t c = 0; c < table->columns.size(); ++c)
        defs << declaredColumn(table->columns[c], table->references[c], "JETTEXT");
    const QByteArray schema = QStringLiteral("CREATE TABLE x(%1)").arg(defs.join(QLatin1Char(','))).toUtf8();
    const int rc = sqlite3_declare_vtab(db, schema.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto *vt = new VTable();
    vt->table = table;
    vt->scans = module->scans;
    *out = vt;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *vt)
{
    delete static_cast<VTable *>(vt);
    return SQLITE_OK;
}

// Only a table's ID column is offered to the planner for look-ups: joins
// then run in the order of the table that is scanned, as the tables are
// stored, and rows that sort equal keep that order. (Any integer column's key
// list may narrow a scan to a constant, at a scan's cost: see bestIndex.)
bool integerColumn(const JetTable &t, int column)
{
    return column >= 0 && column < int(t.columns.size())
        && t.storage[std::size_t(column)] == ColumnValues::Storage::Integer;
}

bool keyColumn(const JetTable &t, int column)
{
    return integerColumn(t, column)
        && t.columns[std::size_t(column)].name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0;
}

// Equality on the ID column is served from its key list (idxNum: column + 1);
// anything else is a scan of every row (idxNum 0), or of a constant's run
// (idxNum: -(column + 1)). SQLite checks every other constraint itself. A
// scan takes over the ORDER BY when every term is a column it can order by.
int bestIndex(sqlite3_vtab *vt, sqlite3_index_info *info)
{
    const JetTable &t = *static_cast<VTable *>(vt)->table;
    int chosen = -1;
    double chosenRows = t.rows;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || !keyColumn(t, c.iColumn))
            continue;
        const JetTable::KeyList &keys = t.keyList(c.iColumn);
        const double rows = keys.distinct ? double(keys.pairs.size()) / double(keys.distinct) : 1.0;
        if (chosen < 0 || rows < chosenRows) {
            chosen = i;
            chosenRows = rows;
        }
    }
    if (chosen >= 0) {
        // The run holds exactly the rows whose ID equals the value as SQLite
        // compares it (an integer column takes the numeric value of the
        // other side: filter() does the same), so SQLite need not check it.
        info->aConstraintUsage[chosen].argvIndex = 1;
        info->aConstraintUsage[chosen].omit = 1;
        info->idxNum = info->aConstraint[chosen].iColumn + 1;
        info->estimatedRows = sqlite3_int64(std::max(1.0, chosenRows));
        info->estimatedCost = 1.0 + std::log2(double(t.rows) + 1) + chosenRows;
        return SQLITE_OK;
    }
    // A scan costs more per row than a look-up, so that a small table is
    // looked up by ID rather than scanned once per outer row.
    info->idxNum = 0;
    info->estimatedRows = t.rows;
    info->estimatedCost = 10.0 * double(t.rows) + 1;
    if (info->nOrderBy > 0) {
        QByteArray terms;
        for (int i = 0; i < info->nOrderBy; ++i) {
            const auto &o = info->aOrderBy[i];
            if (!t.canOrderBy(o.iColumn))
                return SQLITE_OK;   // SQLite sorts
            if (i > 0)
                terms += ',';
            terms += QByteArray::number(o.iColumn) + (o.desc ? 'd' : 'a');
        }
        info->idxStr = sqlite3_mprintf("%s", terms.constData());
        info->needToFreeIdxStr = 1;
        info->orderByConsumed = 1;
        return SQLITE_OK;
    }
    // A constant on an integer column ("D.ID_Tabl=1") narrows the scan to
    // that key's run of the key list: the same rows in the same storage
    // order, and exactly those that pass (so SQLite need not check again).
    // The cost stays a scan's, so the planner joins as it would without it
    // (a cheaper estimate could move this table outward).
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        sqlite3_value *constant = nullptr;
        if (c.usable && c.op == SQLITE_INDEX_CONSTRAINT_EQ && integerColumn(t, c.iColumn)
            && sqlite3_vtab_rhs_value(info, i, &constant) == SQLITE_OK) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = -(c.iColumn + 1);
            break;
        }
    }
    return SQLITE_OK;
}

int open(sqlite3_vtab *vt, sqlite3_vtab_cursor **out)
{
    auto *cursor = new Cursor();
    cursor->table = static_cast<VTable *>(vt)->table.get();
    static_cast<VTable *>(vt)->scans->opened(cursor);
    *out = cursor;
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor *base)
{
    static_cast<VTable *>(base->pVtab)->scans->closed(base);
    delete static_cast<Cursor *>(base);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *base, int idxNum, const char *idxStr, int argc, sqlite3_value **argv)
{
    auto *cursor = static_cast<Cursor *>(base);
    const JetTable &t = *cursor->table;
    cursor->keyed = nullptr;
    cursor->ordered = nullptr;
    cursor->at = 0;
    cursor->end = std::size_t(t.rows);
    if (idxNum == 0 && idxStr) {
        cursor->ordered = t.rowOrder(QByteArray(idxStr)).data();
        return SQLITE_OK;
    }
    if (idxNum == 0 || argc < 1)
        return SQLITE_OK;
    const int keyed = idxNum > 0 ? idxNum - 1 : -idxNum - 1;
    qint64 key = 0;
    switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_INTEGER:
        key = sqlite3_value_int64(argv[0]);
        break;
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(argv[0]);
        if (d != std::floor(d) || std::fabs(d) > 9.0e18) {
            cursor->end = 0;   // no integer equals it
            return SQLITE_OK;
        }
        key = qint64(d);
        break;
    }
    default:   // NULL or text: equal to no integer
        cursor->end = 0;
        return SQLITE_OK;
    }
    if (cursor->keysColumn != keyed) {
        cursor->keys = &t.keyList(keyed);
        cursor->keysColumn = keyed;
    }
    const JetTable::KeyList &keys = *cursor->keys;
    const auto [begin, end] = keys.run(key);
    cursor->keyed = keys.pairs.data();
    cursor->at = begin;
    cursor->end = end;
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cursor)
{
    ++static_cast<Cursor *>(cursor)->at;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *base)
{
    const auto *cursor = static_cast<Cursor *>(base);
    return cursor->at >= cursor->end;
}

int column(sqlite3_vtab_cursor *base, sqlite3_context *context, int column)
{
    const auto *cursor = static_cast<Cursor *>(base);
    const JetTable &t = *cursor->table;
    const JetTable::Row row = t.rowCells(cursor->row());
    if (t.isNull(row, column)) {
        sqlite3_result_null(context);
        return SQLITE_OK;
    }
    const JetTable::Cell c = t.cell(row, column);
    switch (t.storage[std::size_t(column)]) {
    case ColumnValues::Storage::Integer:
        sqlite3_result_int(context, qint32(c.integer));
        break;
    case ColumnValues::Storage::Real:
        sqlite3_result_double(context, c.real);
        break;
    case ColumnValues::Storage::Text: {
        // The table lives as long as the connection: no copy. SQLite takes
        // a null pointer for NULL, so an empty text points at a literal.
        const QStringView text = t.text(c);
        sqlite3_result_text16(context, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
        break;
    }
    case ColumnValues::Storage::LongValue:
        sqlite3_result_int64(context, c.integer);
        break;
    case ColumnValues::Storage::Bytes: {
        const QByteArray &b = t.blobs[std::size_t(c.integer)];
        sqlite3_result_blob(context, b.constData(), int(b.size()), SQLITE_STATIC);
        break;
    }
    case ColumnValues::Storage::Variant:
        sqlite3_result_null(context);
        break;
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *base, sqlite3_int64 *out)
{
    *out = static_cast<Cursor *>(base)->row();
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module m{};   // read-only: no xUpdate, no transactions
    m.xCreate = connect;
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

const sqlite3_module kModule = makeModule();

} // namespace

const JetTable::KeyList &JetTable::keyList(int column) const
{
    const std::lock_guard lock(cacheMutex);
    if (keys.size() != columns.size())
        keys.resize(columns.size());
    auto &slot = keys[std::size_t(column)];
    if (!slot) {
        slot = std::make_unique<KeyList>();
        auto &pairs = slot->pairs;
        pairs.reserve(std::size_t(rows));
        for (int r = 0; r < rows; ++r) {
            const Row row = rowCells(r);
            if (!isNull(row, column))
                pairs.emplace_back(qint32(cell(row, column).integer), r);
        }
        std::stable_sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (std::size_t k = 0; k < pairs.size(); ++k)
            if (k == 0 || pairs[k].first != pairs[k - 1].first)
                ++slot->distinct;
        if (!pairs.empty()) {
            const qint64 low = pairs.front().first, high = pairs.back().first;
            if (high - low <= 4 * qint64(pairs.size()) + 64) {
                slot->low = low;
                slot->starts.resize(std::size_t(high - low + 2));
                std::size_t k = 0;
                for (qint64 key = low; key <= high + 1; ++key) {
                    while (k < pairs.size() && pairs[k].first < key)
                        ++k;
                    slot->starts[std::size_t(key - low)] = quint32(k);
                }
            }
        }
    }
    return *slot;
}

bool JetTable::isKeyColumn(int column) const
{
    return keyColumn(*this, column);
}

std::pair<std::size_t, std::size_t> JetTable::KeyList::run(qint64 key) const
{
    if (!starts.empty()) {
        if (key < low || key - low >= qint64(starts.size()) - 1)
            return {0, 0};
        const auto at = std::size_t(key - low);
        return {starts[at], starts[at + 1]};
    }
    const auto range = std::equal_range(pairs.begin(), pairs.end(), std::pair<qint64, int>(key, 0),
                                        [](const auto &a, const auto &b) { return qint64(a.first) < qint64(b.first); });
    return {std::size_t(range.first - pairs.begin()), std::size_t(range.second - pairs.begin())};
}

bool JetTable::canOrderBy(int column) const
{
    if (column == -1)
        return true;
    if (column < 0 || column >= int(columns.size()))
        return false;
    switch (storage[std::size_t(column)]) {
    case ColumnValues::Storage::Integer:
    case ColumnValues::Storage::Real:
    case ColumnValues::Storage::LongValue:
        return true;
    case ColumnValues::Storage::Text:
        // Only text in the database's order; GUIDs compare as raw bytes.
        return columns[std::size_t(column)].kind == ColumnKind::Text
            || columns[std::size_t(column)].kind == ColumnKind::Memo;
    case ColumnValues::Storage::Bytes:
    case ColumnValues::Storage::Variant:
        break;
    }
    return false;
}

namespace {

// Compares two rows on one column as SQLite compares the values xColumn
// gives it: NULL first (a NaN reaches SQLite as NULL), then by value, text in
// the database's text order.
int compareRows(const JetTable &t, int column, int a, int b)
{
    if (column < 0)
        return (a > b) - (a < b);
    const JetTable::Row rowA = t.rowCells(a), rowB = t.rowCells(b);
    const JetTable::Cell x = t.cell(rowA, column), y = t.cell(rowB, column);
    const ColumnValues::Storage storage = t.storage[std::size_t(column)];
    bool nullA = t.isNull(rowA, column), nullB = t.isNull(rowB, column);
    if (storage == ColumnValues::Storage::Real) {
        nullA = nullA || std::isnan(x.real);
        nullB = nullB || std::isnan(y.real);
    }
    if (nullA || nullB)
        return int(nullB) - int(nullA);
    switch (storage) {
    case ColumnValues::Storage::Integer:
    case ColumnValues::Storage::LongValue:
        return (x.integer > y.integer) - (x.integer < y.integer);
    case ColumnValues::Storage::Real:
        return (x.real > y.real) - (x.real < y.real);
    case ColumnValues::Storage::Text:
        return compareDatabaseText(t.text(x), t.text(y));
    case ColumnValues::Storage::Bytes:
    case ColumnValues::Storage::Variant:
        break;
    }
    return 0;
}

} // namespace

const std::vector<int> &JetTable::rowOrder(const QByteArray &terms) const
{
    const std::lock_guard lock(cacheMutex);
    auto it = orders.find(terms);
    if (it != orders.end())
        return it->second;
    struct Term {
        int column;
        bool descending;
    };
    std::vector<Term> list;
    for (const QByteArray &part : terms.split(',')) {
        if (part.isEmpty())
            continue;
        list.push_back({part.chopped(1).toInt(), part.endsWith('d')});
    }
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(rows));
    if (list.size() == 1 && list[0].column >= 0) {
        // One column (every query of the program): its values are gathered
        // beside their rows first, so that the sort moves through one compact
        // array rather than visiting rows all over the table.
        const int column = list[0].column;
        const bool descending = list[0].descending;
        std::vector<int> nulls;
        const auto gather = [&](auto &keyed, auto value, auto less) {
            keyed.reserve(std::size_t(rows));
            for (int r = 0; r < rows; ++r) {
                const Row row = rowCells(r);
                if (isNull(row, column) || !value(cell(row, column), r, keyed))
                    nulls.push_back(r);
            }
            std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &x, const auto &y) {
                return descending ? less(y.first, x.first) : less(x.first, y.first);
            });
            // NULL sorts first: before the values ascending, after them descending.
            if (!descending)
                order = nulls;
            for (const auto &k : keyed)
                order.push_back(k.second);
            if (descending)
                order.insert(order.end(), nulls.begin(), nulls.end());
        };
        switch (storage[std::size_t(column)]) {
        case ColumnValues::Storage::Text: {
            std::vector<std::pair<QStringView, int>> keyed;
            gather(keyed, [&](const Cell &c, int row, auto &k) { k.emplace_back(text(c), row); return true; },
                   [](QStringView x, QStringView y) { return compareDatabaseText(x, y) < 0; });
            break;
        }
        case ColumnValues::Storage::Real: {
            std::vector<std::pair<double, int>> keyed;
            gather(keyed, [&](const Cell &c, int row, auto &k) {
                       if (std::isnan(c.real))   // a NaN reaches SQLite as NULL
                           return false;
                       k.emplace_back(c.real, row);
                       return true;
                   },
                   [](double x, double y) { return x < y; });
            break;
        }
        default: {   // Integer, LongValue
            std::vector<std::pair<qint64, int>> keyed;
            gather(keyed, [&](const Cell &c, int row, auto &k) { k.emplace_back(c.integer, row); return true; },
                   [](qint64 x, qint64 y) { return x < y; });
            break;
        }
        }
        return orders.emplace(terms, std::move(order)).first->second;
    }
    order.resize(static_cast<std::size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (const Term &term : list) {
            const int c = compareRows(*this, term.column, a, b);
            if (c != 0)
                return term.descending ? c > 0 : c < 0;
        }
        return false;
    });
    return orders.emplace(terms, std::move(order)).first->second;
}

QString declaredColumn(const StoredColumn &column, bool reference, const char *collation)
{
    const char *type = declaredTypeOf(column.kind, reference);
    QString def = quotedIdentifier(column.name) + QLatin1Char(' ') + QLatin1String(type);
    if (!reference && (column.kind == ColumnKind::Text || column.kind == ColumnKind::Memo))
        def += QLatin1String(" COLLATE ") + QLatin1String(collation);
    return def;
}

std::unique_ptr<JetTable> readJetTable(MdbFile &file, const QString &name, const MdbFile::PageProgress &progress)
{
    auto table = std::make_unique<JetTable>();
    table->name = name;
    std::vector<DistinctTexts> distinct;   // per column
    file.readTable(
        name,
        [&](const std::vector<StoredColumn> &columns, std::size_t rowsStated) {
            table->columns = columns;
            table->storage.resize(columns.size());
            table->references.assign(columns.size(), false);
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const bool reference = file.readsLongValuesLater()
                    && (columns[c].kind == ColumnKind::Memo || columns[c].kind == ColumnKind::OLE);
                table->references[c] = reference;
                auto &storage = table->storage[c];
                storage = reference ? ColumnValues::Storage::LongValue : ColumnValues::storageFor(columns[c].kind);
                if (storage == ColumnValues::Storage::Variant)
                    storage = ColumnValues::Storage::Bytes;   // unknown kinds: kept as NULL
            }
            distinct.resize(columns.size());
            const std::size_t nullWords = (columns.size() + 31) / 32;
            table->columnAt.resize(columns.size());
            table->stride = nullWords;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                table->columnAt[c] = quint32(table->stride);
                table->stride += table->narrow(int(c)) ? 1 : 2;
            }
            // Grown row by row, the rows would be copied over and over.
            table->words.reserve(rowsStated * table->stride);
        },
        [&](std::vector<StoredValue> &row) {
            JetTable &t = *table;
            const std::size_t at = t.words.size();
            t.words.resize(at + t.stride, 0);
            quint32 *const words = t.words.data() + at;
            const auto setNull = [&](std::size_t c) { words[c / 32] |= quint32(1) << (c % 32); };
            for (std::size_t c = 0; c < row.size() && c < t.storage.size(); ++c) {
                const StoredValue &s = row[c];
                quint32 *const value = words + t.columnAt[c];
                JetTable::Cell cell{};
                bool null = s.kind == StoredValue::Kind::Null;
                switch (t.storage[c]) {
                case ColumnValues::Storage::Integer:
                    null = null || s.kind != StoredValue::Kind::Integer;
                    *value = null ? 0 : quint32(qint32(s.integer));
                    break;
                case ColumnValues::Storage::Real:
                    null = null || s.kind != StoredValue::Kind::Real;
                    cell.real = null ? 0.0 : s.real;
                    std::memcpy(value, &cell, sizeof cell);
                    break;
                case ColumnValues::Storage::Text:
                    null = null || s.kind != StoredValue::Kind::Text;
                    cell.text.begin = null ? 0 : distinct[c].keep(t.chars, s.text.utf16(), std::size_t(s.text.size()));
                    cell.text.length = null ? 0 : quint32(s.text.size());
                    std::memcpy(value, &cell, sizeof cell);
                    break;
                case ColumnValues::Storage::LongValue:
                    null = null || s.kind != StoredValue::Kind::LongValue;
                    cell.integer = null ? 0 : s.integer;
                    std::memcpy(value, &cell, sizeof cell);
                    break;
                case ColumnValues::Storage::Bytes:
                    null = null || s.kind != StoredValue::Kind::Bytes;
                    if (!null) {
                        *value = quint32(t.blobs.size());
                        t.blobs.push_back(s.bytes);
                    }
                    break;
                case ColumnValues::Storage::Variant:
                    null = true;
                    break;
                }
                if (null)
                    setNull(c);
            }
            // A short row (none yet) reads as NULLs in its missing columns.
            for (std::size_t c = row.size(); c < t.storage.size(); ++c)
                setNull(c);
            ++t.rows;
        },
        progress);
    // The characters grew by doubling. What growth left over was never
    // written, so it holds no memory; shrinking would copy them all again.
    table->blobs.shrink_to_fit();
    return table;
}

int OpenScans::rowOf(const JetTable *table) const
{
    const Cursor *found = nullptr;
    for (const void *open : m_open) {
        const auto *cursor = static_cast<const Cursor *>(open);
        if (cursor->table != table)
            continue;
        if (found)
            return -1;
        found = cursor;
    }
    return found && found->at < found->end ? found->row() : -1;
}

void OpenScans::closed(const void *cursor)
{
    const auto it = std::find(m_open.begin(), m_open.end(), cursor);
    if (it != m_open.end())
        m_open.erase(it);
}

void registerJetModule(sqlite3 *db, const QHash<QString, std::shared_ptr<JetTable>> *tables, OpenScans *scans)
{
    sqlite3_create_module_v2(db, "jet", &kModule, new ModuleData{tables, scans},
                             [](void *data) { delete static_cast<ModuleData *>(data); });
}

} // namespace db
