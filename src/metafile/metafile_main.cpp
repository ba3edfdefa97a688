// morvel-metafile: draws one metafile for Morvel in a process of its own
// (see metafile_protocol.h). The libraries under it crash, loop or run out
// of memory on some damaged files; here that ends this process only, within
// limits of its own, and Morvel shows the picture's failure.
#include "metafile_drawing.h"
#include "metafile_protocol.h"
#include "write_all.h"

#include <QGuiApplication>
#include <QThreadPool>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Processor time, and address space beyond what the process holds once Qt
// is loaded. Morvel gives a drawing two seconds of its own clock.
constexpr rlim_t kProcessorSeconds = 4;
constexpr long long kDrawingMemory = 1024LL * 1024 * 1024;

void limit(int resource, rlim_t value)
{
    const rlimit r{value, value};
    setrlimit(resource, &r);
}

void limitAddressSpace()
{
    long long pages = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    limit(RLIMIT_AS, rlim_t(pages * sysconf(_SC_PAGESIZE) + kDrawingMemory));
}

bool writeAll(const char *data, qsizetype size)
{
    return core::writeAll(STDOUT_FILENO, data, size);
}

QByteArray readInput()
{
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            std::_Exit(1);
        if (n == 0)
            return bytes;
        bytes.append(chunk, n);
    }
}

bool sendPicture(const QImage &drawn)
{
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qint32 size[2] = {image.width(), image.height()};
    bool sent = writeAll(&metafile::protocol::kPicture, 1) && writeAll(reinterpret_cast<const char *>(size), sizeof size);
    for (int y = 0; sent && y < image.height(); ++y)
        sent = writeAll(reinterpret_cast<const char *>(image.constScanLine(y)), qsizetype(image.width()) * 4);
    return sent;
}

bool sendRefusal(const char *text)
{
    const qsizetype length = qMin(qsizetype(std::strlen(text)), qsizetype(metafile::protocol::kLongestRefusal));
    return writeAll(&metafile::protocol::kRefused, 1) && writeAll(text, length);
}

} // namespace

int main(int argc, char **argv)
{
    // Ends with Morvel, also when Morvel is killed; and at once if Morvel
    // ended before this line.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 5 || getppid() != std::atoll(argv[4]))
        return 2;
    limit(RLIMIT_CORE, 0);
    limit(RLIMIT_CPU, kProcessorSeconds);
    const QString format = QString::fromLatin1(argv[1]);
    const QSize view(std::atoi(argv[2]), std::atoi(argv[3]));
    if ((format != u"emf" && format != u"wmf") || view.width() < 0 || view.height() < 0)
        return 2;

    // Qt's warnings on damaged drawings would only fill the program's
    // standard error, which this process shares.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // Text in a drawing needs fonts, and fonts a GUI application; no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    const QGuiApplication app(qtArgc, qtArgv);
    // Qt hands the pixel work on large images to its thread pool, which
    // cannot be turned off; one thread there, with this one waiting, keeps
    // the drawing to one thread at a time.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    limitAddressSpace();

    const QByteArray bytes = readInput();
    bool sent = false;
    try {
        const auto kind = format == u"emf" ? metafile::Format::Enhanced : metafile::Format::Windows;
        sent = sendPicture(metafile::draw(kind, bytes, view));
    } catch (const metafile::Refused &e) {
        sent = sendRefusal(e.what());
    } catch (...) {  // out of memory: the answer is cut short
    }
    // Nothing of Qt's to tear down: Morvel has its answer.
    std::_Exit(sent ? 0 : 1);
}
