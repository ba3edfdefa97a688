// Windows metafiles are drawn apart from the program, by morvel-metafile
// (see metafile_helper.h): the libraries that turn them into SVG crash, loop
// or run out of memory on some damaged files, and QtSvg can spend seconds on
// the drawings they make of one. None of that is ours to fix; the helper's
// death is the picture's failure, never the program's. What is checked here
// first, a file whose records do not hold what they claim, costs no process.
#include "picture_decoders.h"

#include "metafile_helper.h"
#include "picture_decoding.h"

#include <QtEndian>

#include <cstdlib>

namespace platform::decoders {

namespace {

quint32 word32(const QByteArray &bytes, qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); }
quint16 word16(const QByteArray &bytes, qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); }

// Whether a record that draws through a list of points holds all the points
// it counts. libemf2svg reads as many as the count says, past the record
// into whatever follows, and such a drawing can keep QtSvg busy for seconds.
bool pointsFitRecord(const QByteArray &bytes, qsizetype at, quint32 type, quint32 size)
{
    constexpr qsizetype kCountAt = 24;   // after type, size and bounds
    qsizetype pointSize = 0, extraPerPoint = 0;
    bool polyPoly = false;
    switch (type) {
    case 2: case 3: case 4: case 5: case 6: pointSize = 8; break;               // POLYBEZIER .. POLYLINETO
    case 7: case 8: pointSize = 8; polyPoly = true; break;                     // POLYPOLYLINE, POLYPOLYGON
    case 56: pointSize = 8; extraPerPoint = 1; break;                          // POLYDRAW
    case 85: case 86: case 87: case 88: case 89: pointSize = 4; break;         // the same, 16-bit points
    case 90: case 91: pointSize = 4; polyPoly = true; break;
    case 92: pointSize = 4; extraPerPoint = 1; break;
    default: return true;
    }
    if (size < kCountAt + (polyPoly ? 8u : 4u))
        return false;
    if (!polyPoly) {
        const qsizetype points = word32(bytes, at + kCountAt);
        return points <= (qsizetype(size) - kCountAt - 4) / (pointSize + extraPerPoint);
    }
    // Polygons, their point counts, then all their points.
    const qsizetype polygons = word32(bytes, at + kCountAt), points = word32(bytes, at + kCountAt + 4);
    const qsizetype room = qsizetype(size) - kCountAt - 8;
    if (polygons > room / 4 || points > (room - polygons * 4) / pointSize)
        return false;
    qsizetype counted = 0;
    for (qsizetype i = 0; i < polygons; ++i) {
        counted += word32(bytes, at + kCountAt + 8 + i * 4);
        if (counted > points)
            return false;
    }
    return true;
}

// Whether the header's description and pixel format lie inside the file
// (its first `end` bytes). libemf2svg converts the description from where the
// header says, as many characters as it says, and with a count of 0 up to the
// first zero character, wherever that is.
bool headerPartsFit(const QByteArray &bytes, quint32 headerSize, qsizetype end)
{
    constexpr qsizetype kDescriptionCountAt = 60, kDescriptionAt = 64, kPixelFormatSizeAt = 88, kPixelFormatAt = 92;
    const auto limit = quint64(end);
    if (qsizetype(headerSize) >= kDescriptionAt + 4) {
        const quint64 count = word32(bytes, kDescriptionCountAt), offset = word32(bytes, kDescriptionAt);
        if (offset > limit || count > (limit - offset) / 2)
            return false;
        if (count == 0) {
            qsizetype at = qsizetype(offset);
            while (at + 2 <= end && word16(bytes, at) != 0)
                at += 2;
            if (at + 2 > end)
                return false;
        }
    }
    if (qsizetype(headerSize) >= kPixelFormatAt + 4) {
        const quint64 size = word32(bytes, kPixelFormatSizeAt), offset = word32(bytes, kPixelFormatAt);
        if (size > 0 && (offset > limit || size > limit - offset))
            return false;
    }
    return true;
}

// Whether the file is a chain of whole records, from the header to the
// end-of-file record, before any of it goes to a library. A file that is
// not costs no child process, and the libraries see only whole records.
bool wellFormedEmf(const QByteArray &bytes)
{
    constexpr qsizetype kHeader = 88;
    constexpr quint32 kSignature = 0x464D4520;  // " EMF"
    constexpr quint32 kEndOfFile = 14;
    if (bytes.size() < kHeader || word32(bytes, 0) != 1 || word32(bytes, 40) != kSignature)
        return false;
    const qsizetype end = word32(bytes, 48);
    if (end > bytes.size())
        return false;
    for (qsizetype at = 0; at + 8 <= end;) {
        const quint32 size = word32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || size > quint32(end - at))
            return false;
        const quint32 type = word32(bytes, at);
        if (type == kEndOfFile)
            return true;
        if ((at == 0 && !headerPartsFit(bytes, size, end)) || !pointsFitRecord(bytes, at, type, size))
            return false;
        at += size;
    }
    return false;
}

bool wellFormedWmf(const QByteArray &bytes)
{
    constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
    constexpr qsizetype kPlaceableHeader = 22;
    constexpr qsizetype kHeader = 18;
    qsizetype at = 0;
    if (bytes.size() >= 4 && word32(bytes, 0) == kPlaceableKey)
        at = kPlaceableHeader;
    if (bytes.size() - at < kHeader)
        return false;
    const quint16 type = word16(bytes, at), headerWords = word16(bytes, at + 2), version = word16(bytes, at + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        return false;
    for (at += kHeader; at + 6 <= bytes.size();) {
        const quint32 words = word32(bytes, at);
        if (words < 3 || words > quint32((bytes.size() - at) / 2))
            return false;
        if (word16(bytes, at + 4) == 0)  // end of file
            return true;
        at += qsizetype(words) * 2;
    }
    return false;
}

} // namespace

void checkEnhancedMetafile(const QByteArray &bytes)
{
    if (!wellFormedEmf(bytes))
        throw PictureError(QStringLiteral("Enhanced metafile (EMF) is not valid"));
    // The extent of the header's bounds, in device pixels (the edges may come
    // in either order), held to the bound of the other formats' pixels:
    // drawings claiming millions of pixels across keep the libraries busy for
    // seconds even when shown small.
    const auto extent = [&](qsizetype from, qsizetype to) {
        return std::abs(qint64(qint32(word32(bytes, to))) - qint32(word32(bytes, from))) + 1;
    };
    const qint64 width = extent(8, 16), height = extent(12, 20);
    checkImageBound(width, height, width, height);
}

void checkWindowsMetafile(const QByteArray &bytes)
{
    if (!wellFormedWmf(bytes))
        throw PictureError(QStringLiteral("Windows metafile (WMF) is not valid"));
}

QImage enhancedMetafile(const QByteArray &bytes, const QSize &deviceSize)
{
    checkEnhancedMetafile(bytes);
    return metafile_helper::draw("emf", bytes, deviceSize, QStringLiteral("Enhanced metafile (EMF) is not valid"));
}

QImage windowsMetafile(const QByteArray &bytes, const QSize &deviceSize)
{
    checkWindowsMetafile(bytes);
    return metafile_helper::draw("wmf", bytes, deviceSize, QStringLiteral("Windows metafile (WMF) is not valid"));
}

} // namespace platform::decoders
