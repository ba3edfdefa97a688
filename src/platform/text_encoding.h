// The 8-bit encodings the program's text files come in: UTF-8 on this
// platform, Windows-1251 for files written by the Windows program (Qt's own
// converters do not offer Windows-1251).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut short.
bool isValidUtf8(QByteArrayView bytes);

// Windows-1251 to Unicode. Every byte maps to one character; the one byte the
// code page leaves undefined (0x98) maps to U+0098, so decoding and encoding
// again gives back the same bytes.
QString decodeWindows1251(QByteArrayView bytes);

// Unicode to Windows-1251. Returns false (and leaves `out` unspecified) when
// a character has no Windows-1251 byte.
bool encodeWindows1251(const QString &text, QByteArray &out);

} // namespace platform
