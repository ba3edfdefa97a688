#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

constexpr int kSize = 32;

QPixmap draw(const std::function<void(QPainter &)> &paint)
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return pm;
}

} // namespace

namespace glyphs {

QPixmap refresh()
{
    return draw([](QPainter &p) {
        // Three quarters of a circle, open at the top right, with the arrow
        // head at its upper end pointing clockwise.
        const QRectF ring(5, 5, 22, 22);
        QPen pen(QColor(0, 128, 0), 5, Qt::SolidLine, Qt::FlatCap);
        p.setPen(pen);
        p.drawArc(ring, 60 * 16, 270 * 16);
        p.setPen(QPen(QColor(0, 80, 0), 1));
        p.setBrush(QColor(0, 160, 0));
        QPainterPath head;
        head.moveTo(15, 1);
        head.lineTo(25, 7);
        head.lineTo(15, 13);
        head.closeSubpath();
        p.drawPath(head);
    });
}

QPixmap search()
{
    return draw([](QPainter &p) {
        p.setPen(QPen(QColor(60, 60, 60), 3));
        p.setBrush(QColor(200, 230, 255, 200));
        p.drawEllipse(QRectF(4, 4, 17, 17));
        QPen handle(QColor(120, 70, 20), 5, Qt::SolidLine, Qt::RoundCap);
        p.setPen(handle);
        p.drawLine(QPointF(20, 20), QPointF(28, 28));
    });
}

QPixmap filter()
{
    return draw([](QPainter &p) {
        QPainterPath funnel;
        funnel.moveTo(3, 5);
        funnel.lineTo(29, 5);
        funnel.lineTo(19, 17);
        funnel.lineTo(19, 28);
        funnel.lineTo(13, 25);
        funnel.lineTo(13, 17);
        funnel.closeSubpath();
        p.setPen(QPen(QColor(40, 40, 90), 1.5));
        p.setBrush(QColor(70, 110, 200));
        p.drawPath(funnel);
    });
}

} // namespace glyphs
