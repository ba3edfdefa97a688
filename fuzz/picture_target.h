// What the picture targets share: the input is a picture file's bytes,
// decoded as the detail panel decodes it, at two view sizes (one twice the
// other, as on a doubled screen scale) and at its natural size. A file that
// cannot be decoded throws PictureError; anything else that leaves the
// decoder (another exception, a crash, a hang, memory beyond the limit) is
// a fault.
#pragma once

#include "fuzz_support.h"
#include "picture_decoding.h"

#include <QGuiApplication>
#include <QImageReader>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace fuzz {

// Decodes `bytes` through `decode` at each view size, and at the natural
// size when `natural` says so. The first call sets up what the decoders need.
inline int decodeAtViewSizes(const std::uint8_t *data, std::size_t size, bool metafile, bool natural,
                             const std::function<void(const QByteArray &, const QSize &)> &decode)
{
    // QtSvg and the image formats want a GUI application.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    // A picture may take as much memory as Qt's readers allow; a smaller
    // bound here makes a claimed huge picture a quick refusal instead of
    // seconds spent on pixels. It lies under the most the run gives any
    // allocation (16 MB; 32 for metafiles): Qt allows a picture of exactly
    // its bound, libFuzzer refuses an allocation of exactly its limit.
    static const bool bounded = [metafile] {
        QImageReader::setAllocationLimit(metafile ? 16 : 15);
        // The readers' warnings on damaged files would only slow the run.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return true;
    }();
    (void)bounded;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QSize view : {QSize(241, 129), QSize(482, 258), QSize()}) {
        if (view.isEmpty() && !natural)
            continue;
        try {
            decode(bytes, view);
        } catch (const platform::PictureError &) {
        }
    }
    return 0;
}

inline int decodePictureAtViewSizes(const std::uint8_t *data, std::size_t size, const QString &extension)
{
    return decodeAtViewSizes(data, size, false, true, [&extension](const QByteArray &bytes, const QSize &view) {
        (void)platform::decodePicture(bytes, extension, view);
    });
}

} // namespace fuzz
