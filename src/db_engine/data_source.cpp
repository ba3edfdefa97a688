#include "data_source.h"

#include "dataset.h"
#include "field.h"

namespace db {

DataSource::DataSource(DataSet *dataSet, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    connect(dataSet, &DataSet::aboutToReset, this, [this] { beginResetModel(); });
    connect(dataSet, &DataSet::afterOpen, this, [this] { endResetModel(); });
    connect(dataSet, &DataSet::afterClose, this, [this] { endResetModel(); });
    connect(dataSet, &DataSet::orderChanged, this, [this] { endResetModel(); });
}

int DataSource::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataSet->active())
        return 0;
    return m_dataSet->recordCount();
}

int DataSource::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataSet->active())
        return 0;
    return int(m_dataSet->fields().size());
}

QVariant DataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataSet->active())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_dataSet->displayText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_dataSet->fields().at(index.column())->alignment() | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DataSource::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_dataSet->fields().size()
        || !m_dataSet->active())
        return QAbstractTableModel::headerData(section, orientation, role);
    Field *field = m_dataSet->fields().at(section);
    switch (role) {
    case Qt::DisplayRole:
        return field->displayLabel();
    case FieldRole:
        return QVariant::fromValue(field);
    default:
        return {};
    }
}

Qt::ItemFlags DataSource::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace db
