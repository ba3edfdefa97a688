// The declared types under which the decoded tables are shown to SQLite.
// Each names the Jet kind of the column, so a result column's kind can be
// read back from sqlite3_column_decltype(), and contains the word that
// gives SQLite the affinity it needs (INT, REAL, TEXT or BLOB).
#pragma once

#include "result_table.h"

#include <QString>

namespace db {

// `reference`: the column holds references to long values (memo or OLE)
// that are read only when a field asks for them.
const char *declaredTypeOf(ColumnKind kind, bool reference = false);
ColumnKind kindOfDeclared(const char *declared);  // Unknown for null or foreign types
bool isLongValueReference(const char *declared);

// A table or column name as an SQL identifier, quoted.
QString quotedIdentifier(const QString &name);

} // namespace db
