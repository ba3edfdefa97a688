// A pseudo-random stock of any size for benchmarks: the demo's schema,
// realistic text lengths, about 30% of tools with notes (1% of those over
// 4,000 bytes), some NULLs in every nullable column, and 1-2% of rows whose
// firm, worker or tool is missing. Laid out by default as Access leaves a
// file that grew over years (jetdb::Layout::realLayout).
#include "stock_schema.h"

#include "jet_text.h"

#include <QString>

#include <algorithm>
#include <initializer_list>

namespace stock {

using jetdb::Null;
using jetdb::Value;

namespace {

// splitmix64: fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + int(next() % std::uint64_t(hi - lo + 1)); }
    bool percent(double p) { return double(next() % 100000) < p * 1000.0; }
    template <std::size_t N> const char *pick(const char *const (&list)[N]) { return list[next() % N]; }

private:
    std::uint64_t m_state;
};

const char *const drillTypes[] = {"Спиральное с цилиндрическим хвостовиком", "Спиральное с коническим хвостовиком",
                                  "Центровочное", "Твердосплавное монолитное", "Корпусное со сменными пластинами",
                                  "Ступенчатое", "С внутренним подводом СОЖ", "Удлинённое"};
const char *const cutterTypes[] = {"Концевая", "Концевая твердосплавная", "Торцевая насадная", "Дисковая",
                                   "Шпоночная", "Сферическая", "Угловая", "Червячная модульная"};
const char *const holderTypes[] = {"Державка токарная проходная", "Оправка расточная", "Державка отрезная",
                                   "Державка резьбовая", "Державка канавочная", "Державка подрезная"};
const char *const insertTypes[] = {"Пластина ромбическая 80°", "Пластина треугольная", "Пластина квадратная",
                                   "Пластина ромбическая 55°", "Пластина круглая", "Пластина отрезная",
                                   "Пластина резьбовая"};
const char *const materials[] = {"Р6М5", "Р6М5К5", "Р18", "ВК8", "Т15К6", "Т5К10", "HSS-Co", "4325", "1125", "GC1130"};
const char *const words[] = {"заточено", "получено", "по накладной", "партия", "проверено", "ОТК", "износ",
                             "в норме", "для", "стали", "нержавеющей", "чугуна", "алюминия", "режимы", "подача",
                             "скорость", "СОЖ", "обязательно", "переточка", "участок", "станок", "ЧПУ", "16К20",
                             "ИС-500", "мастер", "смены", "сколы", "кромки", "хранить", "в упаковке", "—", "№12",
                             "Ø10,5", "118°", "«Красный пролетарий»", "заказ", "ожидается", "поставщик"};
const char *const surnames[] = {"Иванов", "Смирнов", "Кузнецов", "Попов", "Васильев", "Петров", "Соколов",
                                "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев",
                                "Семёнов", "Егоров", "Павлов", "Козлов", "Степанов", "Николаев"};
const char *const names[] = {"Пётр", "Алексей", "Николай", "Дмитрий", "Андрей", "Сергей", "Юрий", "Артём",
                             "Иван", "Олег", "Виктор", "Геннадий"};
const char *const patronymics[] = {"Сергеевич", "Викторович", "Иванович", "Олегович", "Павлович", "Николаевич",
                                   "Геннадьевич", "Ильич", "Петрович", "Андреевич"};
const char *const firmWords[] = {"Sandvik Coromant", "ISCAR", "Seco Tools", "Gühring", "Walter", "Kennametal",
                                 "Mitsubishi Materials", "ОАО «Сестрорецкий инструментальный завод»",
                                 "ЗАО «Томский инструмент»", "ООО «ВИЗ-Инструмент»", "ООО «Кировградский твёрдый сплав»"};

// Concatenation whose parts are computed left to right (a braced list is
// sequenced; the operands of + are not), so the stock does not depend on
// the compiler.
std::string cat(std::initializer_list<std::string> parts)
{
    std::string s;
    for (const std::string &p : parts)
        s += p;
    return s;
}

std::string code(Random &r, int minLength, int maxLength)
{
    static const char letters[] = "ABCDEFGHKLMNPRSTVW";
    std::string s;
    const int length = r.range(minLength, maxLength);
    while (int(s.size()) < length) {
        const int part = r.range(0, 4);
        if (part == 0)
            s += letters[r.next() % (sizeof letters - 1)];
        else if (part == 1)
            s += std::to_string(r.range(10, 99999));
        else if (part == 2)
            s += r.pick(materials);
        else if (part == 3)
            s += '-';
        else
            s += ' ';
    }
    return s;
}

std::string sentence(Random &r, std::size_t minBytes, std::size_t maxBytes)
{
    const std::size_t target = minBytes + std::size_t(r.next() % (maxBytes - minBytes + 1));
    std::string s;
    while (s.size() < target) {
        s += r.pick(words);
        s += r.percent(8) ? ".\r\n" : " ";
    }
    return s;
}

// A nullable value: NULL in about 2% of rows.
template <typename T> Value maybe(Random &r, T v)
{
    if (r.percent(2))
        return Null{};
    return Value(v);
}

// Notes on about 30% of tools; 1% of those longer than 4,000 bytes as stored.
Value note(Random &r)
{
    if (!r.percent(30))
        return r.percent(3) ? Value(std::string()) : Value(Null{});
    if (r.percent(1))
        return sentence(r, 6000, 16000);
    return sentence(r, 20, 600);
}

std::string picture(Random &r, const char *prefix)
{
    return cat({prefix, std::to_string(r.range(1, 400)), r.percent(10) ? ".JPG" : ".jpg"});
}

// A firm reference: 1.5% name a firm that does not exist.
Value firmRef(Random &r, int firms)
{
    if (r.percent(1.5))
        return r.percent(50) ? Value(Null{}) : Value(std::int64_t(firms + r.range(1, 50)));
    return std::int64_t(r.range(1, firms));
}

Value qty(Random &r) { return r.percent(10) ? maybe(r, std::int64_t(0)) : maybe(r, std::int64_t(r.range(-1, 60))); }

double mm(Random &r, int lo, int hi) { return r.range(lo * 10, hi * 10) / 10.0; }

// Access 97 keeps text in one code page: the same stock with '?' for each
// character the code page lacks, as Access's own conversion of a file does.
jetdb::Database jet3Copy(jetdb::Database &db, int codePage)
{
    auto fitted = [&](const std::string &utf8) {
        QString out;
        std::string narrow;
        for (QChar c : QString::fromStdString(utf8))
            out += jetdb::text::narrowBytes(std::u16string(1, c.unicode()), codePage, narrow) ? c : QChar(u'?');
        return out.toStdString();
    };
    jetdb::Database copy(jetdb::Format::Jet3, codePage);
    for (const char *name : {"Sverla", "Frezy", "Derj_Plast", "Plastinyi", "Firma", "Dolgi", "People", "List_Tabl"}) {
        const jetdb::Table &from = *db.table(name);
        jetdb::Table &to = copy.addTable(name, from.columns());
        for (jetdb::Row row : from.rows()) {
            for (Value &v : row)
                if (const auto *s = std::get_if<std::string>(&v))
                    v = fitted(*s);
            to.addRow(std::move(row));
        }
    }
    return copy;
}

} // namespace

void writeBench(const std::string &path, const BenchSizes &sizes, std::uint64_t seed, const jetdb::Layout &layout,
                int jet3CodePage)
{
    if (sizes.drills < 0 || sizes.cutters < 0 || sizes.holders < 0 || sizes.inserts < 0 || sizes.debts < 0)
        throw jetdb::Error("table sizes must not be negative");
    Random r(seed);
    jetdb::Database db;
    StockTables t = addStockTables(db);
    addToolKinds(t.listTabl);

    const int firms = 40;
    for (int i = 1; i <= firms; ++i) {
        std::string name = r.pick(firmWords);
        if (i > 11)
            name += " (филиал №" + std::to_string(i) + ")";
        t.firma.addRow({std::int64_t(i), maybe(r, name)});
    }
    const int workers = 150;
    for (int i = 1; i <= workers; ++i) {
        const std::string fio = cat({r.pick(surnames), " ", r.pick(names), " ", r.pick(patronymics)});
        t.people.addRow({std::int64_t(i), maybe(r, fio), maybe(r, "foto_" + std::to_string(i) + ".jpg")});
    }

    t.sverla.reserve(std::size_t(sizes.drills));
    for (int i = 0; i < sizes.drills; ++i) {
        const double d = mm(r, 1, 40);
        t.sverla.addNamedRow({
            {"Kod", maybe(r, code(r, 8, 60))}, {"Type", maybe(r, std::string(r.pick(drillTypes)))},
            {"Diam_Sverla", maybe(r, d)}, {"Diam_Hvost", maybe(r, d)},
            {"L_Instr", maybe(r, std::int64_t(r.range(40, 300)))}, {"L_reza", maybe(r, std::int64_t(r.range(10, 200)))},
            {"N_zub", maybe(r, std::int64_t(2))}, {"K_vo_New", qty(r)}, {"K_vo_BU", qty(r)},
            {"K_vo_Dolg", maybe(r, std::int64_t(r.range(0, 5)))}, {"K_vo_Vozvrat", maybe(r, std::int64_t(r.range(0, 2)))},
            {"Pikcher", maybe(r, picture(r, "sverlo_"))}, {"Prim", note(r)}, {"ID_Firma", firmRef(r, firms)},
            {"Korob", maybe(r, cat({"Шкаф №", std::to_string(r.range(1, 30)), ", полка ", std::to_string(r.range(1, 6))}))},
        });
    }
    t.frezy.reserve(std::size_t(sizes.cutters));
    for (int i = 0; i < sizes.cutters; ++i) {
        const double d = mm(r, 2, 160);
        t.frezy.addNamedRow({
            {"Kod", maybe(r, code(r, 8, 80))}, {"Type", maybe(r, std::string(r.pick(cutterTypes)))},
            {"R_FAS_instr", maybe(r, cat({"R", std::to_string(r.range(0, 5)), ",", std::to_string(r.range(0, 9))}))},
            {"Diam_Frez", maybe(r, d)}, {"L_Reza", maybe(r, mm(r, 5, 100))}, {"Diam_Hvost", maybe(r, mm(r, 3, 40))},
            {"L_Instr", maybe(r, mm(r, 40, 250))}, {"N_zub", maybe(r, double(r.range(2, 16)))},
            {"K_vo_New", qty(r)}, {"K_vo_BU", qty(r)}, {"K_vo_DOLG", maybe(r, std::int64_t(r.range(0, 5)))},
            {"K_vo_Vozvrat", maybe(r, std::int64_t(r.range(0, 2)))}, {"Pikcher", maybe(r, picture(r, "freza_"))},
            {"Prim", note(r)}, {"ID_Firma", firmRef(r, firms)}, {"Korob", maybe(r, "Короб " + std::to_string(r.range(1, 99)))},
        });
    }
    t.derj.reserve(std::size_t(sizes.holders));
    for (int i = 0; i < sizes.holders; ++i) {
        t.derj.addNamedRow({
            {"Name", maybe(r, std::string(r.pick(holderTypes)))}, {"Kod", maybe(r, code(r, 10, 40))},
            {"K_vo_NEW", qty(r)}, {"K_vo_BU", qty(r)}, {"K_vo_Dolg", maybe(r, std::int64_t(r.range(0, 3)))},
            {"K_vo_Vozvrat", maybe(r, std::int64_t(0))}, {"ID_Firma", firmRef(r, firms)},
            {"Pikcher", maybe(r, picture(r, "derj_"))}, {"Prim", note(r)},
            {"Korob", maybe(r, "Стеллаж " + std::to_string(r.range(1, 12)))},
        });
    }
    t.plast.reserve(std::size_t(sizes.inserts));
    for (int i = 0; i < sizes.inserts; ++i) {
        t.plast.addNamedRow({
            {"Naimenovanie", maybe(r, std::string(r.pick(insertTypes)))}, {"Kod", maybe(r, code(r, 10, 40))},
            {"K_vo_NEW", qty(r)}, {"K_vo_BU", qty(r)}, {"K_vo_Vozvrat", maybe(r, std::int64_t(0))},
            {"K_vo_Dolg", maybe(r, std::int64_t(r.range(0, 20)))}, {"ID_Firma", firmRef(r, firms)},
            {"Pikcher", maybe(r, picture(r, "plast_"))}, {"Prim", note(r)},
            {"Korob", maybe(r, "Ящик " + std::to_string(r.range(1, 40)))},
        });
    }
    t.dolgi.reserve(std::size_t(sizes.debts));
    const int toolCount[] = {0, sizes.drills, sizes.inserts, sizes.cutters, sizes.holders};
    for (int i = 1; i <= sizes.debts; ++i) {
        int kind = r.range(1, 3);
        if (r.percent(3))
            kind = 4;  // holders: never listed
        Value tool = std::int64_t(r.range(1, std::max(1, toolCount[kind])));
        Value person = std::int64_t(r.range(1, workers));
        if (r.percent(1.5))
            tool = r.percent(30) ? Value(Null{}) : Value(std::int64_t(toolCount[kind] + r.range(1, 100)));
        if (r.percent(1.5))
            person = r.percent(30) ? Value(Null{}) : Value(std::int64_t(workers + r.range(1, 100)));
        const jetdb::Date date = jetdb::Date::fromCivil(r.range(2015, 2024), r.range(1, 12), r.range(1, 28),
                                                        r.range(7, 18), r.range(0, 59), r.range(0, 59));
        t.dolgi.addRow({std::int64_t(i), maybe(r, std::int64_t(i + 10000)), maybe(r, std::int64_t(kind)), tool,
                        maybe(r, date), person, maybe(r, std::int64_t(r.range(1, 10))), r.percent(25),
                        maybe(r, cat({r.pick(surnames), " ", r.pick(names)}))});
    }
    if (jet3CodePage)
        jet3Copy(db, jet3CodePage).write(path, layout);
    else
        db.write(path, layout);
}

} // namespace stock
