#include "image_view.h"

#include <QPainter>

ImageView::ImageView(QWidget *parent) : QWidget(parent) {}

void ImageView::setPicture(const QImage &image)
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
