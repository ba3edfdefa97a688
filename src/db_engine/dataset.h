// DataSet: the rows of one query, held in memory, with a current record,
// an optional sort and a fixed list of persistent fields.
//
// Errors are db::Error with the data set's name and ": " before the text
// ("dtset_Sverla: Cannot perform this operation on a closed dataset").
#pragma once

#include "db_error.h"
#include "field.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

namespace db {

class Connection;
class RankAhead;
struct SortRanks;

class DataSet : public QObject {
    Q_OBJECT
public:
    DataSet(const QString &name, Connection *connection, QObject *parent = nullptr);
    ~DataSet() override;

    QString name() const { return objectName(); }
    Connection *connection() const { return m_connection; }

    void setCommandText(const QString &sql);
    QString commandText() const { return m_commandText; }

    // The persistent field list, in field order (the grids' column order).
    Field *addField(const FieldDef &def);
    const QList<Field *> &fields() const { return m_fields; }
    Field *findField(const QString &name) const;   // letter case ignored; nullptr if none
    Field *fieldByName(const QString &name) const; // throws "Field '%s' not found"

    // Runs the command text, binds every field (missing column, type
    // mismatch -> Error, data set stays closed), keeps all rows, makes the
    // first one current and fires afterScroll when there is one.
    void open();
    void close();      // drops rows and sort; fires no afterScroll
    bool active() const { return m_active; }

    int recordCount() const;            // throws when closed
    int recNo() const;                  // 1-based position of the active record; -1 when empty
    int currentRow() const;             // 0-based current row in the current order; -1 when empty/closed
    void setCurrentRow(int row);        // moves; fires afterScroll when the row changes

    // "Type,Diam_Sverla,KOD": ascending, stable, NULL first, text in the
    // collation order of the database. Throws when closed or on an unknown name.
    // An empty list returns to the query's order.
    void setSort(const QString &keyList);
    QString sort() const { return m_sort; }

    // Ranks the fields of these key lists ahead, on a thread of idle
    // priority, for the setSort() calls to come; a sort finds them made or
    // ranks what is not. Unknown names and memo fields are passed over.
    // Stops when the data set closes. Throws when closed.
    void rankAhead(const QStringList &keyLists);
    bool rankingAhead() const;  // whether that thread still runs

    // Makes the first row whose keyField equals value current and fires
    // afterScroll; returns false and moves nothing when there is none.
    // Throws when closed.
    bool locate(const QString &keyField, const QVariant &value);

    // Direct cell access in the current order, for models.
    QVariant value(int row, int fieldIndex) const;
    QString displayText(int row, int fieldIndex) const;

    // While alive, field reads address `row` instead of the current record
    // (a grid presenting the row it paints).
    class ActiveRow {
    public:
        ActiveRow(const DataSet *dataSet, int row);
        ~ActiveRow();
        ActiveRow(const ActiveRow &) = delete;
        ActiveRow &operator=(const ActiveRow &) = delete;
    private:
        const DataSet *m_dataSet;
        int m_saved;
    };
    int activeRow() const;  // the row field reads address; -1 when none

signals:
    void aboutToReset();              // before rows appear, go or are re-ordered
    void afterOpen();
    void afterClose();
    void orderChanged();              // rows re-ordered by setSort()
    void currentRowChanged(int row);  // before afterScroll
    void afterScroll(db::DataSet *dataSet);

private:
    [[noreturn]] void fail(const QString &text) const;
    void checkActive() const;
    const SortRanks &sortRanks(int column);
    Field *sortField(const QString &keyListPart, QString *name, bool *descending) const;

    struct Rows;
    Connection *m_connection;
    QString m_commandText;
    QList<Field *> m_fields;
    std::shared_ptr<Rows> m_rows;   // shared with the ranking ahead while it runs
    std::unique_ptr<RankAhead> m_ahead;
    QString m_sort;
    bool m_active = false;
    int m_current = -1;
    mutable int m_paintRow = -1;
};

} // namespace db
