// Opening a file whose name comes from outside (a database, a picture) for
// reading.
#pragma once

#include <QFile>
#include <QString>

namespace core {

enum class OpenOutcome { Opened, NotRegular, Failed };

// Opens `path` into `file` for reading without waiting on it (a FIFO or a
// device opened the usual way could hold the window until someone writes
// to it) and checks on the open descriptor that it is a regular file, so
// that nothing can be swapped in between a test and the open. On Failed
// `why` (when given) gets the system's reason, worded as QFile words it.
OpenOutcome openRegularFile(QFile &file, const QString &path, QString *why = nullptr);

} // namespace core
