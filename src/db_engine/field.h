// Field: one persistent field of a data set. It binds to a result column by
// name (letter case ignored) when its data set opens, and reads the value of
// the data set's active record: the current record, or the row being painted
// while a DataSet::ActiveRow is in scope.
#pragma once

#include <QLocale>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <Qt>

namespace db {

class DataSet;

// The locale whose separators and date and time formats field texts use:
// the system's unless set (tests fix one).
void setDisplayLocale(const QLocale &locale);
QLocale displayLocale();

// The display texts of single values, as fields show them.
QString floatText(double value, const QLocale &locale);         // general format, 15 significant digits
QString dateTimeText(double accessDays, const QLocale &locale);  // short date [+ long time]

enum class FieldKind { AutoIncrement, Integer, Float, WideText, Memo, Boolean, DateTime };

struct FieldDef {
    QString fieldName;          // the result column it binds to
    FieldKind kind = FieldKind::Integer;
    int size = 0;               // WideText: declared size in characters
    QString displayLabel;       // the grid title; empty when the field has none
    int displayWidth = 0;       // characters; 0 = the kind's default
    bool visible = true;        // shown as a grid column
};

class Field {
public:
    Field(DataSet *dataSet, int index, FieldDef def);

    DataSet *dataSet() const { return m_dataSet; }
    int index() const { return m_index; }  // position in the data set's field list
    const QString &fieldName() const { return m_def.fieldName; }
    FieldKind kind() const { return m_def.kind; }
    int size() const { return m_def.size; }
    QString displayLabel() const;          // the title, or the field name when there is none
    bool hasTitle() const { return !m_def.displayLabel.isEmpty(); }
    int displayWidth() const;              // the set width or the kind's default
    bool visible() const { return m_def.visible; }
    Qt::Alignment alignment() const;       // numbers right, all else left

    // Values of the active record. Reading a closed or empty data set gives
    // the null results.
    bool isNull() const;
    QVariant value() const;       // QVariant() for null
    qint32 asInteger() const;     // null -> 0
    double asFloat() const;       // null -> 0
    bool asBoolean() const;       // null -> false
    QString asString() const;     // null -> "" ; same as displayText()
    QString displayText() const;

    // The display rule for a value of this field's kind (used by grids).
    QString displayTextOf(const QVariant &value) const;

private:
    DataSet *m_dataSet;
    int m_index;
    FieldDef m_def;
};

} // namespace db

Q_DECLARE_METATYPE(db::Field *)
