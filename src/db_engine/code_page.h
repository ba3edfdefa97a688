// Eight-bit text of Access 97 databases: decoded through the database's
// Windows code page (Qt's own converters lack the Windows code pages).
#pragma once

#include <QString>

namespace db {

// Decodes `size` bytes in Windows code page `codePage`. 1251 (Cyrillic) and
// 1252 (Western) are known; any other code page is read as 1252.
QString decodeCodePage(const char *bytes, qsizetype size, int codePage);

} // namespace db
