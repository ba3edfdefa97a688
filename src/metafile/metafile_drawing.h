// Drawing a Windows metafile into pixels: the code the helper program
// (morvel-metafile) runs, apart from Morvel, and the fuzz targets run in
// their own process. It trusts nothing in the file but is not hardened
// against the libraries it calls, which is why Morvel never runs it itself.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <stdexcept>

namespace metafile {

enum class Format { Enhanced, Windows };

// A metafile that cannot be drawn; what() is the text the user is shown.
class Refused : public std::runtime_error {
public:
    explicit Refused(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// Draws `bytes` at the size that fits `view` (device pixels, proportions
// kept), or at its natural size when `view` is empty, no larger than
// protocol::kLargestNaturalSide on either side. Throws Refused.
QImage draw(Format format, const QByteArray &bytes, const QSize &view);

} // namespace metafile
