// Page 0 of a Jet database, read before the rest of the file: whether the
// file is a database Morvel reads at all.
#pragma once

#include <QString>
#include <QtGlobal>

namespace db {

// The header's first bytes that tell: the format, and the masked block that
// holds the database password and the creation date.
constexpr qsizetype kJetHeaderBytes = 0x98;

// Checks the file's first `size` bytes (kJetHeaderBytes or more, unless the
// file is shorter) and the file's size. Throws Error: "Unrecognized database
// format '<path>'." for what is no Jet 3 or Jet 4 database; a message naming
// the file when it is larger than such a database can be (2 GiB); and "Not a
// valid password." when a database password is set, since Morvel, like the
// program it stands in for, opens the file with an empty one. Returns
// whether the file is a Jet 3 (Access 97) database.
bool checkJetHeader(const unsigned char *head, qsizetype size, qint64 fileSize, const QString &path);

} // namespace db
