// SqlStore: the private in-memory SQLite database in which queries run.
//
// The snapshot's tables appear in it as virtual tables (jet_tables.h); their
// columns carry the Jet kind in the declared type (so results know what each
// column is) and text columns use the database's text order (text_order.h)
// for ORDER BY.
#pragma once

#include "jet_tables.h"
#include "mdb_file.h"
#include "result_table.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class SqlStore {
public:
    SqlStore();   // throws Error
    ~SqlStore();
    SqlStore(const SqlStore &) = delete;
    SqlStore &operator=(const SqlStore &) = delete;

    // Told the table being read and how far (percent), then, now and then
    // while a query runs, an empty name and -1.
    void setProgressHandler(std::function<void(const QString &table, int percent)> handler);

    // Makes one decoded table queryable under its name. Throws Error.
    // Tables may be shared with another store that runs on another thread.
    void attach(const QString &table, std::shared_ptr<JetTable> data);

    // Stops a query running on another thread; it then fails.
    void interrupt();

    // Runs one read-only statement. When it names a table that is not yet
    // loaded, `missingTable` is set and nothing is thrown; other failures throw.
    // Memo and OLE references in the result are read through `longValues`.
    bool query(const QString &sql, ResultTable &result, QString &missingTable,
               const std::shared_ptr<const LongValueReader> &longValues = {});

private:
    bool prepare(const QString &sql, sqlite3_stmt *&stmt, QString &missingTable) const;
    static std::vector<ColumnValues> nameColumns(sqlite3_stmt *stmt, const QString &sql, ResultTable &result);

    QHash<QString, std::shared_ptr<JetTable>> m_tables;   // module key -> table; outlives m_db
    QHash<QString, std::shared_ptr<JetTable>> m_named;    // lower-case name in queries -> table
    OpenScans m_scans;                                    // outlives m_db
    sqlite3 *m_db = nullptr;
    std::function<void(const QString &, int)> m_progress;
};

} // namespace db
