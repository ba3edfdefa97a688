// Parsing of ADO/Jet connection strings: "Key=Value;Key=Value;...".
#pragma once

#include <QMap>
#include <QString>

namespace db {

// Keys are trimmed and lower-cased; values are kept as written except that
// one pair of surrounding double quotes is removed ("Password=""" is empty).
QMap<QString, QString> parseConnectionString(const QString &text);

} // namespace db
