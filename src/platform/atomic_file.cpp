// QSaveFile is not used: in Qt 6.4 a write cut short (a full disk, a file
// size limit) is not reported, and commit() then renames a truncated file
// over the good one. Here every byte written is counted. Nor is any path
// beyond the first link resolved: a member of the group that may write the
// configuration's folder could plant a link there, and a writer that followed
// it would rewrite, as whoever saves (root included), any file it names.
#include "atomic_file.h"

#include "write_all.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool failWith(QString *error, const QString &what, int err)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
    return false;
}

// A path's folder ("." when it has none) and last part.
void split(const QByteArray &path, QByteArray *folder, QByteArray *name)
{
    const qsizetype slash = path.lastIndexOf('/');
    *folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
    *name = path.sliced(slash + 1);
}

// A last part that names a folder, not a file in it.
bool namesFolder(const QByteArray &name)
{
    return name.isEmpty() || name == "." || name == "..";
}

} // namespace

FolderFile::FolderFile(const QString &path)
    : m_path(path)
{
    QByteArray folder;
    split(QFile::encodeName(path), &folder, &m_name);
    if (namesFolder(m_name)) {
        m_folderError = EISDIR;
        return;
    }
    const int linkFolder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (linkFolder < 0) {
        m_folderError = errno;
        return;
    }
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(linkFolder, m_name.constData(), target.data(), size_t(target.size()));
    if (length < 0) {   // not a link (EINVAL), or nothing there yet
        m_folder = linkFolder;
        return;
    }
    target.truncate(length);
    split(target, &folder, &m_name);
    if (namesFolder(m_name) || length >= PATH_MAX) {
        m_folderError = length >= PATH_MAX ? ENAMETOOLONG : EISDIR;
    } else {
        // A relative target is taken from the link's folder.
        m_folder = ::openat(linkFolder, folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            m_folderError = errno;
    }
    ::close(linkFolder);
}

FolderFile::~FolderFile()
{
    if (m_folder >= 0)
        ::close(m_folder);
}

int FolderFile::open(struct stat *status) const
{
    if (m_folder < 0) {
        errno = m_folderError;
        return -1;
    }
    const int fd = ::openat(m_folder, m_name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && ::fstat(fd, status) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

bool FolderFile::replace(const QByteArray &bytes, int mode, QString *error) const
{
    if (m_folder < 0)
        return failWith(error, QStringLiteral("Cannot create a file beside ") + m_path, m_folderError);
    const QByteArray prefix = '.' + m_name + '.';
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempName = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = ::openat(m_folder, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failWith(error, QStringLiteral("Cannot create a file beside ") + m_path, errno);
    if (mode >= 0)
        ::fchmod(fd, mode_t(mode));

    const char *step = "Cannot write ";
    bool ok = core::writeAll(fd, bytes.constData(), bytes.size());
    if (ok && !(ok = ::fsync(fd) == 0))
        step = "Cannot flush ";
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    // The rename replaces whatever entry has the name, a link included.
    if (ok && ::renameat(m_folder, tempName.constData(), m_folder, m_name.constData()) != 0) {
        ok = false;
        err = errno;
        step = "Cannot replace ";
    }
    if (!ok) {
        ::unlinkat(m_folder, tempName.constData(), 0);
        return failWith(error, QString::fromLatin1(step) + m_path, err);
    }
    ::fsync(m_folder);   // makes the rename itself durable
    return true;
}

} // namespace platform
