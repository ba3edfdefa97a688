// MdbFile: an .mdb file held in memory and read through libmdb.
//
// The whole file is read into memory once (a snapshot; the file on disk is
// never touched again). libmdb reads the table definitions; the pages and
// rows are walked here in the snapshot itself, and the values decoded from
// the rows' raw bytes, because libmdb copies every page it reads and its
// text conversion loses data (dates before 1900, the last digits of
// doubles, empty strings, long memos). The data pages of a table are handed
// back once the table is read; memo and OLE fields are kept aside for later.
//
// A damaged file must never crash the reader: what libmdb does not check
// before it follows a pointer is checked here first, and every value is
// read only inside its row. Nor may damage pass unseen: a live row or a
// value that cannot be read fails the read of its table.
#pragma once

#include "jet_values.h"
#include "result_table.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace db {

class FileImage;

struct StoredColumn {
    QString name;
    ColumnKind kind = ColumnKind::Unknown;
};

class MdbFile : public LongValueReader {
public:
    // Throws Error: "Unrecognized database format '<path>'." for what is not
    // a Jet 3/Jet 4 database, a damage message when the catalog is unreadable.
    MdbFile(std::unique_ptr<FileImage> contents, const QString &path);
    ~MdbFile() override;
    MdbFile(const MdbFile &) = delete;
    MdbFile &operator=(const MdbFile &) = delete;

    bool hasTable(const QString &name) const;   // letter case ignored

    // `columns` is told the table's columns and the row count its definition
    // states: a hint for reserving room, no more (bounded by the table's
    // pages, as a damaged file may state anything).
    using ColumnsReady = std::function<void(const std::vector<StoredColumn> &columns, std::size_t rowsStated)>;
    using RowReady = std::function<void(std::vector<StoredValue> &row)>;
    using PageProgress = std::function<void(qsizetype done, qsizetype total)>;

    // Reads every live row of a user table. `columns` is called once, then
    // `row` once per row with one value per column, and `progress` now and
    // then with the pages read so far and the table's page count. Throws
    // Error when the table definition or one of its live rows cannot be
    // read (the message names the table and the row's page). Several tables
    // may be read at once, each by one thread, while memos are read.
    void readTable(const QString &name, const ColumnsReady &columns, const RowReady &row,
                   const PageProgress &progress = {});

    // Memo and OLE values are handed out as references (where their field
    // lies in the file) and read whole when asked for. Encrypted files, whose
    // pages cannot be read in place, get their values at once.
    bool readsLongValuesLater() const;
    QVariant readLongValue(qint64 reference, ColumnKind kind) const override;

private:
    void readCatalog();

    struct Private;
    class TableRead;
    std::unique_ptr<Private> d;
};

} // namespace db
