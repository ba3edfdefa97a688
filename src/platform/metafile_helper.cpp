#include "metafile_helper.h"

#include "metafile_protocol.h"
#include "picture_decoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

extern char **environ;

namespace platform::metafile_helper {

namespace {

QString &chosenFolder()
{
    static QString folder;
    return folder;
}

// How long a drawing may take, the helper's start included.
constexpr std::chrono::milliseconds kDrawingTime(2000);

using Clock = std::chrono::steady_clock;

// A descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

// The bytes in a file of their own in memory, read from its start: the
// helper's standard input, which it reads at its own pace.
int memoryFile(const QByteArray &bytes)
{
    const int fd = memfd_create(metafile::protocol::kHelperName, MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += n;
    }
    if (lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads up to `size` bytes before `deadline`: the count read (fewer when
// the helper closed its end), or -1 when the time ran out.
qsizetype readUntil(int fd, char *data, qsizetype size, Clock::time_point deadline)
{
    qsizetype done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return -1;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return -1;
        if (ready < 0)
            return done;
        const ssize_t n = read(fd, data + done, std::size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done;
        done += n;
    }
    return done;
}

// Reads the helper's answer: its picture, no larger than `largest`, or its
// refusal in `refusal`; a null image and an empty refusal when it sent
// neither in time.
QImage readAnswer(int fd, const QSize &largest, Clock::time_point deadline, QByteArray &refusal)
{
    char status = 0;
    if (readUntil(fd, &status, 1, deadline) != 1)
        return {};
    if (status == metafile::protocol::kRefused) {
        char text[metafile::protocol::kLongestRefusal];
        const qsizetype n = readUntil(fd, text, sizeof text, deadline);
        if (n > 0)
            refusal = QByteArray(text, n);
        return {};
    }
    qint32 size[2] = {0, 0};
    if (status != metafile::protocol::kPicture
        || readUntil(fd, reinterpret_cast<char *>(size), sizeof size, deadline) != sizeof size || size[0] <= 0
        || size[1] <= 0 || size[0] > largest.width() || size[1] > largest.height())
        return {};
    QImage image(size[0], size[1], QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    // Rows go straight into the image, so a picture is never held twice.
    const qsizetype row = qsizetype(size[0]) * 4;
    for (int y = 0; y < size[1]; ++y) {
        if (readUntil(fd, reinterpret_cast<char *>(image.scanLine(y)), row, deadline) != row)
            return {};
    }
    return image;
}

} // namespace

QString path()
{
    const QString folder = chosenFolder().isEmpty() ? QCoreApplication::applicationDirPath() : chosenFolder();
    return QDir(folder).filePath(QString::fromLatin1(metafile::protocol::kHelperName));
}

void setFolder(const QString &folder)
{
    chosenFolder() = folder;
}

pid_t start(const QByteArray &helper, const char *format, const QSize &view, int input, int output)
{
    // Everything the child needs is made here: between its start and the
    // helper's, nothing in it allocates or runs Qt (posix_spawn only
    // arranges the descriptors and signals given it).
    std::string width = std::to_string(qMax(view.width(), 0)), height = std::to_string(qMax(view.height(), 0));
    std::string parent = std::to_string(getpid());
    QByteArray program = helper;
    std::string formatArg = format;
    char *argv[] = {program.data(), formatArg.data(), width.data(), height.data(), parent.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // Signals blocked in the calling thread or ignored by the program are
    // the helper's defaults again.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGXCPU, SIGHUP, SIGINT, SIGTERM})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    const int failed = posix_spawn(&child, program.constData(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return child;
}

QImage draw(const char *format, const QByteArray &bytes, const QSize &view, const QString &failure)
{
    const Clock::time_point deadline = Clock::now() + kDrawingTime;
    const QString helper = path();
    const Descriptor input{memoryFile(bytes)};
    int fds[2];
    if (input.fd < 0 || pipe2(fds, O_CLOEXEC) != 0)
        throw PictureError(failure);
    const Descriptor answer{fds[0]};
    const pid_t child = start(QFile::encodeName(helper), format, view, input.fd, fds[1]);
    const int spawnError = errno;
    close(fds[1]);
    if (child < 0)  // an installation fault, not the picture's
        throw PictureError(QStringLiteral("Metafiles cannot be drawn: %1 cannot be run (%2)")
                               .arg(helper, QString::fromLocal8Bit(std::strerror(spawnError))));
    QByteArray refusal;
    constexpr int natural = metafile::protocol::kLargestNaturalSide;
    const QSize largest = view.isEmpty() ? QSize(natural, natural) : view;
    const QImage image = readAnswer(answer.fd, largest, deadline, refusal);
    // Whatever it sent, the helper is done: one still drawing is stopped
    // before it is waited for.
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!refusal.isEmpty())
        throw PictureError(QString::fromUtf8(refusal));
    if (image.isNull())
        throw PictureError(failure);
    return image;
}

} // namespace platform::metafile_helper
