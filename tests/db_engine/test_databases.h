// Small .mdb files for the engine's tests, written with jetdb.
#pragma once

#include "jetdb.h"

#include <QByteArray>
#include <QString>

namespace testdb {

// Writes `db` to `path` (QString, so Cyrillic paths work) and returns the path.
QString write(const jetdb::Database &db, const QString &path);

// The connection string the program builds for a path.
QString connectionStringFor(const QString &path);

QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &bytes);

} // namespace testdb
