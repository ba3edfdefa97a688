// Telling UTF-8 text from 8-bit text in a code page (eight_bit_text.h), which
// the program's text files may be in when brought from Windows.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut short.
bool isValidUtf8(QByteArrayView bytes);

} // namespace platform
