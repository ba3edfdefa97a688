// ImageView: shows a picture scaled to the largest size that fits inside the
// view with its proportions kept (small pictures are enlarged too), centred;
// the rest of the view is transparent. Starts visible and empty.
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
};
