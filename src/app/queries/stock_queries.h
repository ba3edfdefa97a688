// The five data sets' query texts, as the data module runs them; the tests
// run the very same texts.
#pragma once

namespace queries {

// The queries reach the engine character for character: the stray CR after
// the drills' first line, the blank line and the "FZ" spelling in the milling
// cutters' query and the doubled spaces are all part of them.
inline constexpr char kSverlaQuery[] =
    "SELECT S.ID, S.Kod, S.Diam_Sverla, S.Diam_Hvost, S.L_Instr, S.L_reza,  S.N_zub, S.K_vo_BU, S.K_vo_New, S.K_vo_Dolg, \r\r\n"
    "S.K_vo_Vozvrat, S.Pikcher, S.Prim, F.Name, S.ID_Firma, S.Korob, S.Type\r\n"
    "FROM Sverla S, Firma F\r\n"
    "WHERE S.ID_Firma=F.ID\r\n"
    "ORDER BY S.Diam_Sverla;";

inline constexpr char kFrezyQuery[] =
    "SELECT Fz.ID,   Fz.Kod,  Fz.Diam_Frez,   Fz.L_Reza,  Fz.Diam_Hvost,   Fz.L_Instr, Fz.N_zub, Fz.K_vo_New, Fz.K_vo_BU, Fz.K_vo_DOLG, \r\n"
    "\r\n"
    "Fz.K_vo_Vozvrat,  Fz.Pikcher, FZ.Prim, F.Name, Fz.ID_Firma, Fz.Type, Fz.R_FAS_instr, Fz.Korob\r\n"
    "FROM Frezy Fz, Firma F\r\n"
    "WHERE Fz.ID_Firma=F.ID\r\n"
    "ORDER BY Fz.Diam_Frez;";

inline constexpr char kDerjQuery[] =
    "SELECT D.ID,  D.Name as Derj_Name, D.Kod, D.K_vo_NEW,  D.K_vo_BU,D.K_vo_Dolg,  D.K_vo_Vozvrat,  D.ID_Firma, D.Pikcher, D.Prim,F.Name, D.Korob\r\n"
    "FROM Derj_Plast D, Firma F\r\n"
    "WHERE D.ID_Firma=F.ID\r\n"
    "ORDER BY D.KOD;";

inline constexpr char kPlastQuery[] =
    "SELECT P.ID,  P.Naimenovanie, P.Kod, P.K_vo_NEW,  P.K_vo_BU, P.K_vo_Vozvrat,  P.ID_Firma, P.Pikcher, P.Prim,F.Name, P.K_vo_Dolg, P.Korob\r\n"
    "FROM Plastinyi  P, Firma F\r\n"
    "WHERE P.ID_Firma=F.ID\r\n"
    "ORDER BY P.KOD;";

// Debts of drills (1), inserts (2) and milling cutters (3); no branch reads
// the holders' table, so debts of any other kind are left out.
inline constexpr char kDolgiQuery[] =
    "SELECT D.ID, D.Nomer_Zap, S.KoD, D.ID_Tabl,  LT.Tabl_Name,  D.Date, PL.FIO, D.K_vo, D.Instr_is_BU, D.FIO_AdminBD, PL.Foto, S.Pikcher,D.ID_Instr, D.ID_People\r\n"
    "FROM Dolgi AS D, Sverla AS S, People AS PL, List_Tabl AS LT\r\n"
    "WHERE (D.ID_Instr=S.ID And D.ID_Tabl=1 AND D.ID_People=PL.ID AND D.ID_Tabl=LT.ID )\r\n"
    "UNION \r\n"
    "SELECT D.ID, D.Nomer_Zap, P.KoD, D.ID_Tabl,  LT.Tabl_Name,  D.Date, PL.FIO, D.K_vo, D.Instr_is_BU, D.FIO_AdminBD, PL.Foto, P.Pikcher,D.ID_Instr , D.ID_People\r\n"
    "FROM Dolgi AS D, Plastinyi AS P, People AS PL, List_Tabl AS LT\r\n"
    "WHERE (D.ID_Instr=P.ID And D.ID_Tabl=2 AND D.ID_People=PL.ID AND D.ID_Tabl=LT.ID)\r\n"
    "UNION \r\n"
    "SELECT D.ID, D.Nomer_Zap, F.KoD, D.ID_Tabl,  LT.Tabl_Name,  D.Date, PL.FIO, D.K_vo, D.Instr_is_BU, D.FIO_AdminBD, PL.Foto, F.Pikcher,D.ID_Instr , D.ID_People\r\n"
    "FROM Dolgi AS D, Frezy AS F, People AS PL, List_Tabl AS LT\r\n"
    "WHERE (D.ID_Instr=F.ID And D.ID_Tabl=3 AND D.ID_People=PL.ID AND D.ID_Tabl=LT.ID)\r\n";

} // namespace queries
