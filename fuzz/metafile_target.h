// What the metafile targets share: the program's checks, then the drawing
// code that morvel-metafile runs for the file, in this process, at the
// view sizes of the other picture targets. A refusal is the file's failure.
#pragma once

#include "metafile_drawing.h"
#include "picture_decoders.h"
#include "picture_target.h"

namespace fuzz {

inline int drawMetafileAtViewSizes(const std::uint8_t *data, std::size_t size, metafile::Format format)
{
    return decodeAtViewSizes(data, size, true, [format](const QByteArray &bytes, const QSize &view) {
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
