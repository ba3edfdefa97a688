#include "eight_bit_text.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>

namespace core {
namespace {

// QString's own byte order, so iconv's output is the string's buffer as is.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kUtf16 = "UTF-16LE";
#else
constexpr const char *kUtf16 = "UTF-16BE";
#endif

std::string iconvName(int codePage) { return "CP" + std::to_string(codePage); }

iconv_t handle(void *p) { return static_cast<iconv_t>(p); }

} // namespace

UnknownCodePage::UnknownCodePage(int codePage)
    : std::runtime_error("unknown code page " + std::to_string(codePage)), m_codePage(codePage)
{
}

CodePage::CodePage(int number)
{
    const std::string name = iconvName(number);
    iconv_t decoder = number > 0 ? iconv_open(kUtf16, name.c_str()) : iconv_t(-1);
    if (decoder == iconv_t(-1))
        throw UnknownCodePage(number);
    iconv_t encoder = iconv_open(name.c_str(), kUtf16);
    if (encoder == iconv_t(-1)) {
        iconv_close(decoder);
        throw UnknownCodePage(number);
    }
    m_decoder = decoder;
    m_encoder = encoder;
}

CodePage::~CodePage()
{
    iconv_close(handle(m_decoder));
    iconv_close(handle(m_encoder));
}

QString CodePage::decode(QByteArrayView bytes) const
{
    // One UTF-16 unit per byte at most: a character takes at least one byte,
    // and none of these code pages reaches beyond the BMP.
    QString text(bytes.size(), Qt::Uninitialized);
    iconv_t cd = handle(m_decoder);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char *const begin = reinterpret_cast<char *>(text.data());
    char *out = begin;
    size_t outLeft = size_t(text.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG || outLeft < 2)
            break;   // cannot happen (see above); never write past the buffer
        // EILSEQ: a byte the code page leaves undefined; EINVAL: a lead byte
        // cut off by the end. Either stands for one undefined byte.
        const char16_t undefined = kUndefinedByte;
        std::memcpy(out, &undefined, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    text.truncate((out - begin) / 2);
    return text;
}

bool CodePage::encode(QStringView text, QByteArray &out) const
{
    // A character takes at most two bytes in a double-byte code page.
    out.resize(text.size() * 2);
    iconv_t cd = handle(m_encoder);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.data()));
    size_t inLeft = size_t(text.size()) * 2;
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == size_t(-1)
        || iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1))
        return false;
    out.truncate(outPtr - out.data());
    return true;
}

} // namespace core
