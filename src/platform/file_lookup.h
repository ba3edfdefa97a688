// File lookup with the habits of the Windows file system the stored names
// come from: "\" separators and letter case that may differ from the disk.
#pragma once

#include <QString>
#include <QStringView>

namespace platform {

// The path as it exists on disk: "\" read as "/", and each component matched
// without regard to letter case when the exact name is not there. Returns
// the path unchanged (with "/") when nothing matches.
QString resolvePath(const QString &path);

// `folder` followed by `name`, a name stored in a record (either slash);
// empty, which names no file, when the name would lead out of the folder:
// an absolute name, a drive, or a ".." part anywhere.
QString pathInFolder(const QString &folder, const QString &name);

// True when `path` (resolved as above) names an existing file; a folder does
// not count and the empty path never exists.
bool fileExists(const QString &path);

// Where the file name of a stored path begins: after its last "/" or "\"
// (0 when it has neither).
qsizetype fileNameStart(QStringView path);

} // namespace platform
