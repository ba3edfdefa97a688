#include "picture_file.h"

#include "file_lookup.h"
#include "image_view.h"
#include "picture_decoding.h"

#include <QFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// What follows the last dot of the file name; empty without one.
QString extensionOf(const QString &path)
{
    const qsizetype nameStart = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1;
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
    view->setPicture(platform::decodePicture(file.readAll(), extension, deviceSize));
}
