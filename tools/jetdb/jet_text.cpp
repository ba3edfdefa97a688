#include "jet_text.h"

#include "jetdb.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

namespace jetdb::text {

std::u16string toUtf16(const std::string &utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        char32_t cp;
        int extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else throw Error("text is not valid UTF-8");
        if (i + extra >= n)
            throw Error("text is not valid UTF-8");
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80)
                throw Error("text is not valid UTF-8");
            cp = (cp << 6) | (cc & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            throw Error("text is not valid UTF-8");
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += extra + 1;
    }
    return out;
}

namespace {

bool oneByte(char16_t c) { return c != 0 && c < 0x100; }

void putUnit(std::vector<std::uint8_t> &out, char16_t c)
{
    out.push_back(std::uint8_t(c & 0xFF));
    out.push_back(std::uint8_t(c >> 8));
}

} // namespace

std::vector<std::uint8_t> jet4Bytes(const std::u16string &t, bool mayCompress)
{
    std::vector<std::uint8_t> plain;
    plain.reserve(t.size() * 2);
    for (char16_t c : t)
        putUnit(plain, c);

    // Readers take a leading FF FE for the compressed form; such a value
    // must be stored compressed (or not at all, if it cannot be).
    const bool startsLikeCompressed = !t.empty() && t[0] == 0xFEFF;
    if (!mayCompress && !startsLikeCompressed)
        return plain;
    // A 00 byte toggles the mode, so no character may have 00 as its low
    // byte (U+0000, U+0100, U+0400...).
    for (char16_t c : t)
        if ((c & 0xFF) == 0)
            return plain;

    std::vector<std::uint8_t> packed{0xFF, 0xFE};
    packed.reserve(t.size() + 8);
    bool single = true;
    for (std::size_t i = 0; i < t.size();) {
        if (oneByte(t[i])) {
            std::size_t run = i;
            while (run < t.size() && oneByte(t[run]))
                ++run;
            const std::size_t k = run - i;
            const bool atEnd = run == t.size();
            // Switching from UTF-16 to 1-byte mode costs one toggle, and one
            // more to switch back unless the run ends the text.
            const bool worth = single || k > (atEnd ? 1u : 2u);
            if (worth) {
                if (!single) { packed.push_back(0); single = true; }
                for (; i < run; ++i)
                    packed.push_back(std::uint8_t(t[i]));
            } else {
                for (; i < run; ++i)
                    putUnit(packed, t[i]);
            }
        } else {
            if (single) { packed.push_back(0); single = false; }
            putUnit(packed, t[i]);
            ++i;
        }
    }
    if (packed.size() < plain.size() || startsLikeCompressed)
        return packed;
    return plain;
}

namespace {

struct Converter {
    iconv_t cd;
    std::mutex lock;
    explicit Converter(iconv_t c) : cd(c) {}
    ~Converter() { iconv_close(cd); }
};

Converter *converterFor(int codePage)
{
    static std::mutex mapLock;
    static std::map<int, std::unique_ptr<Converter>> converters;
    std::lock_guard<std::mutex> guard(mapLock);
    auto &slot = converters[codePage];
    if (!slot) {
        const std::string name = "CP" + std::to_string(codePage);
        iconv_t cd = iconv_open(name.c_str(), "UTF-16LE");
        if (cd == iconv_t(-1))
            throw Error("unknown code page " + std::to_string(codePage));
        slot = std::make_unique<Converter>(cd);
    }
    return slot.get();
}

} // namespace

bool narrowBytes(const std::u16string &t, int codePage, std::string &out)
{
    out.clear();
    if (t.empty())
        return true;
    Converter *conv = converterFor(codePage);
    std::lock_guard<std::mutex> guard(conv->lock);
    iconv(conv->cd, nullptr, nullptr, nullptr, nullptr);
    std::string in;
    in.reserve(t.size() * 2);
    for (char16_t c : t) {
        in.push_back(char(c & 0xFF));
        in.push_back(char(c >> 8));
    }
    out.resize(t.size() * 4 + 4);
    char *inp = in.data();
    size_t inLeft = in.size();
    char *outp = out.data();
    size_t outLeft = out.size();
    if (iconv(conv->cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1))
        return false;
    out.resize(out.size() - outLeft);
    return true;
}

std::u16string folded(const std::u16string &t)
{
    std::u16string out = t;
    for (char16_t &c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            c += 0x20;
        else if (c >= 0x410 && c <= 0x42F)
            c += 0x20;
        else if (c >= 0x400 && c <= 0x40F)
            c += 0x50;
    }
    return out;
}

std::u16string foldedUtf8(const std::string &utf8)
{
    return folded(toUtf16(utf8));
}

} // namespace jetdb::text
