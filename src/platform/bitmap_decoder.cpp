// Windows bitmaps and icons through Qt's own readers, which take the
// variants Windows writes: 1, 4, 8, 16, 24 and 32 bits, bottom-up and
// top-down rows, RLE compression, and icons holding several sizes.
#include "picture_decoders.h"

#include "picture_decoding.h"

#include <QBuffer>
#include <QImageReader>

namespace platform::decoders {

QImage bitmap(const QByteArray &bytes, const QSize &deviceSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "bmp");
    const QImage image = reader.read();
    if (image.isNull())
        throw PictureError(QStringLiteral("Bitmap image is not valid"));
    return reduced(image, deviceSize);
}

// Of the icon's images, the smallest that still covers the view; when none
// does, the largest. Among equal sizes the one with more colours wins.
QImage icon(const QByteArray &bytes, const QSize &deviceSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "ico");
    QImage best;
    int bestDepth = 0;
    const int count = qMax(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage candidate = reader.read();
        if (candidate.isNull())
            continue;
        const int depth = candidate.depth();
        if (best.isNull()) {
            best = candidate;
            bestDepth = depth;
            continue;
        }
        const QSize want = fittedSize(candidate.size(), deviceSize);
        const auto covers = [&](const QImage &image) {
            return !deviceSize.isEmpty() && image.width() >= want.width() && image.height() >= want.height();
        };
        const qint64 area = qint64(candidate.width()) * candidate.height();
        const qint64 bestArea = qint64(best.width()) * best.height();
        bool better;
        if (area == bestArea)
            better = depth > bestDepth;
        else if (covers(candidate) && covers(best))
            better = area < bestArea;
        else if (covers(candidate) != covers(best))
            better = covers(candidate);
        else
            better = area > bestArea;
        if (better) {
            best = candidate;
            bestDepth = depth;
        }
    }
    if (best.isNull())
        throw PictureError(QStringLiteral("Icon image is not valid"));
    return reduced(best, deviceSize);
}

} // namespace platform::decoders
