// Test databases for the program-level tests: the stock schema's eight tables
// (tools/mkdb), written through jetdb, with ways to damage the schema the way real
// files differ (letter case, missing columns, other types, missing tables).
#pragma once

#include "jetdb.h"

#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

class StockFile {
public:
    using Row = jetdb::Table::NamedValues;

    explicit StockFile(jetdb::Format format = jetdb::Format::Jet4, int codePage = 1252);

    // Schema changes; apply before adding rows to the table concerned.
    StockFile &renameColumn(const std::string &table, const std::string &column, const std::string &newName);
    StockFile &retypeColumn(const std::string &table, const std::string &column, jetdb::Type type);
    StockFile &dropColumn(const std::string &table, const std::string &column);
    StockFile &dropTable(const std::string &table);

    // Adds a row (columns by name, the rest NULL; see jetdb::Table::addNamedRow).
    StockFile &add(const std::string &table, Row row);

    // A small complete stock: one firm, worker and tool kind list, and a few
    // rows in every tool table and in the debts.
    StockFile &addSample();

    void write(const QString &path) const;

private:
    struct TableDef {
        std::string name;
        std::vector<jetdb::Column> columns;
        std::vector<Row> rows;
    };
    TableDef &table(const std::string &name);
    std::vector<jetdb::Column>::iterator column(TableDef &table, const std::string &name);

    jetdb::Format m_format;
    int m_codePage;
    std::vector<TableDef> m_tables;
};
