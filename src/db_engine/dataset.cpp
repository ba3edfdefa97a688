#include "dataset.h"

#include "connection.h"
#include "rank_ahead.h"
#include "result_table.h"
#include "sort_ranks.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace db {
namespace {

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::AutoIncrement: return QStringLiteral("AutoInc");
    case FieldKind::Integer: return QStringLiteral("Integer");
    case FieldKind::Float: return QStringLiteral("Float");
    case FieldKind::WideText: return QStringLiteral("WideString");
    case FieldKind::Memo: return QStringLiteral("WideMemo");
    case FieldKind::Boolean: return QStringLiteral("Boolean");
    case FieldKind::DateTime: return QStringLiteral("DateTime");
    }
    return {};
}

bool compatible(FieldKind field, ColumnKind column)
{
    if (column == ColumnKind::Unknown)   // an expression: no declared kind to check
        return true;
    switch (field) {
    case FieldKind::AutoIncrement:
    case FieldKind::Integer:
        return column == ColumnKind::Byte || column == ColumnKind::Integer16
            || column == ColumnKind::Integer32 || column == ColumnKind::AutoIncrement;
    case FieldKind::Float:
        return column == ColumnKind::Single || column == ColumnKind::Double
            || column == ColumnKind::Currency || column == ColumnKind::Numeric;
    case FieldKind::WideText:
        return column == ColumnKind::Text;
    case FieldKind::Memo:
        return column == ColumnKind::Memo || column == ColumnKind::OLE;
    case FieldKind::Boolean:
        return column == ColumnKind::Boolean;
    case FieldKind::DateTime:
        return column == ColumnKind::DateTime;
    }
    return false;
}

} // namespace

struct DataSet::Rows {
    ResultTable table;
    std::vector<int> columnOfField;   // result column bound to each field
    std::vector<int> order;           // current order: position -> table row
    std::unordered_map<int, SortRanks> ranks;   // per result column, made at its first sort
};

DataSet::DataSet(const QString &name, Connection *connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(name);
}

DataSet::~DataSet()
{
    qDeleteAll(m_fields);
}

void DataSet::fail(const QString &text) const
{
    throw Error(name() + QLatin1String(": ") + text);
}

void DataSet::checkActive() const
{
    if (!m_active)
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void DataSet::setCommandText(const QString &sql)
{
    m_commandText = sql;
}

Field *DataSet::addField(const FieldDef &def)
{
    auto *field = new Field(this, int(m_fields.size()), def);
    m_fields.append(field);
    return field;
}

Field *DataSet::findField(const QString &name) const
{
    for (Field *f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

Field *DataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

void DataSet::open()
{
    if (m_active)
        return;
    if (!m_connection)
        fail(QStringLiteral("Missing Connection or ConnectionString"));
    if (!m_connection->connected())
        m_connection->open();

    auto rows = std::make_shared<Rows>();
    rows->table = m_connection->execute(m_commandText);

    // Bind every field to its column by name, letter case ignored.
    const auto &columns = rows->table.columns;
    for (Field *f : m_fields) {
        const QString shown = f->hasTitle() ? f->displayLabel() : f->fieldName();
        int found = -1;
        for (int c = 0; c < int(columns.size()); ++c) {
            if (columns[c].name.compare(f->fieldName(), Qt::CaseInsensitive) == 0) {
                found = c;
                break;
            }
        }
        if (found < 0)
            fail(QStringLiteral("Field '%1' not found").arg(shown));
        if (!compatible(f->kind(), columns[found].kind))
            fail(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                     .arg(shown, fieldKindName(f->kind()), columnKindName(columns[found].kind)));
        rows->columnOfField.push_back(found);
    }
    rows->order.resize(std::size_t(rows->table.rowCount()));
    std::iota(rows->order.begin(), rows->order.end(), 0);

    emit aboutToReset();
    m_rows = std::move(rows);
    m_sort.clear();
    m_active = true;
    m_current = m_rows->order.empty() ? -1 : 0;
    emit afterOpen();
    if (m_current == 0) {
        emit currentRowChanged(0);
        emit afterScroll(this);
    }
}

void DataSet::close()
{
    if (!m_active)
        return;
    emit aboutToReset();
    if (m_ahead)
        m_ahead->stop();   // the thread lets go of the rows when its column is done
    m_rows.reset();
    m_sort.clear();
    m_active = false;
    m_current = -1;
    m_paintRow = -1;
    emit afterClose();
}

int DataSet::recordCount() const
{
    checkActive();
    return int(m_rows->order.size());
}

int DataSet::recNo() const
{
    const int row = activeRow();
    return row < 0 ? -1 : row + 1;
}

int DataSet::currentRow() const
{
    return m_active ? m_current : -1;
}

void DataSet::setCurrentRow(int row)
{
    if (!m_active || row < 0 || row >= int(m_rows->order.size()) || row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
    emit afterScroll(this);
}

int DataSet::activeRow() const
{
    if (!m_active)
        return -1;
    return m_paintRow >= 0 ? m_paintRow : m_current;
}

QVariant DataSet::value(int row, int fieldIndex) const
{
    if (!m_active || row < 0 || row >= int(m_rows->order.size()) || fieldIndex < 0
        || fieldIndex >= int(m_rows->columnOfField.size()))
        return {};
    return m_rows->table.value(m_rows->order[row], m_rows->columnOfField[fieldIndex]);
}

QString DataSet::displayText(int row, int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= m_fields.size())
        return {};
    return m_fields[fieldIndex]->displayTextOf(value(row, fieldIndex));
}

const SortRanks &DataSet::sortRanks(int column)
{
    auto it = m_rows->ranks.find(column);
    if (it != m_rows->ranks.end())
        return it->second;
    std::optional<SortRanks> made = m_ahead ? m_ahead->take(column) : std::nullopt;
    if (!made)
        made = rankColumn(m_rows->table, column);
    return m_rows->ranks.emplace(column, std::move(*made)).first->second;
}

// The field a part of a key list names ("Diam_Sverla", "FIO_AdminBD DESC"),
// with its name and direction; nullptr when none.
Field *DataSet::sortField(const QString &keyListPart, QString *name, bool *descending) const
{
    QStringList words = keyListPart.simplified().split(QLatin1Char(' '));
    *descending = false;
    if (words.size() > 1) {
        const QString dir = words.takeLast();
        if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
            *descending = true;
        else if (dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
            words.append(dir);
    }
    *name = words.join(QLatin1Char(' '));
    return findField(*name);
}

void DataSet::rankAhead(const QStringList &keyLists)
{
    checkActive();
    std::vector<int> columns;
    for (const QString &keyList : keyLists) {
        for (const QString &part : keyList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool descending;
            QString name;
            const Field *f = sortField(part, &name, &descending);
            if (!f || f->kind() == FieldKind::Memo)   // a memo is read from the file, by this thread only
                continue;
            const int column = m_rows->columnOfField[f->index()];
            if (!m_rows->ranks.count(column) && std::find(columns.begin(), columns.end(), column) == columns.end())
                columns.push_back(column);
        }
    }
    m_ahead.reset();   // an earlier one has stopped; this waits for it to end
    if (columns.empty())
        return;
    m_ahead = std::make_unique<RankAhead>(
        std::move(columns), [rows = std::shared_ptr<const Rows>(m_rows)](int column) {
            return rankColumn(rows->table, column);
        });
}

bool DataSet::rankingAhead() const
{
    return m_ahead && m_ahead->running();
}

void DataSet::setSort(const QString &keyList)
{
    checkActive();
    std::vector<RankKey> keys;
    for (const QString &part : keyList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool descending;
        QString name;
        Field *f = sortField(part, &name, &descending);
        if (!f)
            fail(QStringLiteral("Field '%1' not found").arg(name));
        keys.push_back({&sortRanks(m_rows->columnOfField[f->index()]), descending});
    }

    const int currentTableRow = m_current >= 0 ? m_rows->order[m_current] : -1;
    emit aboutToReset();
    std::vector<int> &order = m_rows->order;
    orderByRanks(keys, order);
    m_sort = keyList;
    // The same record stays current; no notification fires.
    if (currentTableRow >= 0)
        m_current = int(std::find(order.begin(), order.end(), currentTableRow) - order.begin());
    emit orderChanged();
}

namespace {

// The rows (ascending) whose `column` holds `value` as a field of `kind`
// reads it.
std::vector<int> rowsHolding(const ResultTable &t, int column, FieldKind kind, const QVariant &value)
{
    const bool text = kind == FieldKind::WideText || kind == FieldKind::Memo;
    const QString wantedText = value.toString();
    bool numberOk = false;
    const double wantedNumber = value.toDouble(&numberOk);
    // Row r as `cells` reads it, or as the table reads it when the values
    // are not held in place.
    const auto matches = [&](const ColumnCells &cells, int r) {
        const bool isNull = cells.direct() ? cells.isNull(r) : t.isNull(r, column);
        if (isNull || value.isNull())
            return isNull && value.isNull();
        if (text)
            return cells.direct() ? cells.text(r) == wantedText : t.value(r, column).toString() == wantedText;
        if (kind == FieldKind::Boolean)
            return ((cells.direct() ? cells.integer(r) : t.integerAt(r, column)) != 0) == value.toBool();
        if (!cells.direct())
            return numberOk && t.realAt(r, column) == wantedNumber;
        return numberOk && (cells.holdsIntegers() ? double(cells.integer(r)) : cells.real(r)) == wantedNumber;
    };
    const auto search = [&](const ColumnCells &cells, int rows) {
        std::vector<int> hits;
        for (int r = 0; r < rows; ++r) {
            if (r + ColumnCells::kAhead < rows)
                cells.prefetch(r + ColumnCells::kAhead);
            if (matches(cells, r))
                hits.push_back(r);
        }
        return hits;
    };
    const ColumnCells cells = t.cells(column);
    if (!cells.inTable())
        return search(cells, t.rowCount());
    // Values left in a table of the snapshot are searched in the table's
    // order, then the rows that read the rows found are picked.
    const std::vector<int> found = search(cells.tableOrder(), cells.tableRowCount());
    std::vector<int> hits;
    if (found.empty())
        return hits;
    for (int r = 0; r < t.rowCount(); ++r)
        if (std::binary_search(found.begin(), found.end(), cells.tableRowOf(r)))
            hits.push_back(r);
    return hits;
}

} // namespace

bool DataSet::locate(const QString &keyField, const QVariant &value)
{
    checkActive();
    const Field *f = fieldByName(keyField);
    const std::vector<int> hits = rowsHolding(m_rows->table, m_rows->columnOfField[f->index()], f->kind(), value);
    if (hits.empty())
        return false;
    // The first of them in the current order.
    const std::vector<int> &order = m_rows->order;
    const auto first = hits.size() == 1
                           ? std::find(order.begin(), order.end(), hits.front())
                           : std::find_if(order.begin(), order.end(),
                                          [&](int r) { return std::binary_search(hits.begin(), hits.end(), r); });
    m_current = int(first - order.begin());
    emit currentRowChanged(m_current);
    emit afterScroll(this);
    return true;
}

DataSet::ActiveRow::ActiveRow(const DataSet *dataSet, int row)
    : m_dataSet(dataSet), m_saved(dataSet->m_paintRow)
{
    dataSet->m_paintRow = row;
}

DataSet::ActiveRow::~ActiveRow()
{
    m_dataSet->m_paintRow = m_saved;
}

} // namespace db
