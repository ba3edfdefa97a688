#include "sql_store.h"

#include "db_error.h"
#include "declared_types.h"
#include "result_builder.h"
#include "text_order.h"

#include <sqlite3.h>

#include <QRegularExpression>


namespace db {
namespace {

constexpr char kCollation[] = "JETTEXT";

int collate(void *, int n1, const void *s1, int n2, const void *s2)
{
    return compareDatabaseText(QStringView(static_cast<const char16_t *>(s1), n1 / 2),
                       QStringView(static_cast<const char16_t *>(s2), n2 / 2));
}

// The patterns below are per thread: two stores may run queries at once.

// SQLite names an unaliased result column after the table's column ("Kod")
// where Jet keeps the spelling of the query ("S.KoD" gives "KoD"). The
// written names of the first SELECT's list, where they can be told simply.
QStringList writtenColumnNames(const QString &sql)
{
    static thread_local const QRegularExpression head(QStringLiteral("^\\s*SELECT\\s+"), QRegularExpression::CaseInsensitiveOption);
    const auto m = head.match(sql);
    if (!m.hasMatch())
        return {};
    QStringList items;
    QString item;
    int depth = 0;
    QChar quote;
    for (qsizetype i = m.capturedEnd(); i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c == QLatin1Char(',')) {
            items << item;
            item.clear();
            continue;
        } else if (depth == 0 && c.isSpace()) {
            static thread_local const QRegularExpression from(QStringLiteral("^\\s+FROM\\b"), QRegularExpression::CaseInsensitiveOption);
            if (from.match(QStringView(sql).mid(i)).hasMatch())
                break;
        }
        item += c;
    }
    items << item;
    static thread_local const QRegularExpression plain(QStringLiteral(
        "^(?:.*\\s+AS\\s+|(?:[\\w\\[\\]\"]+\\.))?\\[?\"?(\\w+)\"?\\]?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList names;
    for (const QString &it : std::as_const(items)) {
        const auto n = plain.match(it.trimmed());
        names << (n.hasMatch() ? n.captured(1) : QString());
    }
    return names;
}

struct Statement {
    sqlite3_stmt *s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

} // namespace

SqlStore::SqlStore()
{
    // A private in-memory database. What a query needs for a while (a
    // union's temporary B-tree, tens of megabytes on a large stock) goes to
    // a temporary file that SQLite deletes as soon as it has made it: the
    // system's file cache holds it, not this process, which keeps its memory
    // for the data sets. Nothing is written beside the database file.
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY
                            | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Error(QStringLiteral("Cannot create the query engine."));
    }
    sqlite3_exec(m_db,
                 "PRAGMA page_size=65536; PRAGMA encoding='UTF-16le'; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "PRAGMA temp_store=FILE; PRAGMA cache_size=-1000000; PRAGMA temp.page_size=65536; PRAGMA temp.cache_size=-8000;",
                 nullptr, nullptr, nullptr);
    // ATTACH counts as read-only to SQLite but would create a file.
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_create_collation_v2(m_db, kCollation, SQLITE_UTF16_ALIGNED, nullptr, collate, nullptr);
    registerJetModule(m_db, &m_tables, &m_scans);
}

SqlStore::~SqlStore()
{
    sqlite3_close(m_db);
}

void SqlStore::setProgressHandler(std::function<void(const QString &, int)> handler)
{
    m_progress = std::move(handler);
    if (!m_progress) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    // About every few milliseconds of a query.
    sqlite3_progress_handler(m_db, 200000, [](void *store) {
        static_cast<SqlStore *>(store)->m_progress(QString(), -1);
        return 0;
    }, this);
}

void SqlStore::attach(const QString &table, std::shared_ptr<JetTable> data)
{
    const QString key = QStringLiteral("t%1").arg(m_tables.size());
    m_named.insert(table.toLower(), data);
    m_tables.insert(key, std::move(data));
    const QString create = QStringLiteral("CREATE VIRTUAL TABLE %1 USING jet(%2)").arg(quotedIdentifier(table), key);
    if (sqlite3_exec(m_db, create.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Error(QStringLiteral("Cannot load table '%1' (%2).").arg(table, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void SqlStore::interrupt()
{
    sqlite3_interrupt(m_db);
}

// Compiles `sql` into `stmt`. False, with `missingTable` set, when it names
// a table not yet loaded; other failures throw.
bool SqlStore::prepare(const QString &sql, sqlite3_stmt *&stmt, QString &missingTable) const
{
    const void *tail = nullptr;
    if (sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * 2), &stmt, &tail) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        static thread_local const QRegularExpression noTable(QStringLiteral("^no such table: (?:\\w+\\.)?(.+)$"));
        static thread_local const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
        if (const auto m = noTable.match(message); m.hasMatch()) {
            missingTable = m.captured(1);
            return false;
        }
        if (const auto m = noColumn.match(message); m.hasMatch())
            throw Error(QStringLiteral("Unknown field name: '%1'.").arg(m.captured(1)));
        throw Error(QStringLiteral("Syntax error in query: %1.").arg(message));
    }
    if (!stmt)
        throw Error(QStringLiteral("The query text is empty."));
    if (!sqlite3_stmt_readonly(stmt))
        throw Error(QStringLiteral("Cannot update.  Database or object is read-only."));
    return true;
}

// The result's columns: their names as the query writes them, the kinds
// their declared types carry, and how their values are kept.
std::vector<ColumnValues> SqlStore::nameColumns(sqlite3_stmt *stmt, const QString &sql, ResultTable &result)
{
    const int columnCount = sqlite3_column_count(stmt);
    result.columns.resize(std::size_t(columnCount));
    std::vector<ColumnValues> data(static_cast<std::size_t>(columnCount));
    for (int c = 0; c < columnCount; ++c) {
        ResultColumn &column = result.columns[std::size_t(c)];
        column.name = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_name16(stmt, c)));
        const char *declared = sqlite3_column_decltype(stmt, c);
        column.kind = kindOfDeclared(declared);
        data[std::size_t(c)].storage = isLongValueReference(declared) ? ColumnValues::Storage::LongValue
                                                                      : ColumnValues::storageFor(column.kind);
    }
    const QStringList written = writtenColumnNames(sql);
    if (written.size() == columnCount)
        for (int c = 0; c < columnCount; ++c)
            if (written[c].compare(result.columns[std::size_t(c)].name, Qt::CaseInsensitive) == 0)
                result.columns[std::size_t(c)].name = written[c];
    return data;
}

bool SqlStore::query(const QString &sql, ResultTable &result, QString &missingTable,
                     const std::shared_ptr<const LongValueReader> &longValues)
{
    Statement stmt;
    if (!prepare(sql, stmt.s, missingTable))
        return false;
    result = ResultTable();
    ResultBuilder builder(stmt.s, result, nameColumns(stmt.s, sql, result), longValues, m_tables, m_named, m_scans);
    int rc;
    while ((rc = sqlite3_step(stmt.s)) == SQLITE_ROW)
        builder.addRow();
    if (rc != SQLITE_DONE)
        throw Error(QStringLiteral("The query failed: %1.").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
    builder.finish();
    return true;
}

} // namespace db
