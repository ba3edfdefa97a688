#include "text_order.h"

#include <QVarLengthArray>

#include <algorithm>

namespace db {
namespace {

inline bool plain(char16_t c) { return quickRank(c) > 0; }

} // namespace

const QCollator &textCollator()
{
    // The root order (as en_US uses it) puts Latin before Cyrillic, as Access
    // does; the Russian tailoring would put Cyrillic first. One per thread:
    // a collator sets itself up on first use, so one shared is not safe.
    static thread_local const QCollator collator = [] {
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
        const int x = quickRank(pa[i]), y = quickRank(pb[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    const QStringView rest = a.size() > common ? a.mid(common) : b.mid(common);
    if (!std::all_of(rest.begin(), rest.end(), [](QChar c) { return plain(c.unicode()); }))
        return textCollator().compare(a, b);
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

namespace {

inline bool setAside(char16_t c) { return c == u'-' || c == u'\''; }

// The text without hyphens and apostrophes; returns how many it had.
qsizetype withoutSetAside(QStringView text, QVarLengthArray<char16_t, 128> &out)
{
    out.clear();
    for (const QChar c : text)
        if (!setAside(c.unicode()))
            out.append(c.unicode());
    return text.size() - out.size();
}

// Compares the texts without their hyphens and apostrophes as they are
// copied out; the collator decides whenever the quick path cannot.
int compareWithoutSetAside(QStringView a, QStringView b)
{
    QVarLengthArray<char16_t, 128> shortA, shortB;
    const qsizetype removedA = withoutSetAside(a, shortA);
    const qsizetype removedB = withoutSetAside(b, shortB);
    if (const int c = compareText(QStringView(shortA.constData(), shortA.size()),
                                  QStringView(shortB.constData(), shortB.size())))
        return c;
    if (removedA != removedB)
        return removedA < removedB ? -1 : 1;
    return compareText(a, b);
}

} // namespace

int compareDatabaseText(QStringView a, QStringView b)
{
    // The quick path of compareText, stepping over hyphens and apostrophes
    // in place (codes are full of hyphens; copying them out costs more than
    // the comparison).
    const char16_t *pa = a.utf16(), *pb = b.utf16();
    const qsizetype na = a.size(), nb = b.size();
    qsizetype i = 0, j = 0, removedA = 0, removedB = 0;
    for (;;) {
        while (i < na && setAside(pa[i])) {
            ++i;
            ++removedA;
        }
        while (j < nb && setAside(pb[j])) {
            ++j;
            ++removedB;
        }
        if (i == na || j == nb)
            break;
        if (!plain(pa[i]) || !plain(pb[j]))
            return compareWithoutSetAside(a, b);
        const int x = quickRank(pa[i]), y = quickRank(pb[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i == na && j == nb) {
        if (removedA != removedB)
            return removedA < removedB ? -1 : 1;
        return compareText(a, b);
    }
    // One ran out: it comes first unless the other's rest needs the collator.
    const char16_t *rest = i < na ? pa + i : pb + j;
    const char16_t *restEnd = i < na ? pa + na : pb + nb;
    if (!std::all_of(rest, restEnd, [](char16_t c) { return plain(c) || setAside(c); }))
        return compareWithoutSetAside(a, b);
    return i < na ? 1 : -1;
}

} // namespace db
