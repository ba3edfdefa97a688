#include "connection.h"

#include "connection_string.h"
#include "file_image.h"
#include "mdb_file.h"
#include "result_table.h"
#include "sql_store.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace db {

struct Connection::Snapshot {
    std::shared_ptr<MdbFile> file;   // shared with results, which read memos from it
    std::unique_ptr<SqlStore> store;
    QSet<QString> loaded;   // lower-case names of the tables the store serves
};

Connection::Connection(QObject *parent)
    : QObject(parent)
{
}

Connection::~Connection() = default;

void Connection::setConnectionString(const QString &text)
{
    if (m_snapshot)
        throw Error(QStringLiteral("Operation is not allowed when the object is open."));
    m_connectionString = text;
}

QString Connection::connectionString() const
{
    return m_connectionString;
}

bool Connection::connected() const
{
    return m_snapshot != nullptr;
}

void Connection::setProgressHandler(Progress handler)
{
    m_progress = std::move(handler);
    if (m_snapshot)
        m_snapshot->store->setProgressHandler(m_progress);
}

void Connection::close()
{
    m_snapshot.reset();
}

void Connection::open()
{
    if (m_snapshot)
        return;
    const QMap<QString, QString> items = parseConnectionString(m_connectionString);
    const QString path = items.value(QStringLiteral("data source"));
    // Only reading is supported: a mode that asks for writing, or none at
    // all, is refused rather than silently downgraded.
    const QString mode = items.value(QStringLiteral("mode")).trimmed();
    if (mode.compare(QLatin1String("Read"), Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("The database can be opened for reading only (Mode=Read); the requested mode is '%1'.").arg(mode));
    if (path.isEmpty())
        throw Error(QStringLiteral("No database file is named in the connection string."));

    const QString diskPath = m_pathResolver ? m_pathResolver(path) : path;
    const QFileInfo info(diskPath);
    if (!info.exists() || info.isDir())
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));
    QFile file(diskPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open the database file '%1': %2.").arg(path, file.errorString()));
    // One read of the whole file: later changes by another program do not
    // reach this connection. A file that another program writes while it is
    // read would give a mixture of two versions: its size and times are
    // checked on both sides of the read, and a changed file is read again.
    std::unique_ptr<FileImage> contents;
    for (int attempt = 0;; ++attempt) {
        const auto stamp = [&file] {
            return std::make_tuple(file.size(), file.fileTime(QFileDevice::FileModificationTime),
                                   file.fileTime(QFileDevice::FileMetadataChangeTime));
        };
        const auto before = stamp();
        if (!file.seek(0))
            throw Error(QStringLiteral("Cannot read the database file '%1': %2.").arg(path, file.errorString()));
        // In slices, to tell how far it is.
        constexpr qint64 kSlice = 16 << 20;
        contents = std::make_unique<FileImage>(std::get<0>(before));
        qint64 done = 0;
        for (qint64 got = 1; done < contents->size() && got > 0; done += got) {
            got = file.read(contents->data() + done, std::min(kSlice, contents->size() - done));
            if (got < 0)
                throw Error(QStringLiteral("Cannot read the database file '%1': %2.").arg(path, file.errorString()));
            if (m_progress)
                m_progress(QString(), int((done + got) * 100 / contents->size()));
        }
        contents->truncate(done);
        if (stamp() == before && contents->size() == std::get<0>(before))
            break;
        if (attempt == 2)
            throw Error(QStringLiteral("The database file '%1' is being changed by another program and cannot be "
                                       "read whole; open it again when that program has finished.").arg(path));
    }
    file.close();

    auto snapshot = std::make_unique<Snapshot>();
    snapshot->file = std::make_shared<MdbFile>(std::move(contents), path);
    snapshot->store = std::make_unique<SqlStore>();
    snapshot->store->setProgressHandler(m_progress);
    m_snapshot = std::move(snapshot);
}

ResultTable Connection::execute(const QString &sql) const
{
    if (!m_snapshot)
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    // A table is decoded and handed to the query engine when a query first
    // names it, so tables no query uses cost nothing.
    ResultTable result;
    for (;;) {
        QString missing;
        if (m_snapshot->store->query(sql, result, missing, m_snapshot->file))
            return result;
        const QString key = missing.toLower();
        if (!m_snapshot->file->hasTable(missing) || m_snapshot->loaded.contains(key))
            throw Error(QStringLiteral("The Microsoft Jet database engine cannot find the input table or query '%1'.  "
                                       "Make sure it exists and that its name is spelled correctly.").arg(missing));
        m_snapshot->store->load(*m_snapshot->file, missing);
        m_snapshot->loaded.insert(key);
    }
}

} // namespace db
