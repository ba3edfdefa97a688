#include "connection.h"

#include "connection_string.h"
#include "file_image.h"
#include "jet_header.h"
#include "jet_tables.h"
#include "mdb_file.h"
#include "result_table.h"
#include "sql_store.h"

#include "regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <tuple>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace db {
namespace {

// How often a thread that waits for the other one reports progress, so that
// the window stays painted.
constexpr std::chrono::milliseconds kPing(40);

// The other thread's allocations lie in a heap of their own, which keeps
// what they freed (a union's temporary B-tree, tens of megabytes) resident
// for good unless it is handed back.
void handBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Large buffers (a data set's columns, a table's rows) come from the system
// and go straight back to it. glibc would otherwise raise that threshold
// each time such a buffer is freed, so the columns that grow as a query's
// rows come in would be moved within the heap, which keeps the old copies.
void keepLargeBuffersApart()
{
#ifdef __GLIBC__
    static const bool fixed = mallopt(M_MMAP_THRESHOLD, 128 * 1024) != 0;
    (void)fixed;
#endif
}

// A query engine and the tables it has been handed.
struct Store {
    std::unique_ptr<SqlStore> sql;
    QSet<QString> loaded;   // lower-case names
};

// One read of the whole file: later changes by another program do not reach
// the connection. A file that another program writes while it is read would
// give a mixture of two versions: its size and times are checked on both
// sides of the read, and a changed file is read again. The header is read
// and checked before room is taken for the rest, so what is no database, or
// one too large or locked by a password, costs no more than its first bytes.
std::unique_ptr<FileImage> readImage(QFile &file, const QString &path, const Connection::Progress &progress)
{
    const auto readError = [&] {
        return Error(QStringLiteral("Cannot read the database file '%1': %2.").arg(path, file.errorString()));
    };
    const auto stamp = [&file] {
        return std::make_tuple(file.size(), file.fileTime(QFileDevice::FileModificationTime),
                               file.fileTime(QFileDevice::FileMetadataChangeTime));
    };
    for (int attempt = 0;; ++attempt) {
        const auto before = stamp();
        if (!file.seek(0))
            throw readError();
        // In slices small enough to stay in the processor's cache on their
        // way into the image, which sorts the pages; how far it is, told
        // every few slices.
        constexpr qint64 kSlice = 1 << 20;
        constexpr int kSlicesTold = 16;
        const qint64 size = std::get<0>(before);
        std::vector<char> slice(std::size_t(std::min(kSlice, std::max<qint64>(size, 1))));
        const qint64 head = file.read(slice.data(), std::min<qint64>(size, kJetHeaderBytes));
        if (head < 0)
            throw readError();
        checkJetHeader(reinterpret_cast<const unsigned char *>(slice.data()), head, size, path);
        auto contents = std::make_unique<FileImage>(size);
        contents->append(slice.data(), head);
        for (qint64 got = 1, done = head, slices = 0; done < size && got > 0; done += got) {
            got = file.read(slice.data(), std::min(qint64(slice.size()), size - done));
            if (got < 0)
                throw readError();
            contents->append(slice.data(), got);
            if (progress && (++slices % kSlicesTold == 0 || done + got == size))
                progress(QString(), int((done + got) * 100 / size));
        }
        if (stamp() == before && contents->size() == size)
            return contents;
        if (attempt == 2)
            throw Error(QStringLiteral("The database file '%1' is being changed by another program and cannot be "
                                       "read whole; open it again when that program has finished.").arg(path));
    }
}

} // namespace

struct Connection::Snapshot {
    // Read by both threads at once, and by results, which read memos from it.
    std::shared_ptr<MdbFile> file;
    Store main;

    // Every table decoded so far, for both threads; a slot not yet ready is
    // being decoded.
    struct Slot {
        std::shared_ptr<JetTable> table;
        std::exception_ptr error;
        bool ready = false;
    };
    std::mutex tablesMutex;
    std::condition_variable tableReady;
    QHash<QString, Slot> tables;   // lower-case name

    std::unique_ptr<Ahead> ahead;   // last: stopped before the rest goes

    std::shared_ptr<JetTable> decoded(const QString &name, const Progress &progress);
    ResultTable run(Store &store, const QString &sql, const Progress &progress, const std::atomic<bool> *stop);
};

struct Connection::Ahead {
    QString sql;
    Store store;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    ResultTable result;
    std::exception_ptr error;
    std::thread thread;

    ~Ahead()
    {
        stop = true;
        if (store.sql)
            store.sql->interrupt();
        if (thread.joinable())
            thread.join();
    }
};

// The table decoded, by this thread or, when it is already at it, the other.
// A table that cannot be read gives both the same error.
std::shared_ptr<JetTable> Connection::Snapshot::decoded(const QString &name, const Progress &progress)
{
    const QString key = name.toLower();
    std::unique_lock lock(tablesMutex);
    for (auto it = tables.find(key); it != tables.end(); it = tables.find(key)) {
        if (it->ready) {
            if (it->error)
                std::rethrow_exception(it->error);
            return it->table;
        }
        if (!progress) {
            tableReady.wait(lock);
            continue;
        }
        tableReady.wait_for(lock, kPing);
        lock.unlock();
        progress(name, -1);
        lock.lock();
    }
    tables.insert(key, Slot());
    lock.unlock();

    Slot slot;
    try {
        MdbFile::PageProgress pages;
        if (progress)
            pages = [&](qsizetype done, qsizetype total) { progress(name, int(done * 100 / total)); };
        slot.table = readJetTable(*file, name, pages);
    } catch (...) {
        slot.error = std::current_exception();
    }
    slot.ready = true;
    lock.lock();
    tables[key] = slot;
    tableReady.notify_all();
    if (slot.error)
        std::rethrow_exception(slot.error);
    return slot.table;
}

// A table is decoded and handed to the query engine when a query first
// names it, so tables no query uses cost nothing.
ResultTable Connection::Snapshot::run(Store &store, const QString &sql, const Progress &progress,
                                      const std::atomic<bool> *stop)
{
    ResultTable result;
    for (;;) {
        if (stop && *stop)
            throw Error(QStringLiteral("The query was stopped."));
        QString missing;
        if (store.sql->query(sql, result, missing, file))
            return result;
        const QString key = missing.toLower();
        if (!file->hasTable(missing) || store.loaded.contains(key))
            throw Error(QStringLiteral("The Microsoft Jet database engine cannot find the input table or query '%1'.  "
                                       "Make sure it exists and that its name is spelled correctly.").arg(missing));
        store.sql->attach(missing, decoded(missing, progress));
        store.loaded.insert(key);
    }
}

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
        m_snapshot->main.sql->setProgressHandler(m_progress);
}

void Connection::close()
{
    m_snapshot.reset();
}

void Connection::open()
{
    if (m_snapshot)
        return;
    keepLargeBuffersApart();
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
    QFile file;
    QString why;
    switch (core::openRegularFile(file, diskPath, &why)) {
    case core::OpenOutcome::Opened:
        break;
    case core::OpenOutcome::NotRegular:
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));
    case core::OpenOutcome::Failed:
        throw Error(QStringLiteral("Cannot open the database file '%1': %2.").arg(path, why));
    }
    std::unique_ptr<FileImage> contents = readImage(file, path, m_progress);
    file.close();

    auto snapshot = std::make_unique<Snapshot>();
    snapshot->file = std::make_shared<MdbFile>(std::move(contents), path);
    snapshot->main.sql = std::make_unique<SqlStore>();
    snapshot->main.sql->setProgressHandler(m_progress);
    m_snapshot = std::move(snapshot);
}

ResultTable Connection::execute(const QString &sql) const
{
    if (!m_snapshot)
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    if (m_snapshot->ahead && m_snapshot->ahead->sql == sql) {
        std::unique_ptr<Ahead> ahead = std::move(m_snapshot->ahead);
        std::unique_lock lock(ahead->mutex);
        while (!ahead->finished.wait_for(lock, kPing, [&] { return ahead->done; })) {
            lock.unlock();
            if (m_progress)
                m_progress(QString(), -1);
            lock.lock();
        }
        lock.unlock();
        ahead->thread.join();
        if (ahead->error)
            std::rethrow_exception(ahead->error);
        ResultTable result = std::move(ahead->result);
        ahead.reset();
        handBackFreedMemory();
        return result;
    }
    return m_snapshot->run(m_snapshot->main, sql, m_progress, nullptr);
}

void Connection::runAhead(const QString &sql)
{
    // On one processor a second thread would only add its switching.
    if (!m_snapshot || m_snapshot->ahead || std::thread::hardware_concurrency() < 2)
        return;
    auto ahead = std::make_unique<Ahead>();
    ahead->sql = sql;
    try {
        ahead->store.sql = std::make_unique<SqlStore>();
    } catch (const Error &) {
        return;   // then it runs in its turn
    }
    Snapshot *snapshot = m_snapshot.get();
    Ahead *job = ahead.get();
    job->thread = std::thread([snapshot, job] {
        ResultTable result;
        std::exception_ptr error;
        try {
            result = snapshot->run(job->store, job->sql, {}, &job->stop);
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(job->mutex);
        job->result = std::move(result);
        job->error = error;
        job->done = true;
        job->finished.notify_all();
    });
    m_snapshot->ahead = std::move(ahead);
}

void Connection::dropAhead()
{
    if (m_snapshot)
        m_snapshot->ahead.reset();
}

} // namespace db
