// ResultBuilder: fills a ResultTable with the rows of a running statement
// and records where they came from.
//
// A result column that is a plain column of one of the snapshot's tables
// starts out holding no values: it names, per result row, the table row the
// scan stood on (a "source"). As long as SQLite hands out exactly that
// row's value, nothing is copied; a sort or a union coming between turns
// the column into one that holds its values. Texts read straight from a
// table stay in the table's characters.
#pragma once

#include "jet_tables.h"
#include "result_table.h"

#include <QHash>

#include <memory>
#include <vector>

struct sqlite3_stmt;
struct sqlite3_value;

namespace db {

class ResultBuilder {
public:
    using Tables = QHash<QString, std::shared_ptr<JetTable>>;

    // `result` has its columns named; `columns` says how each one's values
    // are kept. `tables` are all the snapshot's tables (where a text may
    // lie), `named` the same by lower-case name as queries name them.
    ResultBuilder(sqlite3_stmt *stmt, ResultTable &result, std::vector<ColumnValues> columns,
                  std::shared_ptr<const LongValueReader> longValues, const Tables &tables, const Tables &named,
                  const OpenScans &scans);
    ~ResultBuilder();
    ResultBuilder(const ResultBuilder &) = delete;
    ResultBuilder &operator=(const ResultBuilder &) = delete;

    void addRow();   // the statement's current row
    void finish();

private:
    struct TextSource;
    struct Key {
        int resultColumn = -1;
        int tableColumn = -1;
        const JetTable::KeyList *list = nullptr;
    };

    void findSources(const Tables &named);
    void reserve();
    void findKeys();
    bool fromSource(int column, sqlite3_value *v);
    int searchKey(std::size_t source);
    int rowNamedByKey(std::size_t source, int row);
    void keepValues(int column);
    void appendValue(int column, sqlite3_value *v);
    void appendText(ColumnValues &col, TextSource &source, const void *data, std::size_t units) const;

    sqlite3_stmt *m_stmt;
    ResultTable &m_result;
    std::vector<ColumnValues> &m_data;
    std::vector<ResultTable::Source> &m_sources;
    const Tables &m_tables;
    const OpenScans &m_scans;
    std::vector<std::unique_ptr<TextSource>> m_texts;   // per column
    // Per source: the row its table's scan stands on now, how many columns
    // still read through it, the ID that finds its row and the tries left.
    std::vector<int> m_sourceRow;
    std::vector<int> m_sourceUsers;
    std::vector<Key> m_keys;
    std::vector<int> m_keySearches;
    int m_rows = 0;
};

} // namespace db
