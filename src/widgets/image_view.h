// ImageView: shows a picture scaled to the largest size that fits inside the
// view with its proportions kept (small pictures are enlarged too), centred;
// the rest of the view is transparent. Starts visible and empty.
//
// The picture is drawn in device pixels: on a screen scaled by 2 a picture
// of twice the view's size shows all its detail. The scaled copy is kept
// until the picture, the view's size or the screen's scale changes, so a
// repaint costs a plain copy.
#pragma once

#include <QImage>
#include <QWidget>

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget *parent = nullptr);

    void setPicture(const QImage &image);
    void clearPicture();
    bool hasPicture() const { return !m_image.isNull(); }
    const QImage &picture() const { return m_image; }

    // Where the picture is drawn inside the view; empty without a picture.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    QImage m_scaled;  // m_image at pictureRect()'s size in device pixels
};
