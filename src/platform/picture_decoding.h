// Turns the bytes of a picture file into an image for a view. Reading and
// finding the file are the caller's business; this only decodes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <stdexcept>

namespace platform {

// A picture that cannot be decoded; what() is the text the user is shown.
class PictureError : public std::runtime_error {
public:
    explicit PictureError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// Decodes `bytes` by `extension` (without the dot, any letter case): "jpg",
// "jpeg", "bmp", "ico", "emf" or "wmf". The result fits `deviceSize` (device
// pixels, proportions kept) where the format lets it be made smaller or
// drawn sharp at that size; an empty `deviceSize` asks for the natural size.
// Throws PictureError: "Unknown picture file extension (.%s)" for any other
// extension, "JPEG error #%d" with libjpeg's message number when a JPEG's
// header cannot be read, and a plain description for the other formats.
// A JPEG whose body is cut short or damaged gives what could be decoded,
// the rest grey. Safe on any thread. Once `cancelled` (if given) answers
// true the result is unfinished and meant to be dropped.
QImage decodePicture(const QByteArray &bytes, const QString &extension, const QSize &deviceSize,
                     const std::function<bool()> &cancelled = {});

// Whether decodePicture() takes `extension` for a JPEG.
bool isJpeg(const QString &extension);

// Reads a JPEG up to its body and throws the PictureError decodePicture()
// would throw for it, also for a picture too large to be held; decoding the
// same bytes at the same size then fails only if memory runs out meanwhile.
// The header is what decides whether a picture shows; the body is the cost.
// When `bytes` are only the file's first (`partial`), returns false where
// the rest of the file could change the outcome; true when it cannot.
bool checkJpegHeader(const QByteArray &bytes, const QSize &deviceSize, bool partial = false);

// Throws the unknown-extension PictureError unless decodePicture() takes
// `extension`.
void checkPictureExtension(const QString &extension);

// The size at which a picture of `natural` size fills `view`, proportions
// kept; `natural` itself when either is empty.
QSize fittedSize(const QSize &natural, const QSize &view);

} // namespace platform
