#include "picture_decoding.h"

#include "picture_decoders.h"

#include <QImageReader>

namespace platform {

QSize fittedSize(const QSize &natural, const QSize &view)
{
    if (natural.isEmpty() || view.isEmpty())
        return natural;
    return natural.scaled(view, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

namespace {

const char *const kExtensions[] = {"jpg", "jpeg", "bmp", "ico", "emf", "wmf"};

} // namespace

void checkPictureExtension(const QString &extension)
{
    for (const char *known : kExtensions) {
        if (extension.compare(QLatin1StringView(known), Qt::CaseInsensitive) == 0)
            return;
    }
    throw PictureError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
}

bool isJpeg(const QString &extension)
{
    return extension.compare(u"jpg", Qt::CaseInsensitive) == 0 || extension.compare(u"jpeg", Qt::CaseInsensitive) == 0;
}

bool checkJpegHeader(const QByteArray &bytes, const QSize &deviceSize, bool partial)
{
    return decoders::jpegHeader(bytes, deviceSize, partial);
}

QImage decodePicture(const QByteArray &bytes, const QString &extension, const QSize &deviceSize,
                     const std::function<bool()> &cancelled)
{
    checkPictureExtension(extension);
    if (isJpeg(extension))
        return decoders::jpeg(bytes, deviceSize, cancelled);
    const QString ext = extension.toLower();
    if (ext == u"bmp")
        return decoders::bitmap(bytes, deviceSize);
    if (ext == u"ico")
        return decoders::icon(bytes, deviceSize);
    if (ext == u"emf")
        return decoders::enhancedMetafile(bytes, deviceSize);
    return decoders::windowsMetafile(bytes, deviceSize);
}

} // namespace platform

namespace platform::decoders {

QImage reduced(const QImage &image, const QSize &deviceSize)
{
    const QSize fitted = fittedSize(image.size(), deviceSize);
    if (fitted.width() >= image.width() || fitted.height() >= image.height())
        return image;
    // Smooth scaling works on 32-bit pixels, so Qt first converts the whole
    // picture: a 1-bit bitmap just within the image bound would take 32 times
    // the bound. A picture of fewer bits is first thinned in its own format to
    // four times the size it is shown at, which bounds that copy by the view.
    const QSize thinned = (fitted * 4).boundedTo(image.size());
    if (image.depth() < 32 && thinned != image.size())
        return image.scaled(thinned, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void checkImageBound(qint64 width, qint64 height, qint64 claimedWidth, qint64 claimedHeight)
{
    // At least `limit` MB, compared side by side: the product may not fit.
    const int limit = QImageReader::allocationLimit();
    const qint64 pixels = qint64(limit) * (1024 * 1024 / 4);
    if (limit > 0 && width > 0 && height > 0 && width >= (pixels + height - 1) / height)
        throw PictureError(QStringLiteral("Picture is too large (%1 x %2)").arg(claimedWidth).arg(claimedHeight));
}

} // namespace platform::decoders
