// The order in which the database sorts text: case-insensitive, Latin before
// Cyrillic, alphabetical within each script (Access's "General" order), with
// hyphens and apostrophes set aside as Jet 4 does: "co-op" sorts as "coop",
// and of two texts equal without them the one with fewer comes first.
// Used by the queries' ORDER BY (as an SQLite collation) and by DataSet sorts.
#pragma once

#include <QCollator>
#include <QStringView>

namespace db {

const QCollator &textCollator();

// The collator's order, quicker for plain ASCII and Cyrillic.
int compareText(QStringView a, QStringView b);

// The database's order: compareText on the texts without hyphens and
// apostrophes, then fewer of those first, then compareText on the whole texts.
int compareDatabaseText(QStringView a, QStringView b);

} // namespace db
