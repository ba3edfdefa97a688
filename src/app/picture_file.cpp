#include "picture_file.h"

#include "file_lookup.h"
#include "image_view.h"
#include "picture_decoding.h"
#include "regular_file.h"

#include <QFile>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// What follows the last dot of the file name; empty without one.
QString extensionOf(const QString &path)
{
    const qsizetype nameStart = platform::fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= nameStart ? path.mid(dot + 1) : QString();
}

// No picture within Qt's image bound (256 MB of 4-byte pixels unless set
// otherwise) needs a larger file: an uncompressed bitmap at the bound is
// that size.
constexpr qint64 kMaxPictureBytes = qint64(256) << 20;
// Enough for the header of nearly every photo, camera notes included.
constexpr qint64 kJpegHeadBytes = 64 << 10;

// Opens the picture's file: a regular file, no larger than any picture needs.
void openPicture(QFile &file, const QString &path)
{
    QString why;
    const QString diskPath = platform::resolvePath(path);
    switch (core::openRegularFile(file, diskPath, &why)) {
    case core::OpenOutcome::Opened:
        break;
    case core::OpenOutcome::NotRegular:
        throw platform::PictureError(u"Cannot open file \"%1\". It is not a regular file"_s.arg(path));
    case core::OpenOutcome::Failed:
        throw platform::PictureError(u"Cannot open file \"%1\". %2"_s.arg(path, why));
    }
    if (file.size() > kMaxPictureBytes)
        throw platform::PictureError(u"Picture file \"%1\" is larger than 256 MB"_s.arg(diskPath));
}

} // namespace

void loadPicture(ImageView *view, const QString &path)
{
    const QString extension = extensionOf(path);
    // An unknown kind is refused before the file is read.
    platform::checkPictureExtension(extension);
    QFile file;
    openPicture(file, path);
    const QSize deviceSize = (QSizeF(view->size()) * view->devicePixelRatioF()).toSize();
    // No more than the size found at the open is read, however the file grows.
    const qint64 size = file.size();
    if (!platform::isJpeg(extension)) {
        view->setPicture(platform::decodePicture(file.read(size), extension, deviceSize));
        return;
    }
    // A photo's header, which decides whether it shows, is read from its
    // first bytes: a file that is no JPEG, or claims a size no view takes,
    // costs no more than those.
    QByteArray bytes = file.read(std::min(size, kJpegHeadBytes));
    const bool decided = platform::checkJpegHeader(bytes, deviceSize, bytes.size() < size);
    const qsizetype head = bytes.size();
    bytes.resize(size);
    bytes.resize(head + std::max<qint64>(file.read(bytes.data() + head, size - head), 0));
    if (!decided)
        platform::checkJpegHeader(bytes, deviceSize);
    // Its body takes tens of milliseconds even at the smallest scale, most
    // of it entropy decoding that no scale avoids, so it is decoded on a
    // worker: a row move then costs the file test, the read and the header.
    // The worker owns the only copy of the bytes.
    view->setPictureLater(QtConcurrent::run(
        [bytes = std::move(bytes), extension, deviceSize](QPromise<QImage> &promise) {
            const auto cancelled = [&promise] { return promise.isCanceled(); };
            if (cancelled())
                return;
            try {
                QImage image = platform::decodePicture(bytes, extension, deviceSize, cancelled);
                if (!cancelled())
                    promise.addResult(std::move(image));
            } catch (const platform::PictureError &) {
                // Only memory running out since the header was read; the
                // view keeps its picture, as it does for a failed load.
            }
        }));
}

QString noPictureText(const QString &name)
{
    return name.isEmpty() ? u"Нет картинки"_s : u"Нет картинки: не найден файл "_s + name;
}

QString picturesOffText()
{
    return u"Просмотр картинок запрещен"_s;
}
