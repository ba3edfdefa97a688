// jetdb: a small writer of Microsoft Access (Jet 4 and Jet 3) .mdb files.
//
// Support code for tests, benchmarks and the demo stock; never linked into
// the program itself. A Database is described in memory (tables, columns,
// rows) and written in one go by write(); a failed write leaves no file.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace jetdb {

// Every misuse (text too long, wrong value type, duplicate column...) and
// every I/O failure is reported as an Error; nothing is written then.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Type {
    Boolean,   // stored in the null mask, never NULL
    Byte,      // u8
    Integer,   // i16
    Long,      // i32 (AutoNumber when Column::autoNumber)
    Currency,  // i64, value x 10000
    Single,    // f32
    Double,    // f64
    DateTime,  // f64 days since 1899-12-30 (see Date)
    Text,      // up to 255 characters
    Memo,      // long text
    Numeric,   // Jet 4 only: a decimal of Column::precision digits, Column::scale after the point
};

struct Column {
    std::string name;         // UTF-8, letter case kept
    Type type = Type::Long;
    int textLength = 255;     // Text only: declared size in characters (1..255)
    bool autoNumber = false;  // Long only
    int precision = 18;       // Numeric only: 1..28 digits in all
    int scale = 0;            // Numeric only: 0..precision digits after the point
};

// A date as Access stores it: whole days since 1899-12-30; the time of day is
// a positive fraction whose sign follows the day count (1899-12-29 06:00 is
// -1.25). Use fromCivil() rather than building the number by hand.
struct Date {
    double days = 0;
    static Date fromCivil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
};

// A currency amount in ten-thousandths (12.5 is {125000}).
struct Currency {
    std::int64_t scaled = 0;
};

// A decimal written out: "12.34", "-1", "0.5". Stored exactly, scaled to the
// column's scale; more digits than the column holds is an error.
struct Decimal {
    std::string text;
};

struct Null {};

// Integer kinds take std::int64_t (range-checked for the column); Single and
// Double take double or std::int64_t; Currency takes Currency or a whole
// amount as std::int64_t; DateTime takes Date (years 100 to 9999); Text and
// Memo take UTF-8 std::string; Numeric takes Decimal. Null is allowed
// everywhere except in Boolean and AutoNumber columns.
using Value = std::variant<Null, bool, std::int64_t, double, std::string, Date, Currency, Decimal>;
using Row = std::vector<Value>;

class Table {
public:
    Table(std::string name, std::vector<Column> columns);  // throws Error on bad columns

    const std::string &name() const { return m_name; }
    const std::vector<Column> &columns() const { return m_columns; }
    const std::vector<Row> &rows() const { return m_rows; }

    // Checks the row against the columns (count, types, ranges, text length,
    // NULL in AutoNumber) and throws Error without adding it when it does not fit.
    void addRow(Row row);
    void reserve(std::size_t rows) { m_rows.reserve(rows); }

    // Adds a row given by column names (letter case ignored). Columns not
    // named are NULL, except an AutoNumber column, which gets the next number,
    // and a Boolean column, which is false. Unknown or repeated names throw.
    using NamedValues = std::vector<std::pair<std::string, Value>>;
    void addNamedRow(const NamedValues &values);

    // Index of the column of that name (letter case ignored), or -1.
    int columnIndex(const std::string &name) const;

    // The highest AutoNumber handed out or given so far (0 when none).
    std::int64_t lastAutoNumber() const { return m_lastAutoNumber; }

private:
    friend class Database;
    void checkValue(const Column &column, const Value &value) const;

    std::string m_name;
    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    std::vector<std::u16string> m_foldedNames;  // for lookups by name
    std::int64_t m_lastAutoNumber = 0;
    int m_autoColumn = -1;
    int m_narrowCodePage = 0;  // Jet 3: text must be representable in this code page
};

enum class Format {
    Jet4,  // Access 2000: 4096-byte pages, UTF-16 text (compressed where allowed)
    Jet3,  // Access 97: 2048-byte pages, 8-bit text in the code page
};

// How rows are laid out on pages. The defaults write each table's rows one
// after another; realLayout() adds what a file grown by Access over the
// years carries, with the same content.
struct Layout {
    bool compressText = true;       // Jet 4: Unicode compression wherever it saves space
    bool interleaved = false;       // the tables' pages mixed, as by many small insertions
    int deletedPerThousand = 0;     // rows inserted and deleted again, left on their pages
    bool longValuesInline = false;  // memos up to 1,024 bytes kept in their row, not on LVAL pages
    std::uint64_t seed = 1;         // for the order of insertions and the deleted rows

    static Layout plain() { return Layout{false, false, 0, true, 1}; }
    static Layout realLayout(std::uint64_t seed = 1) { return Layout{true, true, 40, false, seed}; }
};

class Database {
public:
    explicit Database(Format format = Format::Jet4, int codePage = 1252);

    // Adds a table; names must be unique (case-insensitively). The reference
    // stays valid until the Database is destroyed.
    Table &addTable(std::string name, std::vector<Column> columns);

    // The table of that name (letter case ignored), or nullptr.
    Table *table(const std::string &name);

    Format format() const { return m_format; }
    int codePage() const { return m_codePage; }

    // A database password as Access sets one: at most 20 characters, which
    // in an Access 97 file must fit the code page (else Error); empty for
    // none. Jet 4 masks it with the creation date's whole days, so a date
    // makes even an empty password's bytes non-zero.
    void setPassword(const std::string &utf8);
    void setCreationDate(Date date) { m_created = date; }

    // Writes the whole file. The file is first written beside the target
    // under a temporary name and renamed into place, so a failure leaves no
    // partial file. Throws Error.
    void write(const std::string &path, const Layout &layout = {}) const;

private:
    Format m_format;
    int m_codePage;
    std::string m_password;   // UTF-8
    Date m_created;
    std::vector<std::unique_ptr<Table>> m_tables;
};

} // namespace jetdb
