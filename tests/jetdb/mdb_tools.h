// The independent reader the .mdb writer's tests check against: mdbtools'
// command-line tools, and libmdb itself where the tools cannot show a value
// exactly (empty text reads as NULL, dates before 1899-12-30 as 1900-01-00).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace mdbtest {

struct Output {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs one of mdbtools' programs (mdb-ver, mdb-export...) and waits for it.
Output run(const QString &program, const QStringList &arguments, const QStringList &extraEnvironment = {});

// mdb-export of a table with dates as "%Y-%m-%d %H:%M:%S"; NULL cells are
// std::nullopt. The first row (the header) is left out; fails the test
// (returns empty) when the export fails.
using Cell = std::optional<QString>;
QList<QList<Cell>> exportTable(const QString &file, const QString &table, const QStringList &extraEnvironment = {});
QStringList exportHeader(const QString &file, const QString &table);

// Parses mdb-export's CSV: quoted cells may hold commas, line breaks and
// doubled quotes; an empty unquoted cell is NULL.
QList<QList<Cell>> parseCsv(const QString &text);

QStringList tables(const QString &file);
qint64 count(const QString &file, const QString &table);

// A row as libmdb cracks it: each column's null bit and raw bytes.
struct RawField {
    bool null = true;
    QByteArray bytes;
};
using RawRow = QList<RawField>;

QList<RawRow> readRaw(const QString &file, const QString &table);

// The kind of the table's page usage map: 0 inline bitmap, 1 bitmap pages,
// -1 when the table cannot be read.
int usageMapType(const QString &file, const QString &table);

} // namespace mdbtest
