#include "text_encoding.h"

#include <array>

namespace platform {

namespace {

// Bytes 0x80..0xBF of Windows-1251; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char16_t decodeByte(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return char16_t(0x0410 + (b - 0xC0));
    return kHighHalf[b - 0x80];
}

} // namespace

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

QString decodeWindows1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(decodeByte(static_cast<unsigned char>(bytes[i])));
    return text;
}

bool encodeWindows1251(const QString &text, QByteArray &out)
{
    out.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out[i] = char(c);
        } else if (c >= 0x0410 && c <= 0x044F) {
            out[i] = char(0xC0 + (c - 0x0410));
        } else {
            qsizetype k = 0;
            while (k < qsizetype(kHighHalf.size()) && kHighHalf[k] != c)
                ++k;
            if (k == qsizetype(kHighHalf.size()))
                return false;
            out[i] = char(0x80 + k);
        }
    }
    return true;
}

} // namespace platform
