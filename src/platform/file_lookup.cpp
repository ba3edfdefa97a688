#include "file_lookup.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

namespace {

// The entry of `dir` whose name equals `name` but for letter case; the first
// in name order when several do, so the choice does not depend on the order
// the file system lists them in.
QString caseInsensitiveEntry(const QString &dir, const QString &name)
{
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return QString();
}

} // namespace

QString resolvePath(const QString &path)
{
    QString unixPath = path;
    unixPath.replace(u'\\', u'/');
    if (unixPath.isEmpty() || QFileInfo::exists(unixPath))
        return unixPath;

    const bool absolute = unixPath.startsWith(u'/');
    const QStringList parts = unixPath.split(u'/', Qt::SkipEmptyParts);
    QString resolved = absolute ? QStringLiteral("/") : QString();
    for (const QString &part : parts) {
        const QString dir = resolved.isEmpty() ? QStringLiteral(".") : resolved;
        QString name = part;
        if (part != u"." && part != u".." && !QFileInfo::exists(dir + u'/' + part)) {
            name = caseInsensitiveEntry(dir, part);
            if (name.isEmpty())
                return unixPath;
        }
        if (!resolved.isEmpty() && !resolved.endsWith(u'/'))
            resolved += u'/';
        resolved += name;
    }
    return resolved;
}

QString pathInFolder(const QString &folder, const QString &name)
{
    const auto separator = [](QChar c) { return c == u'/' || c == u'\\'; };
    if ((!name.isEmpty() && separator(name.front())) || (name.size() >= 2 && name[1] == u':'))
        return QString();
    qsizetype partStart = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !separator(name[i]))
            continue;
        if (QStringView(name).sliced(partStart, i - partStart) == u"..")
            return QString();
        partStart = i + 1;
    }
    return folder + name;
}

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(resolvePath(path)).isFile();
}

qsizetype fileNameStart(QStringView path)
{
    return std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
}

} // namespace platform
