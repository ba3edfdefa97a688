// Windows metafiles are drawings, not pixels: each is turned into SVG by a
// library and drawn by QtSvg afresh at the size the view shows it, so it
// stays sharp at any screen scale.
//   EMF: libemf2svg.
//   WMF: libwmf's SVG device. It writes colours as the nearest SVG colour
//        name, exact for the 16 classic Windows colours that such drawings
//        mostly use; its raster device keeps colours but never fills an
//        ellipse. libwmf is loaded on first use with its own symbols bound
//        first: libuemf (under libemf2svg) exports a wmf_free of its own,
//        which would otherwise answer libwmf's calls and corrupt its memory.
// Both libraries crash, loop or run out of memory on some damaged files, and
// QtSvg can spend seconds on the drawings they make of one; none of that is
// ours to fix, so a metafile is drawn in a child process that sends the
// pixels back and is killed when it takes too long. Its death is the
// picture's failure, never the program's.
#include "picture_decoders.h"

#include "picture_decoding.h"

#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>
extern "C" {
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace platform::decoders {

namespace {

// Without a view to fit, a metafile is drawn at its own size, but no larger
// than this on either side.
constexpr int kLargestSide = 2048;

QSize drawingSize(const QSize &natural, const QSize &deviceSize)
{
    if (!deviceSize.isEmpty())
        return fittedSize(natural, deviceSize);
    if (natural.width() > kLargestSide || natural.height() > kLargestSide)
        return fittedSize(natural, QSize(kLargestSide, kLargestSide));
    return natural;
}

QImage transparentCanvas(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw PictureError(QStringLiteral("Not enough memory for a %1 x %2 picture").arg(size.width()).arg(size.height()));
    image.fill(Qt::transparent);
    return image;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The libwmf entry points used here, from the library loaded apart.
struct WmfLibrary {
    decltype(&wmf_api_create) apiCreate = nullptr;
    decltype(&wmf_api_destroy) apiDestroy = nullptr;
    decltype(&wmf_mem_open) memOpen = nullptr;
    decltype(&wmf_mem_close) memClose = nullptr;
    decltype(&wmf_scan) scan = nullptr;
    decltype(&wmf_display_size) displaySize = nullptr;
    decltype(&wmf_play) play = nullptr;
    decltype(&wmf_stream_create) streamCreate = nullptr;
    decltype(&wmf_stream_destroy) streamDestroy = nullptr;
    decltype(&wmf_svg_function) svgFunction = nullptr;

    bool loaded() const
    {
        return apiCreate && apiDestroy && memOpen && memClose && scan && displaySize && play && streamCreate
            && streamDestroy && svgFunction;
    }
};

template<typename Function>
void bind(void *handle, Function &function, const char *name)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
}

// Loaded once and kept for the life of the process.
const WmfLibrary &wmfLibrary()
{
    static const WmfLibrary library = [] {
        WmfLibrary l;
        // AddressSanitizer refuses RTLD_DEEPBIND; a namespace of its own
        // keeps libwmf's symbols apart just as well.
        void *handle = kAddressSanitizer ? dlmopen(LM_ID_NEWLM, "libwmf-0.2.so.7", RTLD_NOW | RTLD_LOCAL)
                                         : dlopen("libwmf-0.2.so.7", RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
        if (!handle)
            return l;
        bind(handle, l.apiCreate, "wmf_api_create");
        bind(handle, l.apiDestroy, "wmf_api_destroy");
        bind(handle, l.memOpen, "wmf_mem_open");
        bind(handle, l.memClose, "wmf_mem_close");
        bind(handle, l.scan, "wmf_scan");
        bind(handle, l.displaySize, "wmf_display_size");
        bind(handle, l.play, "wmf_play");
        bind(handle, l.streamCreate, "wmf_stream_create");
        bind(handle, l.streamDestroy, "wmf_stream_destroy");
        bind(handle, l.svgFunction, "wmf_svg_function");
        return l;
    }();
    return library;
}

struct WmfApi {
    const WmfLibrary &lib;
    wmfAPI *api = nullptr;
    bool opened = false;
    ~WmfApi()
    {
        if (opened)
            lib.memClose(api);
        if (api)
            lib.apiDestroy(api);
    }
};

[[noreturn]] void wmfFailed()
{
    throw PictureError(QStringLiteral("Windows metafile (WMF) is not valid"));
}

// Draws `svg` at the size that fits the view; throws `failure` when it is
// not a drawing.
QImage drawSvg(const QByteArray &svg, const QSize &deviceSize, const QString &failure)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid() || renderer.defaultSize().isEmpty())
        throw PictureError(failure);
    QImage image = transparentCanvas(drawingSize(renderer.defaultSize(), deviceSize));
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), image.size()));
    return image;
}

// How long a metafile may take to draw, and how much memory beyond what the
// program already has (address space; not under AddressSanitizer, which
// reserves terabytes of it).
constexpr int kDrawingMilliseconds = 2000;
constexpr long long kDrawingMemory = 1024LL * 1024 * 1024;

void limitMemory()
{
    if (kAddressSanitizer)
        return;
    long long pages = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages * sysconf(_SC_PAGESIZE) + kDrawingMemory);
    const rlimit r{limit, limit};
    setrlimit(RLIMIT_AS, &r);
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, std::size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// What the child sends: a status byte, then for a picture its width and
// height and its pixels (premultiplied ARGB, rows packed), or the text of
// its PictureError. Rows go straight from the child's image to the
// program's, so a picture is never held twice.
enum : char { kPicture = 'P', kRefused = 'R' };

[[noreturn]] void drawInChild(int fd, const std::function<QImage()> &draw)
{
    limitMemory();
    bool sent = false;
    try {
        const QImage image = draw().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const qint32 size[2] = {image.width(), image.height()};
        sent = writeAll(fd, QByteArray(1, kPicture).constData(), 1)
            && writeAll(fd, reinterpret_cast<const char *>(size), sizeof size);
        for (int y = 0; sent && y < image.height(); ++y)
            sent = writeAll(fd, reinterpret_cast<const char *>(image.constScanLine(y)), qsizetype(image.width()) * 4);
    } catch (const PictureError &e) {
        const QByteArray message = QByteArray(1, kRefused) + QByteArray(e.what());
        sent = writeAll(fd, message.constData(), message.size());
    } catch (...) {
    }
    _exit(sent ? 0 : 1);
}

using Clock = std::chrono::steady_clock;

// Reads up to `size` bytes before `deadline`: the count read (fewer when
// the child closed the pipe), or -1 when the time ran out.
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

// Reads the child's answer: its picture, or its refusal in `refusal`; a
// null image and an empty refusal when it sent neither in time.
QImage readAnswer(int fd, QByteArray &refusal)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDrawingMilliseconds);
    char status = 0;
    if (readUntil(fd, &status, 1, deadline) != 1)
        return {};
    if (status == kRefused) {
        char text[1024];
        const qsizetype n = readUntil(fd, text, sizeof text, deadline);
        if (n > 0)
            refusal = QByteArray(text, n);
        return {};
    }
    qint32 size[2] = {0, 0};
    if (status != kPicture || readUntil(fd, reinterpret_cast<char *>(size), sizeof size, deadline) != sizeof size
        || size[0] <= 0 || size[1] <= 0 || size[0] > 32768 || size[1] > 32768)
        return {};
    QImage image(size[0], size[1], QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const qsizetype row = qsizetype(size[0]) * 4;
    for (int y = 0; y < size[1]; ++y) {
        if (readUntil(fd, reinterpret_cast<char *>(image.scanLine(y)), row, deadline) != row)
            return {};
    }
    return image;
}

// Runs `draw` in a child process; its picture, its PictureError, or
// `failure` when it crashed, took too long or could not be started.
QImage drawApart(const std::function<QImage()> &draw, const QString &failure)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw PictureError(failure);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        drawInChild(fds[1], draw);
    }
    close(fds[1]);
    if (child < 0) {
        close(fds[0]);
        throw PictureError(failure);
    }
    QByteArray refusal;
    const QImage image = readAnswer(fds[0], refusal);
    close(fds[0]);
    // Whatever it sent, the child is done with; one still drawing is stopped.
    if (image.isNull() && refusal.isEmpty())
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw PictureError(failure);
    if (!refusal.isEmpty())
        throw PictureError(QString::fromUtf8(refusal));
    if (image.isNull())
        throw PictureError(failure);
    return image;
}

} // namespace

namespace {

QImage drawEnhancedMetafile(const QByteArray &bytes, const QSize &deviceSize)
{
    // The converter takes a writable buffer.
    QByteArray contents = bytes;
    generatorOptions options{};
    char noNamespace[] = "";
    options.nameSpace = noNamespace;
    options.emfplus = true;
    options.svgDelimiter = true;
    char *svg = nullptr;
    std::size_t svgLength = 0;
    const int converted = emf2svg(contents.data(), std::size_t(contents.size()), &svg, &svgLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owner(svg, &std::free);
    const QString failure = QStringLiteral("Enhanced metafile (EMF) is not valid");
    if (converted != 1 || !svg || svgLength == 0)
        throw PictureError(failure);
    return drawSvg(QByteArray(svg, qsizetype(svgLength)), deviceSize, failure);
}

QImage drawWindowsMetafile(const WmfLibrary &lib, const QByteArray &bytes, const QSize &deviceSize)
{
    QByteArray contents = bytes;
    WmfApi wmf{lib};
    wmfAPI_Options options{};
    options.function = lib.svgFunction;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (lib.apiCreate(&wmf.api, flags, &options) != wmf_E_None)
        throw PictureError(QStringLiteral("Windows metafiles cannot be drawn: the WMF library did not start"));
    if (lib.memOpen(wmf.api, reinterpret_cast<unsigned char *>(contents.data()), long(contents.size())) != wmf_E_None)
        wmfFailed();
    wmf.opened = true;
    wmfD_Rect bbox{};
    if (lib.scan(wmf.api, 0, &bbox) != wmf_E_None)
        wmfFailed();
    unsigned int width = 0, height = 0;
    if (lib.displaySize(wmf.api, &width, &height, 96, 96) != wmf_E_None || width == 0 || height == 0)
        wmfFailed();

    wmf_svg_t *device = WMF_SVG_GetData(wmf.api);
    device->out = lib.streamCreate(wmf.api, nullptr);  // into memory
    device->bbox = bbox;
    device->width = width;
    device->height = height;
    char noDescription[] = "";
    device->Description = noDescription;
    const wmf_error_t played = lib.play(wmf.api, 0, &bbox);
    char *svg = nullptr;
    unsigned long svgLength = 0;
    lib.streamDestroy(wmf.api, device->out, &svg, &svgLength);
    if (played != wmf_E_None || !svg || svgLength == 0)
        wmfFailed();
    // The text belongs to the library, which frees it with the API.
    return drawSvg(QByteArray(svg, qsizetype(svgLength)), deviceSize,
                   QStringLiteral("Windows metafile (WMF) is not valid"));
}

quint32 word32(const QByteArray &bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16
        | quint32(quint8(bytes[at + 3])) << 24;
}

quint16 word16(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

// Whether a record that draws through a list of points holds all the points
// it counts. libemf2svg reads as many as the count says, past the record
// into whatever follows, and such a drawing can keep QtSvg busy for seconds.
bool pointsFitRecord(const QByteArray &bytes, qsizetype at, quint32 type, quint32 size)
{
    constexpr qsizetype kCountAt = 24;   // after type, size and bounds
    qsizetype pointSize = 0, extraPerPoint = 0;
    bool polyPoly = false;
    switch (type) {
    case 2: case 3: case 4: case 5: case 6: pointSize = 8; break;               // POLYBEZIER .. POLYLINETO
    case 7: case 8: pointSize = 8; polyPoly = true; break;                     // POLYPOLYLINE, POLYPOLYGON
    case 56: pointSize = 8; extraPerPoint = 1; break;                          // POLYDRAW
    case 85: case 86: case 87: case 88: case 89: pointSize = 4; break;         // the same, 16-bit points
    case 90: case 91: pointSize = 4; polyPoly = true; break;
    case 92: pointSize = 4; extraPerPoint = 1; break;
    default: return true;
    }
    if (size < kCountAt + (polyPoly ? 8u : 4u))
        return false;
    if (!polyPoly) {
        const qsizetype points = word32(bytes, at + kCountAt);
        return points <= (qsizetype(size) - kCountAt - 4) / (pointSize + extraPerPoint);
    }
    // Polygons, their point counts, then all their points.
    const qsizetype polygons = word32(bytes, at + kCountAt), points = word32(bytes, at + kCountAt + 4);
    const qsizetype room = qsizetype(size) - kCountAt - 8;
    if (polygons > room / 4 || points > (room - polygons * 4) / pointSize)
        return false;
    qsizetype counted = 0;
    for (qsizetype i = 0; i < polygons; ++i) {
        counted += word32(bytes, at + kCountAt + 8 + i * 4);
        if (counted > points)
            return false;
    }
    return true;
}

// Whether the header's description and pixel format lie inside the file
// (its first `end` bytes). libemf2svg converts the description from where the
// header says, as many characters as it says, and with a count of 0 up to the
// first zero character, wherever that is.
bool headerPartsFit(const QByteArray &bytes, quint32 headerSize, qsizetype end)
{
    constexpr qsizetype kDescriptionCountAt = 60, kDescriptionAt = 64, kPixelFormatSizeAt = 88, kPixelFormatAt = 92;
    const auto limit = quint64(end);
    if (qsizetype(headerSize) >= kDescriptionAt + 4) {
        const quint64 count = word32(bytes, kDescriptionCountAt), offset = word32(bytes, kDescriptionAt);
        if (offset > limit || count > (limit - offset) / 2)
            return false;
        if (count == 0) {
            qsizetype at = qsizetype(offset);
            while (at + 2 <= end && word16(bytes, at) != 0)
                at += 2;
            if (at + 2 > end)
                return false;
        }
    }
    if (qsizetype(headerSize) >= kPixelFormatAt + 4) {
        const quint64 size = word32(bytes, kPixelFormatSizeAt), offset = word32(bytes, kPixelFormatAt);
        if (size > 0 && (offset > limit || size > limit - offset))
            return false;
    }
    return true;
}

// Whether the file is a chain of whole records, from the header to the
// end-of-file record, before any of it goes to a library. A file that is
// not costs no child process, and the libraries see only whole records.
bool wellFormedEmf(const QByteArray &bytes)
{
    constexpr qsizetype kHeader = 88;
    constexpr quint32 kSignature = 0x464D4520;  // " EMF"
    constexpr quint32 kEndOfFile = 14;
    if (bytes.size() < kHeader || word32(bytes, 0) != 1 || word32(bytes, 40) != kSignature)
        return false;
    const qsizetype end = word32(bytes, 48);
    if (end > bytes.size())
        return false;
    for (qsizetype at = 0; at + 8 <= end;) {
        const quint32 size = word32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || size > quint32(end - at))
            return false;
        const quint32 type = word32(bytes, at);
        if (type == kEndOfFile)
            return true;
        if ((at == 0 && !headerPartsFit(bytes, size, end)) || !pointsFitRecord(bytes, at, type, size))
            return false;
        at += size;
    }
    return false;
}

bool wellFormedWmf(const QByteArray &bytes)
{
    constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
    constexpr qsizetype kPlaceableHeader = 22;
    constexpr qsizetype kHeader = 18;
    qsizetype at = 0;
    if (bytes.size() >= 4 && word32(bytes, 0) == kPlaceableKey)
        at = kPlaceableHeader;
    if (bytes.size() - at < kHeader)
        return false;
    const quint16 type = word16(bytes, at), headerWords = word16(bytes, at + 2), version = word16(bytes, at + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        return false;
    for (at += kHeader; at + 6 <= bytes.size();) {
        const quint32 words = word32(bytes, at);
        if (words < 3 || words > quint32((bytes.size() - at) / 2))
            return false;
        if (word16(bytes, at + 4) == 0)  // end of file
            return true;
        at += qsizetype(words) * 2;
    }
    return false;
}

} // namespace

QImage enhancedMetafile(const QByteArray &bytes, const QSize &deviceSize)
{
    if (!wellFormedEmf(bytes))
        throw PictureError(QStringLiteral("Enhanced metafile (EMF) is not valid"));
    // The extent of the header's bounds, in device pixels (the edges may come
    // in either order), held to the bound of the other formats' pixels:
    // drawings claiming millions of pixels across keep the libraries busy for
    // seconds even when shown small.
    const auto extent = [&](qsizetype from, qsizetype to) {
        return std::abs(qint64(qint32(word32(bytes, to))) - qint32(word32(bytes, from))) + 1;
    };
    const qint64 width = extent(8, 16), height = extent(12, 20);
    checkImageBound(width, height, width, height);
    return drawApart([&] { return drawEnhancedMetafile(bytes, deviceSize); },
                     QStringLiteral("Enhanced metafile (EMF) is not valid"));
}

QImage windowsMetafile(const QByteArray &bytes, const QSize &deviceSize)
{
    // Loaded here, once, rather than in every child.
    const WmfLibrary &lib = wmfLibrary();
    if (!lib.loaded())
        throw PictureError(QStringLiteral("Windows metafiles cannot be drawn: libwmf-0.2.so.7 is missing"));
    if (!wellFormedWmf(bytes))
        wmfFailed();
    return drawApart([&] { return drawWindowsMetafile(lib, bytes, deviceSize); },
                     QStringLiteral("Windows metafile (WMF) is not valid"));
}

} // namespace platform::decoders
