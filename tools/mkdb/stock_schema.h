// The workshop stock database as the program reads it: the eight tables and
// their columns, and writers of the demo and benchmark stocks.
#pragma once

#include "jetdb.h"

#include <cstdint>
#include <string>

namespace stock {

// The tables added by addStockTables(); references into the Database.
struct StockTables {
    jetdb::Table &sverla;     // drills
    jetdb::Table &frezy;      // milling cutters
    jetdb::Table &derj;       // insert holders (Derj_Plast)
    jetdb::Table &plast;      // inserts (Plastinyi)
    jetdb::Table &firma;      // firms
    jetdb::Table &dolgi;      // debts: tools handed out to workers
    jetdb::Table &people;     // workers
    jetdb::Table &listTabl;   // tool kinds (List_Tabl)
};

// Adds the eight tables, empty, with the columns the program's queries use.
// The tool tables' ID is an AutoNumber; the other tables' ID is a plain Long.
StockTables addStockTables(jetdb::Database &db);

// Values of Dolgi.ID_Tabl: which tool table a debt refers to.
enum ToolKind : int { Drills = 1, Inserts = 2, Cutters = 3, Holders = 4 };

// Adds the four List_Tabl rows (1 drills, 2 inserts, 3 milling cutters,
// 4 insert holders).
void addToolKinds(jetdb::Table &listTabl);

// Writes DIR/tools.mdb and the pictures its rows name under
// DIR/Images/Instrument/. Throws jetdb::Error.
void writeDemo(const std::string &dir);

// Writes DIR/Images/NoFoto/null_img_1.jpg (no picture) and null_img_2.jpg
// (pictures switched off). Throws jetdb::Error.
void writeNoFoto(const std::string &dir);

struct BenchSizes {
    int drills = 1000;
    int cutters = 500;
    int holders = 200;
    int inserts = 500;
    int debts = 2000;
};

// Writes a pseudo-random stock of the given size; the same sizes, seed and
// layout always give the same file. A Jet 4 file, or a Jet 3 one in
// `jet3CodePage` when that is not 0. Throws jetdb::Error.
void writeBench(const std::string &path, const BenchSizes &sizes, std::uint64_t seed,
                const jetdb::Layout &layout = jetdb::Layout::realLayout(), int jet3CodePage = 0);

} // namespace stock
