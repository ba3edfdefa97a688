// Connection: the read-only link to one .mdb file.
//
// open() reads the whole file into memory once (one consistent snapshot even
// while another program writes to it). A table is decoded (its definition
// through libmdb, its rows by MdbFile) when a query first names it and is then seen by a private in-memory SQLite
// database in which the data sets' query texts run verbatim. The .mdb file
// is never opened for writing and nothing is created beside it.
#pragma once

#include "db_error.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace db {

class ResultTable;

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    // An ADO/Jet-style connection string; "Data Source" names the file and
    // "Mode" must ask for reading only. May be set only while disconnected.
    void setConnectionString(const QString &text);
    QString connectionString() const;

    // How "Data Source" finds the file on disk. The names come from Windows,
    // whose file system ignores letter case and takes "\\" as separator; the
    // program plugs in its file lookup here. Without one the path is used as is.
    using PathResolver = std::function<QString(const QString &path)>;
    void setPathResolver(PathResolver resolver) { m_pathResolver = std::move(resolver); }

    // Reports how a long open() or execute() is getting on, so that a window
    // can stay painted: the table being read (empty while the file itself is
    // read, or while a query runs) and how far in percent (-1: not known).
    using Progress = std::function<void(const QString &table, int percent)>;
    void setProgressHandler(Progress handler);

    void open();   // throws Error
    void close();  // drops the snapshot; closing a closed connection is a no-op
    bool connected() const;

    // Runs one query against the snapshot and returns all its rows.
    // Throws Error when not connected or when the query fails.
    ResultTable execute(const QString &sql) const;

    // Starts running `sql` on a second thread beside the queries that follow
    // on this one, over the same decoded tables (each decoded once, by
    // whichever thread first needs it). execute() with the same text then
    // waits for it and returns its rows or throws its error, as it would have
    // itself. dropAhead() stops and forgets it when it is no longer wanted;
    // close() does too. Progress is only ever reported on this thread. On a
    // single processor nothing is run ahead.
    void runAhead(const QString &sql);
    void dropAhead();

private:
    struct Snapshot;
    struct Ahead;
    QString m_connectionString;
    PathResolver m_pathResolver;
    Progress m_progress;
    std::unique_ptr<Snapshot> m_snapshot;
};

} // namespace db
