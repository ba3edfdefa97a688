// QSaveFile is not used: in Qt 6.4 a write cut short (a full disk, a file
// size limit) is not reported, and commit() then renames a truncated file
// over the good one. Here every byte written is counted.
#include "atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
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

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool replaceFileContents(const QString &file, const QByteArray &bytes, QString *error)
{
    QFileInfo target(file);
    if (target.isSymLink()) {
        const QString canonical = target.canonicalFilePath();   // empty when the link dangles
        target = QFileInfo(canonical.isEmpty() ? target.symLinkTarget() : canonical);
    }
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    const QByteArray prefix = QFile::encodeName(target.absolutePath()) + "/."
        + QFile::encodeName(target.fileName()) + '.';

    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempName = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failWith(error, QStringLiteral("Cannot create a file beside ") + file, errno);

    struct stat old {};
    if (::stat(finalName.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

    const char *step = "Cannot write ";
    bool ok = writeAll(fd, bytes);
    if (ok && !(ok = ::fsync(fd) == 0))
        step = "Cannot flush ";
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tempName.constData(), finalName.constData()) != 0) {
        ok = false;
        err = errno;
        step = "Cannot replace ";
    }
    if (!ok) {
        ::unlink(tempName.constData());
        return failWith(error, QString::fromLatin1(step) + file, err);
    }

    // Make the rename itself durable.
    const int dir = ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace platform
