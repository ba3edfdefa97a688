// SqlStore: the private in-memory SQLite database in which queries run.
//
// Tables are copied in from the .mdb snapshot; their columns carry the Jet
// kind in the declared type (so results know what each column is) and text
// columns use the database's text order (text_order.h) for ORDER BY.
#pragma once

#include "mdb_file.h"
#include "result_table.h"

#include <QString>

struct sqlite3;

namespace db {

class SqlStore {
public:
    SqlStore();   // throws Error
    ~SqlStore();
    SqlStore(const SqlStore &) = delete;
    SqlStore &operator=(const SqlStore &) = delete;

    // Copies one table of the file in. Throws Error.
    void load(MdbFile &file, const QString &table);

    // Runs one read-only statement. When it names a table that is not yet
    // loaded, `missingTable` is set and nothing is thrown; other failures throw.
    bool query(const QString &sql, ResultTable &result, QString &missingTable);

private:
    sqlite3 *m_db = nullptr;
};

} // namespace db
