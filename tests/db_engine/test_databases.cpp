#include "test_databases.h"

#include <QFile>

namespace testdb {

QString write(const jetdb::Database &db, const QString &path)
{
    db.write(path.toStdString());
    return path;
}

QString connectionStringFor(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=") + path
        + QStringLiteral(";Mode=Read;Persist Security Info=True");
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace testdb
