// Tables of the .mdb snapshot as SQLite virtual tables.
//
// Each table is decoded once into column arrays and handed to SQLite through
// the "jet" module: queries scan those arrays in place instead of a copy of
// every row in SQLite's own storage. Equality on an integer column (the joins
// on ID, ID_Firma, ID_People...) is answered from a sorted key list built on
// first use, so joins never scan the inner table.
#pragma once

#include "mdb_file.h"
#include "result_table.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

struct sqlite3;

namespace db {

struct JetTable {
    QString name;
    std::vector<StoredColumn> columns;
    std::vector<ColumnValues> values;   // one per column
    std::vector<bool> references;       // column holds memo/OLE references
    int rows = 0;
    // Per column: (key, row) pairs sorted by key, built when first needed.
    mutable std::vector<std::unique_ptr<std::vector<std::pair<qint64, int>>>> keys;

    const std::vector<std::pair<qint64, int>> &keyList(int column) const;
};

// Reads one table of the file whole. Throws Error.
std::unique_ptr<JetTable> readJetTable(MdbFile &file, const QString &name);

// The SQL type under which a column is declared (it names the Jet kind).
QString declaredColumn(const StoredColumn &column, bool reference, const char *collation);

// Registers the "jet" module; `tables` (lower-case name -> table) must
// outlive the connection.
void registerJetModule(sqlite3 *db, const QHash<QString, std::shared_ptr<JetTable>> *tables);

} // namespace db
