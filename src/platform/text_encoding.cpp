#include "text_encoding.h"

namespace platform {

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more;
        char32_t cp;
        char32_t min;
        if ((b & 0xE0) == 0xC0) {
            more = 1; cp = b & 0x1F; min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            more = 2; cp = b & 0x0F; min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            more = 3; cp = b & 0x07; min = 0x10000;
        } else {
            return false;   // a continuation byte or 0xF8..0xFF in lead position
        }
        if (n - i - 1 < more)
            return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

} // namespace platform
