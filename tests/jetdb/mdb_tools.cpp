#include "mdb_tools.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <mdbtools.h>

namespace mdbtest {

Output run(const QString &program, const QStringList &arguments, const QStringList &extraEnvironment)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &kv : extraEnvironment)
        env.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Output o;
    if (!p.waitForStarted(10000))
        return o;
    p.closeWriteChannel();
    // Big exports take a while; collect as we go so the pipe never fills.
    while (!p.waitForFinished(200)) {
        o.out += p.readAllStandardOutput();
        o.err += p.readAllStandardError();
        if (p.state() == QProcess::NotRunning)
            break;
    }
    o.out += p.readAllStandardOutput();
    o.err += p.readAllStandardError();
    o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return o;
}

QList<QList<Cell>> parseCsv(const QString &text)
{
    QList<QList<Cell>> rows;
    QList<Cell> row;
    QString cell;
    bool quoted = false, inQuotes = false, any = false;
    auto endCell = [&] {
        row.append(quoted || !cell.isEmpty() ? Cell(cell) : Cell());
        cell.clear();
        quoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        any = true;
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                cell += c;
            }
        } else if (c == '"') {
            inQuotes = true;
            quoted = true;
        } else if (c == ',') {
            endCell();
        } else if (c == '\n') {
            endCell();
            rows.append(row);
            row.clear();
            any = false;
        } else {
            cell += c;
        }
    }
    if (any) {
        endCell();
        rows.append(row);
    }
    return rows;
}

QList<QList<Cell>> exportTable(const QString &file, const QString &table, const QStringList &extraEnvironment)
{
    const Output o = run("mdb-export", {"-T", "%Y-%m-%d %H:%M:%S", file, table}, extraEnvironment);
    if (o.exitCode != 0)
        return {};
    QList<QList<Cell>> rows = parseCsv(QString::fromUtf8(o.out));
    if (!rows.isEmpty())
        rows.removeFirst();
    return rows;
}

QStringList exportHeader(const QString &file, const QString &table)
{
    const Output o = run("mdb-export", {file, table});
    return QString::fromUtf8(o.out).section('\n', 0, 0).split(',');
}

QStringList tables(const QString &file)
{
    const Output o = run("mdb-tables", {"-1", file});
    return QString::fromUtf8(o.out).split('\n', Qt::SkipEmptyParts);
}

qint64 count(const QString &file, const QString &table)
{
    const Output o = run("mdb-count", {file, table});
    bool ok = false;
    const qint64 n = o.out.trimmed().toLongLong(&ok);
    return o.exitCode == 0 && ok ? n : -1;
}

namespace {

// Opens the file and the table, hands it to use(), and closes both.
template <typename Use> bool withTable(const QString &file, const QString &tableName, Use use)
{
    MdbHandle *mdb = mdb_open(file.toLocal8Bit().constData(), MDB_NOFLAGS);
    if (!mdb)
        return false;
    QByteArray name = tableName.toUtf8();
    MdbTableDef *table = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    if (table) {
        mdb_read_columns(table);
        use(mdb, table);
        mdb_free_tabledef(table);
    }
    mdb_close(mdb);
    return table != nullptr;
}

} // namespace

QList<RawRow> readRaw(const QString &file, const QString &tableName)
{
    QList<RawRow> rows;
    withTable(file, tableName, [&](MdbHandle *mdb, MdbTableDef *table) {
        mdb_rewind_table(table);
        MdbField fields[256];
        while (mdb_fetch_row(table)) {
            int start = 0;
            size_t length = 0;
            if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &length) != 0)
                break;
            const int n = mdb_crack_row(table, start, length, fields);
            RawRow row;
            for (int i = 0; i < n; ++i) {
                RawField f;
                f.null = fields[i].is_null;
                if (fields[i].value && fields[i].siz > 0)
                    f.bytes = QByteArray(static_cast<const char *>(fields[i].value), fields[i].siz);
                row.append(f);
            }
            rows.append(row);
        }
    });
    return rows;
}

int usageMapType(const QString &file, const QString &tableName)
{
    int type = -1;
    withTable(file, tableName, [&](MdbHandle *, MdbTableDef *table) {
        if (table->usage_map && table->map_sz > 0)
            type = table->usage_map[0];
    });
    return type;
}

} // namespace mdbtest
