#include "data_link.h"

#include "data_source.h"
#include "dataset.h"

#include <QLineEdit>
#include <QPlainTextEdit>

DataLink *DataLink::of(QWidget *control)
{
    return control->findChild<DataLink *>(QString(), Qt::FindDirectChildrenOnly);
}

DataLink *DataLink::attach(QWidget *control, db::DataSource *source, const QString &fieldName)
{
    delete of(control);
    auto *link = new DataLink(control, source, fieldName);
    link->refresh();
    return link;
}

DataLink::DataLink(QWidget *control, db::DataSource *source, const QString &fieldName)
    : QObject(control), m_control(control), m_source(source), m_fieldName(fieldName)
{
    db::DataSet *ds = source->dataSet();
    connect(ds, &db::DataSet::afterOpen, this, &DataLink::refresh);
    connect(ds, &db::DataSet::afterClose, this, &DataLink::refresh);
    connect(ds, &db::DataSet::orderChanged, this, &DataLink::refresh);
    connect(ds, &db::DataSet::currentRowChanged, this, &DataLink::refresh);
    connect(source, &QAbstractItemModel::modelReset, this, &DataLink::refresh);
}

QString DataLink::currentText() const
{
    const db::DataSet *ds = m_source->dataSet();
    if (!ds->active())
        return {};
    const int row = ds->currentRow();
    const db::Field *field = ds->findField(m_fieldName);
    if (row < 0 || !field)
        return {};
    return ds->displayText(row, field->index());
}

void DataLink::refresh()
{
    const QString text = currentText();
    if (auto *edit = qobject_cast<QLineEdit *>(m_control)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(m_control)) {
        if (memo->toPlainText() != text)
            memo->setPlainText(text);
    }
}
