// The demo stock: a small Russian workshop whose rows also show everything
// the program marks or leaves out.
//
// Picture names that do not match the files one to one, as names stored by
// Windows programs do:
//   Sverla  row 3  "Sverlo_10.JPG"          file sverlo_10.jpg (letter case)
//   Sverla  row 5  "Sverla\sverlo_kh.jpg"    file Sverla/sverlo_kh.jpg (separator)
//   Frezy   row 4  "FREZA_2.jpg"            file freza_2.jpg
//   Frezy   row 6  "Frezy\freza_tor.jpg"     file Frezy/freza_tor.jpg
//   Plastinyi row 2 "PLAST_1.JPG"           file plast_1.jpg
//   People  2      "Smirnov.JPG"            file smirnov.jpg
//   People  8      "Foto\fedorov.jpg"        file Foto/fedorov.jpg
//   Sverla  family 6 "Sverla\SVERLO_6.ICO"  file Sverla/sverlo_6.ico
//   Derj_Plast       "DERJ_4.WMF"            file derj_4.wmf
// Every kind of picture file is there: JPEG (three of them 4000 x 3000
// photos: sverlo_4_foto, freza_1_foto, derj_1_foto), BMP (sverlo_3,
// freza_6), ICO (sverlo_6, plast_2), EMF (freza_3, plast_4) and WMF
// (derj_4, plast_5).
// Names whose file is missing: "sverlo_staroe.jpg", "freza_skan.jpg",
// "derj_nov.jpg", "plast_net.jpg", "morozov_2019.jpg".
#include "stock_schema.h"

#include "metafiles.h"
#include "pictures.h"

#include <filesystem>
#include <map>
#include <vector>

namespace stock {

using jetdb::Date;
using jetdb::Null;
using jetdb::Value;

namespace {

Value num(std::int64_t v) { return v; }
Value text(const char *s) { return std::string(s); }

// Small deterministic sequence, so the demo is the same on every machine.
struct Sequence {
    std::uint32_t state;
    int next(int lo, int hi)
    {
        state = state * 1664525u + 1013904223u;
        return lo + int((state >> 8) % std::uint32_t(hi - lo + 1));
    }
};

struct Debt {
    int kind, tool, person, qty;
    bool used;
    Date date;
    const char *admin;
};

const char *const firms[] = {
    "Sandvik Coromant", "ISCAR", "Seco Tools", "Gühring",
    "ОАО «Сестрорецкий инструментальный завод»", "ЗАО «Томский инструмент»",
};

struct Person { const char *fio; const char *foto; const char *file; int variant; };
const Person people[] = {
    {"Иванов Пётр Сергеевич", "ivanov.jpg", "ivanov.jpg", 0},
    {"Смирнов Алексей Викторович", "Smirnov.JPG", "smirnov.jpg", 1},
    {"Кузнецов Николай Иванович", "kuznetsov.jpg", "kuznetsov.jpg", 2},
    {"Попов Дмитрий Олегович", nullptr, "popov.jpg", 3},
    {"Васильев Андрей Павлович", "vasiliev.jpg", "vasiliev.jpg", 4},
    {"Соколова Ольга Николаевна", "", nullptr, 5},
    {"Морозов Юрий Геннадьевич", "morozov_2019.jpg", nullptr, 6},
    {"Фёдоров Артём Ильич", "Foto\\fedorov.jpg", "Foto/fedorov.jpg", 7},
};

const char *const boxes[] = {
    "Шкаф №1, полка 2", "Шкаф №1, полка 3", "Стеллаж Б-2", "Короб 14", "Ящик «Сверла мелкие»",
    "Шкаф №2, ящик 1", "Кладовая, стеллаж 4",
};

const char *const notes[] = {
    "Заточено 12.03.2024, угол при вершине 118°.",
    "Получено по накладной №347 от 15.01.2024.\r\nПартия проверена ОТК, замечаний нет.\r\nХранить в заводской упаковке.",
    "Для нержавеющей стали 12Х18Н10Т.\r\nРежимы: Vc = 60 м/мин, f = 0,12 мм/об.\r\nСОЖ обязательно!\r\n\r\nПосле 40 отверстий — контроль износа по задней поверхности (не более 0,3 мм).",
    "Две штуки с выкрашиванием кромки — отложены на переточку.",
    "Заказ у поставщика, ожидается в мае.",
    "",
};

std::string longNote()
{
    std::string s = "История инструмента:\r\n";
    const char *const events[] = {
        "выдано на участок токарных станков с ЧПУ",
        "возвращено после смены, износ в норме",
        "переточка в заточном отделении",
        "проверено мастером участка, годно",
        "списано 1 шт. по акту (сломано при врезании)",
    };
    for (int i = 0; i < 30; ++i) {
        s += std::to_string(1 + i % 28) + "." + (i % 12 < 9 ? "0" : "") + std::to_string(1 + i % 12) + ".2023 — ";
        s += events[i % 5];
        s += ";\r\n";
    }
    s += "Ответственный: кладовщица Петрова Н. В.";
    return s;
}

Value note(int i)
{
    if (i % 11 == 4)
        return longNote();
    if (i % 3 == 0)
        return Null{};
    return std::string(notes[i % 6]);
}

// Which rows carry the cases the program highlights.
struct Quantities { Value newQty, usedQty; };
Quantities quantities(Sequence &seq, int i)
{
    if (i == 9)
        return {num(-2), num(1)};            // a negative count, as typed in by mistake
    if (i == 12)
        return {Null{}, num(0)};             // NULL counts as nothing
    if (i == 15)
        return {num(4), Null{}};
    if (i % 7 == 2)
        return {num(0), num(0)};             // nothing in stock: a red row
    if (i % 5 == 3)
        return {num(0), num(seq.next(1, 6))};  // only used ones left
    return {num(seq.next(1, 40)), num(seq.next(0, 8))};
}

Value firmOf(Sequence &seq, int i)
{
    if (i == 20)
        return num(7);      // no such firm: the row is not listed
    if (i == 21)
        return Null{};
    return num(seq.next(1, 6));
}

std::string decimal(double v)
{
    std::string s = std::to_string(v);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    for (char &c : s)
        if (c == '.')
            c = ',';
    return s;
}

void addDrills(jetdb::Table &t, const std::map<int, int> &lent, Sequence &seq)
{
    struct Family { const char *type; const char *code; std::vector<double> diameters; int picture; };
    const Family families[] = {
        {"Спиральное с цилиндрическим хвостовиком", "2300-%s Р6М5 ГОСТ 10902-77", {3, 4, 5, 6, 6.8, 8, 8.5, 10, 10.2, 12}, 1},
        {"Спиральное с коническим хвостовиком", "2301-%s Р6М5К5 КМ2", {14, 16, 18, 20, 22.5, 25}, 2},
        {"Центровочное, тип А", "2317-0105 Ø%s", {2.5, 3.15, 4}, 3},
        {"Твердосплавное монолитное", "R840-%s-30-A0A 1220", {5, 6.8, 8.5, 10.2, 12}, 4},
        {"Корпусное со сменными пластинами", "880-D%sL25-03", {20, 25, 30}, 5},
        {"Ступенчатое под резьбу", "Ø%s/Ø14 под М8 (с фаской 90°)", {8.4}, 6},
        {"С внутренним подводом СОЖ", "SD203A-%s-26-10R1", {6, 8, 10, 12, 14}, 7},
        {"Спиральное удлинённое", "2300-%s Р6М5 ГОСТ 886-77 «длинная серия»", {4, 5, 6, 8, 10, 12}, 8},
    };
    int i = 0;
    for (const Family &f : families) {
        for (double d : f.diameters) {
            ++i;
            std::string code = f.code;
            code.replace(code.find("%s"), 2, decimal(d));
            Value pik = f.picture == 3   ? std::string("sverlo_3.bmp")
                        : f.picture == 4 ? std::string("sverlo_4_foto.jpg")
                        : f.picture == 6 ? std::string("Sverla\\SVERLO_6.ICO")
                                         : "sverlo_" + std::to_string(f.picture) + ".jpg";
            if (i == 3) pik = text("Sverlo_10.JPG");
            if (i == 5) pik = text("Sverla\\sverlo_kh.jpg");
            if (i == 7) pik = Null{};
            if (i == 8) pik = text("");
            if (i == 11) pik = text("sverlo_staroe.jpg");
            const Quantities q = quantities(seq, i);
            const int length = int(d * 8 + 40);
            t.addNamedRow({
                {"Kod", code}, {"Type", std::string(f.type)}, {"Diam_Sverla", d},
                {"Diam_Hvost", i % 6 == 1 ? Value(Null{}) : Value(d < 14 ? d : 17.78)},
                {"L_Instr", num(length)}, {"L_reza", num(length * 6 / 10)}, {"N_zub", num(2)},
                {"K_vo_New", q.newQty}, {"K_vo_BU", q.usedQty},
                {"K_vo_Dolg", num(lent.count(i) ? lent.at(i) : 0)}, {"K_vo_Vozvrat", num(i % 4 == 0 ? 1 : 0)},
                {"Pikcher", pik}, {"Prim", note(i)}, {"ID_Firma", firmOf(seq, i)},
                {"Korob", i % 9 == 5 ? Value(Null{}) : Value(std::string(boxes[i % 7]))},
            });
        }
    }
}

void addCutters(jetdb::Table &t, const std::map<int, int> &lent, Sequence &seq)
{
    struct Family { const char *type; const char *code; const char *fas; std::vector<double> diameters; int teeth; int picture; };
    const Family families[] = {
        {"Концевая", "2220-%s Р6М5К5 ц/х", "0,2×45°", {6, 8, 10, 12, 16, 20}, 4, 1},
        {"Концевая твердосплавная", "R216.34-%s-AC26P 1630", "R0,5", {6, 8, 10, 12}, 4, 2},
        {"Торцевая насадная", "R245-%sQ32-12M", "—", {50, 63, 80, 100, 125}, 6, 3},
        {"Дисковая трёхсторонняя", "2240-%s Р6М5", "", {63, 80, 100}, 14, 4},
        {"Шпоночная", "2234-%s Р6М5 ц/х", "0,3×45°", {6, 8, 10, 12, 14}, 2, 5},
        {"Сферическая", "R216-%s-A20L 1620", "R%s", {6, 10, 16, 20}, 2, 6},
        {"Угловая 45°", "JS452-%s-B1", "45°", {10, 16, 25}, 3, 7},
    };
    int i = 0;
    for (const Family &f : families) {
        for (double d : f.diameters) {
            ++i;
            std::string code = f.code;
            code.replace(code.find("%s"), 2, decimal(d));
            std::string fas = f.fas;
            if (auto at = fas.find("%s"); at != std::string::npos)
                fas.replace(at, 2, decimal(d / 2));
            Value pik = f.picture == 1   ? std::string("freza_1_foto.jpg")
                        : f.picture == 3 ? std::string("freza_3.emf")
                        : f.picture == 6 ? std::string("freza_6.bmp")
                                         : "freza_" + std::to_string(f.picture) + ".jpg";
            if (i == 4) pik = text("FREZA_2.jpg");
            if (i == 6) pik = text("Frezy\\freza_tor.jpg");
            if (i == 7) pik = Null{};
            if (i == 10) pik = text("freza_skan.jpg");
            if (i == 13) pik = text("");
            const Quantities q = quantities(seq, i);
            t.addNamedRow({
                {"Kod", code}, {"Type", std::string(f.type)}, {"R_FAS_instr", i == 17 ? Value(Null{}) : Value(fas)},
                {"Diam_Frez", d}, {"L_Reza", d < 40 ? d * 2.5 : 12.5}, {"Diam_Hvost", d < 40 ? Value(d < 12 ? d : 16.0) : Value(Null{})},
                {"L_Instr", d < 40 ? d * 5 + 40 : 45.0}, {"N_zub", double(f.teeth)},
                {"K_vo_New", q.newQty}, {"K_vo_BU", q.usedQty},
                {"K_vo_DOLG", num(lent.count(i) ? lent.at(i) : 0)}, {"K_vo_Vozvrat", num(0)},
                {"Pikcher", pik}, {"Prim", note(i + 1)}, {"ID_Firma", firmOf(seq, i)},
                {"Korob", std::string(boxes[(i + 3) % 7])},
            });
        }
    }
}

void addHolders(jetdb::Table &t, const std::map<int, int> &lent, Sequence &seq)
{
    struct Item { const char *name; const char *code; };
    const Item items[] = {
        {"Державка токарная проходная", "PCLNR 2525M12"}, {"Державка токарная проходная", "PCLNL 2525M12"},
        {"Державка токарная проходная", "PCLNR 2020K12"}, {"Державка токарная подрезная", "PWLNR 2525M08"},
        {"Державка токарная подрезная", "MWLNR 2020K08"}, {"Державка для контурного точения", "SDJCR 2020K11"},
        {"Державка для контурного точения", "SDJCL 2020K11"}, {"Державка для контурного точения", "PDJNR 2525M15"},
        {"Оправка расточная", "S20S-SCLCR09"}, {"Оправка расточная", "S25T-PCLNR12"},
        {"Оправка расточная", "A16R-SDUCR07"}, {"Оправка расточная", "S32U-PDUNR15"},
        {"Державка отрезная", "LF123G10-2525B"}, {"Державка отрезная", "LF123H13-2525BM"},
        {"Державка отрезная", "SGTFR 2525-3"}, {"Державка резьбовая наружная", "SER 2020K16"},
        {"Державка резьбовая наружная", "SER 2525M16"}, {"Державка резьбовая внутренняя", "SIR 0020P16"},
        {"Державка резьбовая внутренняя", "SIR 0025R16"}, {"Державка канавочная", "RF123F20-2525B"},
        {"Державка канавочная", "GHDR 25-3"}, {"Державка с креплением винтом", "SCLCR 1616H09"},
        {"Державка с креплением винтом", "SVJBR 2020K16"}, {"Державка с креплением винтом", "STGCR 2020K16"},
        {"Державка под круглую пластину", "PRGCR 2525M12"}, {"Державка под круглую пластину", "SRDCN 2525M10"},
        {"Державка для торцевых канавок", "QS-RF123E08-25B"}, {"Державка проходная отогнутая", "PSBNR 2525M12"},
        {"Державка проходная отогнутая", "PSSNR 2525M12"}, {"Державка для прорезки «ласточкин хвост»", "DTH 2525-45"},
        {"Державка токарная Ø16 мм", "A16R-SCLCR09"}, {"Державка модульная Coromant Capto", "C4-PCLNR-27050-12"},
    };
    int i = 0;
    for (const Item &item : items) {
        ++i;
        const int picture = 1 + i % 5;
        Value pik = picture == 1   ? std::string("derj_1_foto.jpg")
                    : picture == 4 ? std::string("DERJ_4.WMF")
                                   : "derj_" + std::to_string(picture) + ".jpg";
        if (i == 5) pik = Null{};
        if (i == 8) pik = text("derj_nov.jpg");
        if (i == 9) pik = text("");
        const Quantities q = quantities(seq, i);
        t.addNamedRow({
            {"Name", std::string(item.name)}, {"Kod", std::string(item.code)},
            {"K_vo_NEW", q.newQty}, {"K_vo_BU", q.usedQty}, {"K_vo_Dolg", num(lent.count(i) ? lent.at(i) : 0)},
            {"K_vo_Vozvrat", num(0)}, {"ID_Firma", firmOf(seq, i)}, {"Pikcher", pik}, {"Prim", note(i + 2)},
            {"Korob", std::string(boxes[(i + 1) % 7])},
        });
    }
}

void addInserts(jetdb::Table &t, const std::map<int, int> &lent, Sequence &seq)
{
    struct Family { const char *name; const char *codes[7]; int shape; };
    const Family families[] = {
        {"Пластина ромбическая 80°", {"CNMG 120408-PM 4325", "CNMG 120412-PR 4325", "CNMG 120404-MF 2220",
                                       "CCMT 09T304-PF 4315", "CCMT 060204-MF 1115", "CNMA 120408 3005", nullptr}, 0},
        {"Пластина треугольная", {"TNMG 160408-MF 1105", "TNMG 160404-PF 4325", "TCMT 110204-PM 4325",
                                   "TPUN 160308 Т15К6", "TNMA 160408 Т5К10", nullptr}, 1},
        {"Пластина квадратная", {"SNMG 120408-PR 4335", "SNMA 120408 ВК8", "SCMT 09T308-PM 1125",
                                  "SNUN 120408 Т15К6", "SPMR 120308 Т5К10", nullptr}, 2},
        {"Пластина ромбическая 55°", {"DNMG 150608-MF 2220", "DNMG 150604-PF 4315", "DCMT 11T304-PF 4325",
                                       "DCMT 070204-UM 1115", "DNMX 150608-WM 4325", nullptr}, 3},
        {"Пластина круглая", {"RCMT 1204M0-PM 4325", "RCMX 10T3M0 1130", "RNMG 120400 4325", "RPMT 1606M0 1130", nullptr}, 4},
        {"Пластина отрезная", {"N123G2-0300-0003-GM 1125", "N123H2-0400-0004-GM 1125", "N151.2-300-5E 4225",
                                "GTN-3 ВК8", nullptr}, 2},
        {"Пластина резьбовая", {"16ER 1.5 ISO", "16ER 2.0 ISO", "16IR 1.5 ISO", "16ER 14W (BSP)",
                                 "22ER 3.0 ISO", "16ER AG60", nullptr}, 1},
        {"Пластина для фрезы торцевой", {"R245-12T3M-PM 4240", "R245-12T3E-ML 2040", "SEKN 1203AFTN Т15К6",
                                          "APKT 1604PDR-MM 1040", "ODMT 0605ZZN-MM 1130", nullptr}, 0},
    };
    int i = 0;
    for (const Family &f : families) {
        for (const char *const *code = f.codes; *code; ++code) {
            ++i;
            static const char *const kinds[] = {".jpg", ".ico", ".jpg", ".emf", ".wmf"};
            Value pik = "plast_" + std::to_string(1 + f.shape) + kinds[f.shape];
            if (i == 2) pik = text("PLAST_1.JPG");
            if (i == 6) pik = Null{};
            if (i == 14) pik = text("plast_net.jpg");
            if (i == 17) pik = text("");
            const Quantities q = quantities(seq, i);
            t.addNamedRow({
                {"Naimenovanie", std::string(f.name)}, {"Kod", std::string(*code)},
                {"K_vo_NEW", q.newQty}, {"K_vo_BU", q.usedQty}, {"K_vo_Vozvrat", num(0)},
                {"K_vo_Dolg", num(lent.count(i) ? lent.at(i) : 0)}, {"ID_Firma", firmOf(seq, i)},
                {"Pikcher", pik}, {"Prim", note(i + 4)},
                {"Korob", i % 8 == 6 ? Value(Null{}) : Value(std::string(boxes[(i + 5) % 7]))},
            });
        }
    }
}

std::vector<Debt> debts()
{
    const char *const admins[] = {"Петрова Н. В.", "Гаврилов С. А.", "Петрова Н. В."};
    // 25 debts the debts page lists: drills (1), inserts (2), milling cutters (3).
    const int plan[][4] = {
        // kind, tool row, person, quantity
        {1, 1, 1, 2}, {1, 4, 2, 1}, {1, 6, 3, 1}, {1, 10, 5, 3}, {1, 14, 1, 1}, {1, 20, 8, 1}, {1, 22, 4, 2},
        {1, 27, 6, 1}, {1, 31, 7, 5}, {1, 35, 2, 1},
        {2, 1, 1, 10}, {2, 3, 3, 4}, {2, 7, 4, 2}, {2, 12, 5, 6}, {2, 19, 6, 2}, {2, 25, 7, 3}, {2, 33, 8, 1},
        {2, 40, 2, 5},
        {3, 2, 1, 1}, {3, 5, 2, 1}, {3, 9, 3, 2}, {3, 13, 4, 1}, {3, 20, 6, 1}, {3, 24, 7, 1}, {3, 28, 8, 2},
    };
    std::vector<Debt> out;
    int n = 0;
    for (const auto &p : plan) {
        ++n;
        out.push_back(Debt{p[0], p[1], p[2], p[3], n % 4 == 0,
                           Date::fromCivil(2024, 1 + n % 12, 1 + (n * 7) % 28, n % 5 == 0 ? 0 : 7 + n % 9, (n * 13) % 60, 0),
                           n == 13 ? nullptr : admins[n % 3]});
    }
    // Insert holders are kind 4, which the debts page does not show.
    out.push_back(Debt{4, 1, 3, 1, false, Date::fromCivil(2024, 2, 14, 9, 30, 0), "Гаврилов С. А."});
    out.push_back(Debt{4, 10, 5, 1, true, Date::fromCivil(2023, 11, 2, 14, 5, 0), "Петрова Н. В."});
    return out;
}

void writePictures(const std::string &dir)
{
    namespace pic = pictures;
    namespace mf = metafiles;
    const std::string base = dir + "/Images/Instrument/";
    const QSize photoSize(4000, 3000);
    // Icons are small and square.
    const auto icon = [](const QImage &sketch) {
        return sketch.copy(40, 0, 240, 240).scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    for (int v : {1, 2, 5, 7, 8})
        pic::save(pic::tool(pic::Tool::Drill, v), base + "sverlo_" + std::to_string(v) + ".jpg");
    pic::save(pic::tool(pic::Tool::Drill, 3), base + "sverlo_3.bmp");
    pic::save(pic::photo(pic::Tool::Drill, 4, photoSize, 4), base + "sverlo_4_foto.jpg", 92);
    pic::save(icon(pic::tool(pic::Tool::Drill, 6)), base + "Sverla/sverlo_6.ico");
    pic::save(pic::tool(pic::Tool::Drill, 9), base + "sverlo_10.jpg");
    pic::save(pic::tool(pic::Tool::Drill, 2), base + "Sverla/sverlo_kh.jpg");
    for (int v : {2, 4, 5, 7})
        pic::save(pic::tool(pic::Tool::Cutter, v), base + "freza_" + std::to_string(v) + ".jpg");
    pic::save(pic::photo(pic::Tool::Cutter, 1, photoSize, 1), base + "freza_1_foto.jpg", 92);
    mf::writeEmf(mf::toolSketch(0), base + "freza_3.emf");
    pic::save(pic::tool(pic::Tool::Cutter, 6), base + "freza_6.bmp");
    pic::save(pic::tool(pic::Tool::Cutter, 8), base + "Frezy/freza_tor.jpg");
    pic::save(pic::photo(pic::Tool::Holder, 1, photoSize, 11), base + "derj_1_foto.jpg", 92);
    for (int v : {2, 3, 5})
        pic::save(pic::tool(pic::Tool::Holder, v), base + "derj_" + std::to_string(v) + ".jpg");
    mf::writeWmf(mf::toolSketch(2), base + "derj_4.wmf");
    for (int v : {1, 3})
        pic::save(pic::tool(pic::Tool::Insert, v - 1), base + "plast_" + std::to_string(v) + ".jpg");
    pic::save(icon(pic::tool(pic::Tool::Insert, 1)), base + "plast_2.ico");
    mf::writeEmf(mf::toolSketch(3), base + "plast_4.emf");
    mf::writeWmf(mf::toolSketch(1), base + "plast_5.wmf");
    for (const Person &p : people)
        if (p.file)
            pic::save(pic::worker(p.variant), base + p.file);
}

} // namespace

void writeDemo(const std::string &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw jetdb::Error("cannot create folder " + dir + ": " + ec.message());

    jetdb::Database db(jetdb::Format::Jet4);
    StockTables t = addStockTables(db);
    addToolKinds(t.listTabl);
    for (int i = 0; i < 6; ++i)
        t.firma.addRow({num(i + 1), text(firms[i])});
    for (int i = 0; i < 8; ++i)
        t.people.addRow({num(i + 1), text(people[i].fio), people[i].foto ? text(people[i].foto) : Value(Null{})});

    const std::vector<Debt> list = debts();
    std::map<int, std::map<int, int>> lent;  // kind -> tool -> quantity
    int id = 0;
    for (const Debt &d : list) {
        ++id;
        lent[d.kind][d.tool] += d.qty;
        t.dolgi.addRow({num(id), num(1000 + id * 3), num(d.kind), num(d.tool), d.date, num(d.person), num(d.qty),
                        d.used, d.admin ? text(d.admin) : Value(Null{})});
    }

    Sequence seq{20240501};
    addDrills(t.sverla, lent[Drills], seq);
    addCutters(t.frezy, lent[Cutters], seq);
    addHolders(t.derj, lent[Holders], seq);
    addInserts(t.plast, lent[Inserts], seq);

    writePictures(dir);
    db.write(dir + "/tools.mdb");
}

void writeNoFoto(const std::string &dir)
{
    pictures::save(pictures::noPicture(), dir + "/Images/NoFoto/null_img_1.jpg");
    pictures::save(pictures::picturesOff(), dir + "/Images/NoFoto/null_img_2.jpg");
}

} // namespace stock
