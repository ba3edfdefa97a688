#include "text_order.h"

namespace db {

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
    return textCollator().compare(a, b);
}

} // namespace db
