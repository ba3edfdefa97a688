// What the metafile targets share: the program's checks, then the drawing
// code that morvel-metafile runs for the file, in this process, at the two
// view sizes of the other picture targets. A refusal is the file's failure.
// Not at the natural size (up to 2048 x 2048): there QtSvg spends seconds on
// a point millions of pixels away, which the program bounds by killing the
// helper after two seconds but which here would stop the run as a hang.
#pragma once

#include "metafile_drawing.h"
#include "picture_decoders.h"
#include "picture_target.h"

namespace fuzz {

inline int drawMetafileAtViewSizes(const std::uint8_t *data, std::size_t size, metafile::Format format)
{
    return decodeAtViewSizes(data, size, true, false, [format](const QByteArray &bytes, const QSize &view) {
        if (format == metafile::Format::Enhanced)
            platform::decoders::checkEnhancedMetafile(bytes);
        else
            platform::decoders::checkWindowsMetafile(bytes);
        try {
            (void)metafile::draw(format, bytes, view);
        } catch (const metafile::Refused &) {
        }
    });
}

} // namespace fuzz
