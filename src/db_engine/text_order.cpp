#include "text_order.h"

#include <algorithm>

namespace db {
namespace {

// Characters whose collation order, letter case aside, is their code order
// (after folding capitals): space < '-' < '.' < '/' < digits < Latin letters
// < Cyrillic letters а..я. Codes, names and sizes are mostly made of these,
// and comparing them directly spares the collator. Left to the collator:
// ё (U+0451), which the root order files with е, an accent apart, and
// everything else.
inline bool plain(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' '
            || c == u'-' || c == u'.' || c == u'/';
    return c >= 0x0410 && c <= 0x044F;
}

inline char16_t folded(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 32);
    if (c >= 0x0410 && c <= 0x042F)
        return char16_t(c + 32);
    return c;
}

} // namespace

const QCollator &textCollator()
{
    // The root order (as en_US uses it) puts Latin before Cyrillic, as Access
    // does; the Russian tailoring would put Cyrillic first.
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::English, QLocale::UnitedStates));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

int compareText(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    for (qsizetype i = 0; i < common; ++i) {
        if (!plain(pa[i]) || !plain(pb[i]))
            return textCollator().compare(a, b);
        const char16_t x = folded(pa[i]), y = folded(pb[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    const QStringView rest = a.size() > common ? a.mid(common) : b.mid(common);
    if (!std::all_of(rest.begin(), rest.end(), [](QChar c) { return plain(c.unicode()); }))
        return textCollator().compare(a, b);
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace db
