// DataLink: keeps an edit or memo showing one field of its data set's current
// record. The text follows every record change, open, close and re-sort; it
// is empty while the data set is closed or empty, or when the field is
// unknown. The field name matches without regard to letter case.
#pragma once

#include <QObject>
#include <QString>

class QWidget;
namespace db { class DataSource; class DataSet; }

class DataLink : public QObject {
    Q_OBJECT
public:
    // Replaces any link the control had; the link lives as the control's child.
    static DataLink *attach(QWidget *control, db::DataSource *source, const QString &fieldName);
    static DataLink *of(QWidget *control);

    db::DataSource *dataSource() const { return m_source; }
    QString fieldName() const { return m_fieldName; }
    QString currentText() const;

    void refresh();

private:
    DataLink(QWidget *control, db::DataSource *source, const QString &fieldName);
    QWidget *m_control;
    db::DataSource *m_source;
    QString m_fieldName;
};
