// Replacing a file's contents so that readers see either the old file or the
// new one, never a part of either: the bytes go to a temporary file in the
// same folder, are flushed to disk, and the temporary then takes the file's
// name in one rename.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces (or creates) `file` with `bytes`. A symbolic link is followed and
// its target replaced; an existing file keeps its permission bits. On failure
// returns false with the reason in `error`; the old file is untouched and no
// temporary file is left behind.
bool replaceFileContents(const QString &file, const QByteArray &bytes, QString *error);

} // namespace platform
