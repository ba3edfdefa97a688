#include "stock_schema.h"

namespace stock {

using jetdb::Column;
using jetdb::Type;

namespace {

Column autoId() { return Column{"ID", Type::Long, 255, true}; }
Column longCol(const char *name) { return Column{name, Type::Long}; }
Column doubleCol(const char *name) { return Column{name, Type::Double}; }
Column textCol(const char *name, int size) { return Column{name, Type::Text, size}; }
Column memoCol(const char *name) { return Column{name, Type::Memo}; }

} // namespace

StockTables addStockTables(jetdb::Database &db)
{
    // Letter case as Skarpa's tables spell it: K_vo_New against K_vo_NEW,
    // K_vo_DOLG in Frezy, L_reza against L_Reza.
    jetdb::Table &sverla = db.addTable("Sverla", {
        autoId(), textCol("Kod", 150), textCol("Type", 200), doubleCol("Diam_Sverla"), doubleCol("Diam_Hvost"),
        longCol("L_Instr"), longCol("L_reza"), longCol("N_zub"), longCol("K_vo_New"), longCol("K_vo_BU"),
        longCol("K_vo_Dolg"), longCol("K_vo_Vozvrat"), textCol("Pikcher", 250), memoCol("Prim"),
        longCol("ID_Firma"), textCol("Korob", 100)});
    jetdb::Table &frezy = db.addTable("Frezy", {
        autoId(), textCol("Kod", 250), textCol("Type", 200), textCol("R_FAS_instr", 50), doubleCol("Diam_Frez"),
        doubleCol("L_Reza"), doubleCol("Diam_Hvost"), doubleCol("L_Instr"), doubleCol("N_zub"),
        longCol("K_vo_New"), longCol("K_vo_BU"), longCol("K_vo_DOLG"), longCol("K_vo_Vozvrat"),
        textCol("Pikcher", 250), memoCol("Prim"), longCol("ID_Firma"), textCol("Korob", 100)});
    jetdb::Table &derj = db.addTable("Derj_Plast", {
        autoId(), textCol("Name", 250), textCol("Kod", 250), longCol("K_vo_NEW"), longCol("K_vo_BU"),
        longCol("K_vo_Dolg"), longCol("K_vo_Vozvrat"), longCol("ID_Firma"), textCol("Pikcher", 250),
        memoCol("Prim"), textCol("Korob", 100)});
    jetdb::Table &plast = db.addTable("Plastinyi", {
        autoId(), textCol("Naimenovanie", 250), textCol("Kod", 150), longCol("K_vo_NEW"), longCol("K_vo_BU"),
        longCol("K_vo_Vozvrat"), longCol("K_vo_Dolg"), longCol("ID_Firma"), textCol("Pikcher", 250),
        memoCol("Prim"), textCol("Korob", 100)});
    jetdb::Table &firma = db.addTable("Firma", {longCol("ID"), textCol("Name", 250)});
    jetdb::Table &dolgi = db.addTable("Dolgi", {
        longCol("ID"), longCol("Nomer_Zap"), longCol("ID_Tabl"), longCol("ID_Instr"), Column{"Date", Type::DateTime},
        longCol("ID_People"), longCol("K_vo"), Column{"Instr_is_BU", Type::Boolean}, textCol("FIO_AdminBD", 255)});
    jetdb::Table &people = db.addTable("People", {longCol("ID"), textCol("FIO", 255), textCol("Foto", 255)});
    jetdb::Table &listTabl = db.addTable("List_Tabl", {longCol("ID"), textCol("Tabl_Name", 255)});
    return StockTables{sverla, frezy, derj, plast, firma, dolgi, people, listTabl};
}

void addToolKinds(jetdb::Table &listTabl)
{
    listTabl.addRow({std::int64_t(Drills), std::string("Сверла")});
    listTabl.addRow({std::int64_t(Inserts), std::string("Пластины")});
    listTabl.addRow({std::int64_t(Cutters), std::string("Фрезы")});
    listTabl.addRow({std::int64_t(Holders), std::string("Державки пластин")});
}

} // namespace stock
