// Drawing a metafile through morvel-metafile, the helper installed beside
// the executable (see metafile_protocol.h): the libraries that draw
// metafiles never run inside Morvel, and no code runs in a copy of Morvel's
// threaded process.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <sys/types.h>

namespace platform::metafile_helper {

// The helper beside the executable; `folder` instead once set (the tests,
// whose executables live elsewhere in the build folder, set it).
QString path();
void setFolder(const QString &folder);

// Starts the helper at `helper` on the metafile it reads from `input`
// (`format` "emf" or "wmf", the drawing asked for `view`), its answer
// written to `output`. Its process id, or -1 with errno set.
pid_t start(const QByteArray &helper, const char *format, const QSize &view, int input, int output);

// The helper's drawing of `bytes` for `view`, checked to lie within the
// size asked for. Throws PictureError: the helper's own refusal, `failure`
// when it crashed, sent something else or took over two seconds (it is
// then killed), or "Metafiles cannot be drawn: PATH cannot be run (REASON)".
QImage draw(const char *format, const QByteArray &bytes, const QSize &view, const QString &failure);

} // namespace platform::metafile_helper
