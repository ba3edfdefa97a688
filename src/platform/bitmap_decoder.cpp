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

namespace {

// How many colours an icon image holds, by the format Qt reads it in.
int colourRank(QImage::Format format)
{
    switch (format) {
    case QImage::Format_ARGB32: return 4;
    case QImage::Format_RGB32: return 3;
    case QImage::Format_Indexed8: return 2;
    case QImage::Format_Mono: return 1;
    default: return 0;
    }
}

} // namespace

// Of the icon's images, the smallest that still covers the view; when none
// does, the largest. Among equal sizes the one with more colours wins. Only
// the chosen image is decoded.
QImage icon(const QByteArray &bytes, const QSize &deviceSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "ico");
    int best = -1;
    QSize bestSize;
    int bestRank = 0;
    const auto covers = [&](const QSize &size) {
        const QSize want = fittedSize(size, deviceSize);
        return !deviceSize.isEmpty() && size.width() >= want.width() && size.height() >= want.height();
    };
    // The header's count is believed only as far as the file holds the
    // 16-byte directory entries: 1 KB claiming 65,000 images took seconds.
    const int count = qMax(1, qMin(reader.imageCount(), int((bytes.size() - 6) / 16)));
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QSize size = reader.size();
        const int rank = colourRank(reader.imageFormat());
        if (size.isEmpty())
            continue;
        bool better = best < 0;
        if (!better) {
            const qint64 area = qint64(size.width()) * size.height();
            const qint64 bestArea = qint64(bestSize.width()) * bestSize.height();
            if (area == bestArea)
                better = rank > bestRank;
            else if (covers(size) != covers(bestSize))
                better = covers(size);
            else
                better = covers(size) ? area < bestArea : area > bestArea;
        }
        if (better) {
            best = i;
            bestSize = size;
            bestRank = rank;
        }
    }
    QImage image;
    if (best >= 0 && (reader.currentImageNumber() == best || reader.jumpToImage(best)))
        image = reader.read();
    if (image.isNull())
        throw PictureError(QStringLiteral("Icon image is not valid"));
    return reduced(image, deviceSize);
}

} // namespace platform::decoders
