#include "picture_file.h"

#include "file_lookup.h"
#include "image_view.h"
#include "picture_decoding.h"

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

} // namespace

void loadPicture(ImageView *view, const QString &path)
{
    const QString extension = extensionOf(path);
    // An unknown kind is refused before the file is read.
    platform::checkPictureExtension(extension);
    QFile file(platform::resolvePath(path));
    if (!file.open(QIODevice::ReadOnly))
        throw platform::PictureError(u"Cannot open file \"%1\". %2"_s.arg(path, file.errorString()));
    const QSize deviceSize = (QSizeF(view->size()) * view->devicePixelRatioF()).toSize();
    QByteArray bytes = file.readAll();
    if (!platform::isJpeg(extension)) {
        view->setPicture(platform::decodePicture(bytes, extension, deviceSize));
        return;
    }
    // A photo's body takes tens of milliseconds even at the smallest scale,
    // most of it entropy decoding that no scale avoids, so it is decoded on
    // a worker: a row move then costs the file test, the read and the
    // header. The worker owns the only copy of the bytes.
    platform::checkJpegHeader(bytes, deviceSize);
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
