// Each metafile is turned into SVG by a library and drawn by QtSvg afresh
// at the size the view shows it, so it stays sharp at any screen scale.
//   EMF: libemf2svg.
//   WMF: libwmf's SVG device. It writes colours as the nearest SVG colour
//        name, exact for the 16 classic Windows colours that such drawings
//        mostly use; its raster device keeps colours but never fills an
//        ellipse. libwmf is loaded on first use with its own symbols bound
//        first: libuemf (under libemf2svg) exports a wmf_free of its own,
//        which would otherwise answer libwmf's calls and corrupt its memory.
#include "metafile_drawing.h"

#include "metafile_protocol.h"

#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <uemf_safe.h>
extern "C" {
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

#include <QtEndian>

#include <dlfcn.h>

#include <cstdlib>
#include <memory>

namespace metafile {

namespace {

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

QSize drawingSize(const QSize &natural, const QSize &view)
{
    constexpr int largest = protocol::kLargestNaturalSide;
    if (view.isEmpty() && natural.width() <= largest && natural.height() <= largest)
        return natural;
    const QSize bound = view.isEmpty() ? QSize(largest, largest) : view;
    return natural.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// Draws `svg` at the size that fits the view; throws `failure` when it is
// not a drawing.
QImage drawSvg(const QByteArray &svg, const QSize &view, const QString &failure)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid() || renderer.defaultSize().isEmpty())
        throw Refused(failure);
    const QSize size = drawingSize(renderer.defaultSize(), view);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw Refused(QStringLiteral("Not enough memory for a %1 x %2 picture").arg(size.width()).arg(size.height()));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), image.size()));
    return image;
}

const QString kEmfFailure = QStringLiteral("Enhanced metafile (EMF) is not valid");
const QString kWmfFailure = QStringLiteral("Windows metafile (WMF) is not valid");

// Whether every record, up to the end-of-file record, holds the parts its
// fields point to (a brush's or a blit's bitmap, its colours, its bits).
// libemf2svg copies them from where the fields say; libuemf's checker, from
// the library it draws with, holds each record to its own bytes first.
bool recordsHoldTheirParts(const QByteArray &bytes)
{
    constexpr quint32 kEndOfFile = 14;
    for (qsizetype at = 0; at + 8 <= bytes.size();) {
        const char *record = bytes.constData() + at;
        const quint32 type = qFromLittleEndian<quint32>(record), size = qFromLittleEndian<quint32>(record + 4);
        if (size < 8 || size > quint64(bytes.size() - at) || !U_emf_record_safe(record))
            return false;
        if (type == kEndOfFile)
            return true;
        at += size;
    }
    return false;
}

QImage drawEnhanced(const QByteArray &bytes, const QSize &view)
{
    if (!recordsHoldTheirParts(bytes))
        throw Refused(kEmfFailure);
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
    if (converted != 1 || !svg || svgLength == 0)
        throw Refused(kEmfFailure);
    return drawSvg(QByteArray(svg, qsizetype(svgLength)), view, kEmfFailure);
}

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

QImage drawWindows(const QByteArray &bytes, const QSize &view)
{
    const WmfLibrary &lib = wmfLibrary();
    if (!lib.loaded())
        throw Refused(QStringLiteral("Windows metafiles cannot be drawn: libwmf-0.2.so.7 is missing"));
    QByteArray contents = bytes;
    WmfApi wmf{lib};
    wmfAPI_Options options{};
    options.function = lib.svgFunction;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (lib.apiCreate(&wmf.api, flags, &options) != wmf_E_None)
        throw Refused(QStringLiteral("Windows metafiles cannot be drawn: the WMF library did not start"));
    if (lib.memOpen(wmf.api, reinterpret_cast<unsigned char *>(contents.data()), long(contents.size())) != wmf_E_None)
        throw Refused(kWmfFailure);
    wmf.opened = true;
    wmfD_Rect bbox{};
    if (lib.scan(wmf.api, 0, &bbox) != wmf_E_None)
        throw Refused(kWmfFailure);
    unsigned int width = 0, height = 0;
    if (lib.displaySize(wmf.api, &width, &height, 96, 96) != wmf_E_None || width == 0 || height == 0)
        throw Refused(kWmfFailure);

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
        throw Refused(kWmfFailure);
    // The text belongs to the library, which frees it with the API.
    return drawSvg(QByteArray(svg, qsizetype(svgLength)), view, kWmfFailure);
}

} // namespace

QImage draw(Format format, const QByteArray &bytes, const QSize &view)
{
    return format == Format::Enhanced ? drawEnhanced(bytes, view) : drawWindows(bytes, view);
}

} // namespace metafile
