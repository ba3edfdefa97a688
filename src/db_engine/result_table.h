// ResultTable: the rows a query returned, held in memory, with the kind of
// each result column as the database declared it.
#pragma once

#include <QString>
#include <QVariant>
#include <vector>

namespace db {

// Kinds of stored columns, named as Jet knows them; a data set field checks
// its column against these when it binds.
enum class ColumnKind {
    Boolean, Byte, Integer16, Integer32, AutoIncrement, Currency, Single, Double,
    Numeric, DateTime, Text, Memo, Binary, OLE, Guid, Unknown
};

QString columnKindName(ColumnKind kind);  // the name used in type-mismatch messages

struct ResultColumn {
    QString name;     // as the query names it (alias or column name)
    ColumnKind kind = ColumnKind::Unknown;
};

// Values: QVariant() for NULL; bool; qint32 for Byte/Integer16/Integer32/
// AutoIncrement; double for Single, Double, Currency, Numeric and DateTime
// (DateTime as Access's day count, see date_value.h); QString for Text/Memo.
class ResultTable {
public:
    std::vector<ResultColumn> columns;
    // Storage is the engine's choice; reach it only through these.
    int rowCount() const;
    QVariant value(int row, int column) const;

    // implementation detail, public for the engine
    std::vector<std::vector<QVariant>> rows;
};

} // namespace db
