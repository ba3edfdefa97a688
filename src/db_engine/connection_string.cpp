#include "connection_string.h"

namespace db {

QMap<QString, QString> parseConnectionString(const QString &text)
{
    QMap<QString, QString> items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {   // a part with no '=': skipped
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        qsizetype j = eq + 1;
        QString value;
        if (j < n && text.at(j) == QLatin1Char('"')) {
            // A quoted value; "" inside stands for one quote.
            ++j;
            while (j < n) {
                if (text.at(j) == QLatin1Char('"')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char('"')) {
                        value += QLatin1Char('"');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text.at(j++);
            }
            const qsizetype next = text.indexOf(QLatin1Char(';'), j);
            i = next < 0 ? n : next + 1;
        } else {
            // Unquoted: everything up to the next ';', kept as written (a
            // path may hold spaces).
            const qsizetype next = text.indexOf(QLatin1Char(';'), j);
            value = text.mid(j, (next < 0 ? n : next) - j);
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            items.insert(key, value);
    }
    return items;
}

} // namespace db
