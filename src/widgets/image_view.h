// ImageView: shows a picture scaled to the largest size that fits inside the
// view with its proportions kept (small pictures are enlarged too), centred;
// the rest of the view is transparent. Starts visible and empty. Screen
// readers meet it as a picture; what it shows is its accessible description,
// which the program keeps.
//
// The picture is drawn in device pixels: on a screen scaled by 2 a picture
// of twice the view's size shows all its detail. The scaled copy is kept
// until the picture, the view's size or the screen's scale changes, so a
// repaint costs a plain copy.
//
// A picture may also be asked for before it is decoded (setPictureLater):
// the view keeps showing what it shows until it arrives, and only the
// latest request counts.
#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget *parent = nullptr);
    ~ImageView() override;

    // Both drop a picture still asked for.
    void setPicture(const QImage &image);
    void clearPicture();

    // Shows the picture `future` gives once it is ready (the future runs on
    // another thread; the picture is taken on this one), unless another
    // picture is set or asked for first: the request it replaces is
    // cancelled and whatever it gives is dropped. A future that ends
    // without a picture changes nothing.
    void setPictureLater(QFuture<QImage> future);
    // Whether a picture asked for has yet to arrive.
    bool picturePending() const { return m_pending; }
    // Waits for the picture asked for, if any, and shows it.
    void waitForPicture();

    bool hasPicture() const { return !m_image.isNull(); }
    const QImage &picture() const { return m_image; }

    // Where the picture is drawn inside the view; empty without a picture.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void takePicture();
    void dropPending();
    void display(const QImage &image);

    QImage m_image;
    QFutureWatcher<QImage> m_watcher;  // the picture asked for last
    bool m_pending = false;            // ... and not yet shown nor dropped
    QImage m_scaled;  // m_image at pictureRect()'s size in device pixels
};
