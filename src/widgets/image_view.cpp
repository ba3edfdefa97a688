#include "image_view.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// A screen reader announces the view as a picture (not as an anonymous
// pane), by its group's caption and with its description.
QAccessibleInterface *accessibleImageView(const QString &className, QObject *object)
{
    if (className == QLatin1String("ImageView") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

// The watcher takes the worker's answer on this view's thread, and goes with
// the view: an answer that comes later has nowhere to go.
ImageView::ImageView(QWidget *parent) : QWidget(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessibleImageView), true);
    Q_UNUSED(accessible)
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &ImageView::takePicture);
}

ImageView::~ImageView()
{
    dropPending();
}

void ImageView::setPicture(const QImage &image)
{
    dropPending();
    display(image);
}

void ImageView::setPictureLater(QFuture<QImage> future)
{
    dropPending();
    // From here on the replaced future's signals no longer come.
    m_watcher.setFuture(future);
    m_pending = true;
}

void ImageView::waitForPicture()
{
    if (!m_pending)
        return;
    m_watcher.waitForFinished();
    takePicture();
}

// Also called for a future already taken or dropped, whose finished signal
// was on its way: only a pending, finished request shows.
void ImageView::takePicture()
{
    const QFuture<QImage> future = m_watcher.future();
    if (!m_pending || !future.isFinished())
        return;
    m_pending = false;
    if (!future.isCanceled() && future.resultCount() > 0)
        display(future.result());
}

void ImageView::dropPending()
{
    if (m_pending)
        m_watcher.cancel();
    m_pending = false;
}

void ImageView::display(const QImage &image)
{
    m_image = image;
    m_scaled = QImage();
    update();
}

void ImageView::clearPicture()
{
    setPicture(QImage());
}

QRect ImageView::pictureRect() const
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return {};
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void ImageView::paintEvent(QPaintEvent *)
{
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize = (QSizeF(target.size()) * ratio).toSize();
    if (m_scaled.isNull() || m_scaled.size() != deviceSize || m_scaled.devicePixelRatio() != ratio) {
        m_scaled = m_image.size() == deviceSize
            ? m_image
            : m_image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(ratio);
    }
    QPainter p(this);
    // Only a rounding difference is left to scale.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(target), m_scaled);
}
