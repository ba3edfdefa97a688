#include "image_view.h"

#include <QPainter>

ImageView::ImageView(QWidget *parent) : QWidget(parent) {}

// A decode still running finishes on its own; its answer has nowhere to go.
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
    m_future = future;
    m_pending = true;
    const quint64 request = m_request;
    // Runs on this view's thread, and not at all once the view is gone.
    future.then(this, [this, request](const QFuture<QImage> &done) {
        if (request != m_request)
            return;
        m_pending = false;
        if (done.resultCount() > 0)
            display(done.result());
    });
}

void ImageView::waitForPicture()
{
    if (!m_pending)
        return;
    QFuture<QImage> future = m_future;
    // Taken over here: the queued answer finds its request replaced.
    m_pending = false;
    dropPending();
    future.waitForFinished();
    if (future.resultCount() > 0)
        display(future.result());
}

void ImageView::dropPending()
{
    if (m_pending)
        m_future.cancel();
    m_future = QFuture<QImage>();
    m_pending = false;
    ++m_request;
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
