// DataSource: the table model through which controls show a data set.
// One model column per field of the data set (visible or not), in field
// order; views hide what the field list does not show. While the data set is
// closed the model has no rows and no columns. It resets on open, close and
// re-sort. DisplayRole and EditRole both give the field's display text.
#pragma once

#include <QAbstractTableModel>

namespace db {

class DataSet;
class Field;

class DataSource : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles { FieldRole = Qt::UserRole + 1 };  // header data: the Field*

    DataSource(DataSet *dataSet, QObject *parent = nullptr);
    DataSet *dataSet() const { return m_dataSet; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;  // never editable

private:
    DataSet *m_dataSet;
};

} // namespace db
