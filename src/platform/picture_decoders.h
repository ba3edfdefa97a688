// One decoder per picture format, behind decodePicture(). Each throws
// PictureError with its own text.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

namespace platform::decoders {

// The JPEG decoder reads the body until `cancelled` says so (if given);
// jpegHeader() reads only as far as the body and throws what jpeg() would
// throw before it; see checkJpegHeader() for `partial`.
QImage jpeg(const QByteArray &bytes, const QSize &deviceSize, const std::function<bool()> &cancelled);
bool jpegHeader(const QByteArray &bytes, const QSize &deviceSize, bool partial);
QImage bitmap(const QByteArray &bytes, const QSize &deviceSize);
QImage icon(const QByteArray &bytes, const QSize &deviceSize);
// The metafile decoders check the file's structure (and an EMF's claimed
// size) themselves, then have the helper draw it; the checks alone throw
// what the decoders would throw before the helper starts.
QImage enhancedMetafile(const QByteArray &bytes, const QSize &deviceSize);
QImage windowsMetafile(const QByteArray &bytes, const QSize &deviceSize);
void checkEnhancedMetafile(const QByteArray &bytes);
void checkWindowsMetafile(const QByteArray &bytes);

} // namespace platform::decoders

namespace platform::decoders {

// `image` smoothly reduced to fit `deviceSize`; unchanged when it already
// fits (the view enlarges small pictures itself).
QImage reduced(const QImage &image, const QSize &deviceSize);

// Throws "Picture is too large (W x H)", naming the size the file claims,
// when a picture of `width` x `height` 4-byte pixels reaches Qt's image
// bound (none when it is 0): a few bytes of header may claim gigabytes.
// Either side may be up to 2^32.
void checkImageBound(qint64 width, qint64 height, qint64 claimedWidth, qint64 claimedHeight);

} // namespace platform::decoders
