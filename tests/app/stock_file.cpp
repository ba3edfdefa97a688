#include "stock_file.h"

#include "stock_schema.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

using jetdb::Column;
using jetdb::Type;

namespace {

bool sameName(const std::string &a, const std::string &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

StockFile::StockFile(jetdb::Format format, int codePage)
    : m_format(format)
    , m_codePage(codePage)
{
    // The stock's own schema, copied so that a test can change it.
    jetdb::Database schema(format, codePage);
    const stock::StockTables tables = stock::addStockTables(schema);
    for (const jetdb::Table *t : {&tables.sverla, &tables.frezy, &tables.derj, &tables.plast, &tables.firma,
                                  &tables.dolgi, &tables.people, &tables.listTabl})
        m_tables.push_back({t->name(), t->columns(), {}});
}

StockFile::TableDef &StockFile::table(const std::string &name)
{
    for (TableDef &t : m_tables) {
        if (sameName(t.name, name))
            return t;
    }
    throw std::invalid_argument("no table " + name);
}

std::vector<Column>::iterator StockFile::column(TableDef &t, const std::string &name)
{
    auto it = std::find_if(t.columns.begin(), t.columns.end(), [&](const Column &c) { return sameName(c.name, name); });
    if (it == t.columns.end())
        throw std::invalid_argument("no column " + t.name + "." + name);
    return it;
}

StockFile &StockFile::renameColumn(const std::string &t, const std::string &c, const std::string &newName)
{
    column(table(t), c)->name = newName;
    return *this;
}

StockFile &StockFile::retypeColumn(const std::string &t, const std::string &c, Type type)
{
    auto it = column(table(t), c);
    it->type = type;
    it->autoNumber = false;
    return *this;
}

StockFile &StockFile::dropColumn(const std::string &t, const std::string &c)
{
    TableDef &def = table(t);
    def.columns.erase(column(def, c));
    return *this;
}

StockFile &StockFile::dropTable(const std::string &t)
{
    TableDef *def = &table(t);
    m_tables.erase(m_tables.begin() + (def - m_tables.data()));
    return *this;
}

StockFile &StockFile::add(const std::string &t, Row row)
{
    table(t).rows.push_back(std::move(row));
    return *this;
}

StockFile &StockFile::addSample()
{
    using jetdb::Date;
    add("Firma", {{"ID", std::int64_t(1)}, {"Name", std::string("Sandvik")}});
    add("People", {{"ID", std::int64_t(1)}, {"FIO", std::string("Иванов И. И.")}, {"Foto", std::string("ivanov.jpg")}});
    add("List_Tabl", {{"ID", std::int64_t(1)}, {"Tabl_Name", std::string("Сверла")}});
    add("List_Tabl", {{"ID", std::int64_t(2)}, {"Tabl_Name", std::string("Пластины")}});
    add("List_Tabl", {{"ID", std::int64_t(3)}, {"Tabl_Name", std::string("Фрезы")}});
    for (int i = 1; i <= 3; ++i) {
        const std::int64_t id = i;
        // Diameters and holder/insert codes descend with the ID, so query
        // order is the reverse of insertion order; the drill and cutter
        // codes ascend, so sorting by code changes the order.
        add("Sverla", {{"ID", id}, {"Kod", "S-" + std::to_string(i)}, {"Diam_Sverla", 10.0 - i},
                       {"K_vo_New", id}, {"ID_Firma", std::int64_t(1)}});
        add("Frezy", {{"ID", id}, {"Kod", "F-" + std::to_string(i)}, {"Diam_Frez", 20.0 - i},
                      {"ID_Firma", std::int64_t(1)}});
        add("Derj_Plast", {{"ID", id}, {"Name", std::string("Державка")}, {"Kod", "D-" + std::to_string(4 - i)},
                           {"ID_Firma", std::int64_t(1)}});
        add("Plastinyi", {{"ID", id}, {"Naimenovanie", std::string("Пластина")}, {"Kod", "P-" + std::to_string(4 - i)},
                          {"ID_Firma", std::int64_t(1)}});
    }
    add("Dolgi", {{"ID", std::int64_t(1)}, {"Nomer_Zap", std::int64_t(1)}, {"ID_Tabl", std::int64_t(1)},
                  {"ID_Instr", std::int64_t(1)}, {"ID_People", std::int64_t(1)}, {"K_vo", std::int64_t(2)},
                  {"Date", Date::fromCivil(2020, 5, 17)}});
    add("Dolgi", {{"ID", std::int64_t(2)}, {"Nomer_Zap", std::int64_t(2)}, {"ID_Tabl", std::int64_t(3)},
                  {"ID_Instr", std::int64_t(2)}, {"ID_People", std::int64_t(1)}, {"K_vo", std::int64_t(1)},
                  {"Instr_is_BU", true}});
    return *this;
}

void StockFile::write(const QString &path) const
{
    jetdb::Database database(m_format, m_codePage);
    for (const TableDef &def : m_tables) {
        jetdb::Table &t = database.addTable(def.name, def.columns);
        for (const Row &row : def.rows)
            t.addNamedRow(row);
    }
    database.write(path.toStdString());
}
