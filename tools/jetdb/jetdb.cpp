// The in-memory description of a database: tables, columns and checked rows.
// Writing the file is in jet_writer.cpp.
#include "jetdb.h"

#include "jet_layout.h"
#include "jet_text.h"

#include <cmath>
#include <limits>
#include <set>

namespace jetdb {

namespace {

constexpr std::size_t maxNameLength = 64;
constexpr std::size_t maxColumns = 255;

const char *typeName(Type t)
{
    switch (t) {
    case Type::Boolean: return "Boolean";
    case Type::Byte: return "Byte";
    case Type::Integer: return "Integer";
    case Type::Long: return "Long";
    case Type::Currency: return "Currency";
    case Type::Single: return "Single";
    case Type::Double: return "Double";
    case Type::DateTime: return "Date/Time";
    case Type::Text: return "Text";
    case Type::Memo: return "Memo";
    case Type::Numeric: return "Numeric";
    }
    return "?";
}

const char *valueKind(const Value &v)
{
    static const char *const names[] = {"NULL", "bool", "integer", "double", "text", "date", "currency", "decimal"};
    return names[v.index()];
}

void checkName(const std::string &what, const std::string &name)
{
    if (name.empty())
        throw Error(what + " has an empty name");
    const std::u16string wide = text::toUtf16(name);
    if (wide.size() > maxNameLength)
        throw Error(what + " \"" + name + "\": name longer than 64 characters");
}

// Days from 0000-03-01 style civil calendar (proleptic Gregorian) to 1970-01-01.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

} // namespace

Date Date::fromCivil(int year, int month, int day, int hour, int minute, int second)
{
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1
        || day > monthDays[month - 1] + (month == 2 && leap(year) ? 1 : 0)
        || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        throw Error("invalid date " + std::to_string(year) + "-" + std::to_string(month) + "-"
                    + std::to_string(day) + " " + std::to_string(hour) + ":" + std::to_string(minute)
                    + ":" + std::to_string(second));
    const std::int64_t d = daysFromCivil(year, unsigned(month), unsigned(day)) - daysFromCivil(1899, 12, 30);
    const double t = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Access keeps the time of day as a positive fraction and lets the sign of
    // the day count apply to the whole value.
    return Date{d >= 0 ? double(d) + t : double(d) - t};
}

Table::Table(std::string name, std::vector<Column> columns)
    : m_name(std::move(name)), m_columns(std::move(columns))
{
    checkName("table", m_name);
    if (m_columns.empty())
        throw Error("table \"" + m_name + "\" has no columns");
    if (m_columns.size() > maxColumns)
        throw Error("table \"" + m_name + "\" has " + std::to_string(m_columns.size())
                    + " columns; at most 255 are allowed");
    std::set<std::u16string> seen;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns[i];
        const std::string what = "table \"" + m_name + "\", column";
        checkName(what, c.name);
        m_foldedNames.push_back(text::foldedUtf8(c.name));
        if (!seen.insert(m_foldedNames.back()).second)
            throw Error(what + " \"" + c.name + "\" is defined twice");
        if (c.type == Type::Text && (c.textLength < 1 || c.textLength > 255))
            throw Error(what + " \"" + c.name + "\": text size " + std::to_string(c.textLength)
                        + " is outside 1..255");
        if (c.type == Type::Numeric && (c.precision < 1 || c.precision > 28 || c.scale < 0 || c.scale > c.precision))
            throw Error(what + " \"" + c.name + "\": precision " + std::to_string(c.precision) + " and scale "
                        + std::to_string(c.scale) + " are outside 1..28 and 0..precision");
        if (c.autoNumber) {
            if (c.type != Type::Long)
                throw Error(what + " \"" + c.name + "\": only a Long column can be an AutoNumber");
            if (m_autoColumn >= 0)
                throw Error("table \"" + m_name + "\" has more than one AutoNumber column");
            m_autoColumn = int(i);
        }
    }
}

int Table::columnIndex(const std::string &name) const
{
    const std::u16string key = text::foldedUtf8(name);
    for (std::size_t i = 0; i < m_foldedNames.size(); ++i)
        if (m_foldedNames[i] == key)
            return int(i);
    return -1;
}

void Table::checkValue(const Column &c, const Value &v) const
{
    auto fail = [&](const std::string &why) {
        throw Error("table \"" + m_name + "\", column \"" + c.name + "\": " + why);
    };
    auto wrongType = [&] {
        fail(std::string("a ") + valueKind(v) + " value does not fit a " + typeName(c.type) + " column");
    };
    auto intRange = [&](std::int64_t lo, std::int64_t hi) {
        const auto *i = std::get_if<std::int64_t>(&v);
        if (!i)
            wrongType();
        if (*i < lo || *i > hi)
            fail(std::to_string(*i) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    };

    if (std::holds_alternative<Null>(v)) {
        if (c.autoNumber)
            fail("an AutoNumber column cannot be NULL");
        if (c.type == Type::Boolean)
            fail("a Boolean column cannot be NULL");
        return;
    }
    switch (c.type) {
    case Type::Boolean:
        if (!std::holds_alternative<bool>(v))
            wrongType();
        break;
    case Type::Byte: intRange(0, 255); break;
    case Type::Integer: intRange(-32768, 32767); break;
    case Type::Long: intRange(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()); break;
    case Type::Currency:
        if (const auto *i = std::get_if<std::int64_t>(&v)) {
            if (*i > std::numeric_limits<std::int64_t>::max() / 10000 || *i < std::numeric_limits<std::int64_t>::min() / 10000)
                fail("amount out of range");
        } else if (!std::holds_alternative<Currency>(v)) {
            wrongType();
        }
        break;
    case Type::Single:
    case Type::Double:
        if (const auto *d = std::get_if<double>(&v)) {
            if (!std::isfinite(*d))
                fail("a number must be finite");
            if (c.type == Type::Single && std::fabs(*d) > std::numeric_limits<float>::max())
                fail("value out of Single range");
        } else if (!std::holds_alternative<std::int64_t>(v)) {
            wrongType();
        }
        break;
    case Type::DateTime:
        if (const auto *d = std::get_if<Date>(&v)) {
            // Access covers the years 100 to 9999.
            if (!std::isfinite(d->days) || d->days <= -657435.0 || d->days >= 2958466.0)
                fail("date out of range");
        } else {
            wrongType();
        }
        break;
    case Type::Numeric: {
        const auto *d = std::get_if<Decimal>(&v);
        if (!d)
            wrongType();
        bool negative = false;
        layout::DecimalMagnitude magnitude = 0;
        if (!layout::decimalParts(d->text, c.precision, c.scale, negative, magnitude))
            fail("\"" + d->text + "\" is no decimal of precision " + std::to_string(c.precision) + " and scale "
                 + std::to_string(c.scale));
        break;
    }
    case Type::Text:
    case Type::Memo: {
        const auto *s = std::get_if<std::string>(&v);
        if (!s)
            wrongType();
        const std::u16string wide = text::toUtf16(*s);
        if (c.type == Type::Text && wide.size() > std::size_t(c.textLength))
            fail("text of " + std::to_string(wide.size()) + " characters is longer than the column's "
                 + std::to_string(c.textLength));
        if (c.type == Type::Memo && wide.size() * 2 >= (1u << 24) - 16)
            fail("memo too long");
        if (m_narrowCodePage) {
            std::string narrow;
            if (!text::narrowBytes(wide, m_narrowCodePage, narrow))
                fail("text has characters outside code page " + std::to_string(m_narrowCodePage));
        }
        break;
    }
    }
}

void Table::addRow(Row row)
{
    if (row.size() != m_columns.size())
        throw Error("table \"" + m_name + "\": a row of " + std::to_string(row.size())
                    + " values for " + std::to_string(m_columns.size()) + " columns");
    for (std::size_t i = 0; i < row.size(); ++i)
        checkValue(m_columns[i], row[i]);
    if (m_autoColumn >= 0)
        m_lastAutoNumber = std::max(m_lastAutoNumber, std::get<std::int64_t>(row[std::size_t(m_autoColumn)]));
    m_rows.push_back(std::move(row));
}

void Table::addNamedRow(const NamedValues &values)
{
    Row row(m_columns.size(), Null{});
    std::vector<bool> given(m_columns.size(), false);
    for (const auto &[name, value] : values) {
        const int i = columnIndex(name);
        if (i < 0)
            throw Error("table \"" + m_name + "\" has no column \"" + name + "\"");
        if (given[std::size_t(i)])
            throw Error("table \"" + m_name + "\": column \"" + name + "\" given twice");
        given[std::size_t(i)] = true;
        row[std::size_t(i)] = value;
    }
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (given[i])
            continue;
        if (m_columns[i].autoNumber) {
            if (m_lastAutoNumber >= std::numeric_limits<std::int32_t>::max())
                throw Error("table \"" + m_name + "\": AutoNumber exhausted");
            row[i] = m_lastAutoNumber + 1;
        } else if (m_columns[i].type == Type::Boolean) {
            row[i] = false;
        }
    }
    addRow(std::move(row));
}

Database::Database(Format format, int codePage) : m_format(format), m_codePage(codePage)
{
    if (codePage <= 0 || codePage > 65535)
        throw Error("invalid code page " + std::to_string(codePage));
    if (format == Format::Jet3) {
        std::string probe;
        text::narrowBytes(u"A", codePage, probe);  // throws for an unknown code page
    }
}

void Database::setPassword(const std::string &utf8)
{
    const std::u16string wide = text::toUtf16(utf8);
    std::string narrow;
    if (wide.size() > 20)
        throw Error("a database password has at most 20 characters");
    if (m_format == Format::Jet3 && !text::narrowBytes(wide, m_codePage, narrow))
        throw Error("the password does not fit code page " + std::to_string(m_codePage));
    m_password = utf8;
}

Table &Database::addTable(std::string name, std::vector<Column> columns)
{
    const std::u16string key = text::foldedUtf8(name);
    if (key.size() >= 4 && key.compare(0, 4, u"msys") == 0)
        throw Error("table name \"" + name + "\" is reserved for system tables");
    for (const auto &t : m_tables)
        if (text::foldedUtf8(t->name()) == key)
            throw Error("table \"" + name + "\" is defined twice");
    auto table = std::make_unique<Table>(std::move(name), std::move(columns));
    if (m_format == Format::Jet3)
        for (const Column &c : table->columns())
            if (c.type == Type::Numeric)
                throw Error("column \"" + c.name + "\": Access 97 files have no Numeric columns");
    if (m_format == Format::Jet3) {
        table->m_narrowCodePage = m_codePage;
        std::string narrow;
        if (!text::narrowBytes(text::toUtf16(table->name()), m_codePage, narrow))
            throw Error("table name \"" + table->name() + "\" does not fit code page " + std::to_string(m_codePage));
        for (const Column &c : table->columns())
            if (!text::narrowBytes(text::toUtf16(c.name), m_codePage, narrow))
                throw Error("column name \"" + c.name + "\" does not fit code page " + std::to_string(m_codePage));
    }
    m_tables.push_back(std::move(table));
    return *m_tables.back();
}

Table *Database::table(const std::string &name)
{
    const std::u16string key = text::foldedUtf8(name);
    for (const auto &t : m_tables)
        if (text::foldedUtf8(t->name()) == key)
            return t.get();
    return nullptr;
}

} // namespace jetdb
