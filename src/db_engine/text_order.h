// The order in which the database sorts text: case-insensitive, Latin before
// Cyrillic, alphabetical within each script (Access's "General" order).
// Used by the queries' ORDER BY (as an SQLite collation) and by DataSet sorts.
#pragma once

#include <QCollator>
#include <QStringView>

namespace db {

const QCollator &textCollator();
int compareText(QStringView a, QStringView b);

} // namespace db
