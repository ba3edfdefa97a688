#include "stock_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace platform {

namespace {

QPixmap openFolder()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QColor outline(0x80, 0x80, 0x00);
    // Back of the folder with its tab.
    p.setPen(outline);
    p.setBrush(QColor(0xFF, 0xFF, 0x80));
    p.drawPolygon(QPolygon({{1, 3}, {5, 3}, {6, 4}, {12, 4}, {12, 13}, {1, 13}}));
    // The open lid, slanted forward.
    p.setBrush(QColor(0xFF, 0xD8, 0x00));
    p.drawPolygon(QPolygon({{3, 7}, {15, 7}, {12, 13}, {1, 13}}));
    return pm;
}

QPixmap check(const QColor &colour)
{
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{3.0, 9.5}, {7.0, 13.5}, {15.0, 4.5}}));
    return pm;
}

QPixmap cross(const QColor &colour)
{
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(13.5, 13.5));
    p.drawLine(QPointF(13.5, 4.5), QPointF(4.5, 13.5));
    return pm;
}

const QColor kDisabledGrey(0x80, 0x80, 0x80);

} // namespace

QIcon stockGlyph(StockGlyph glyph)
{
    QIcon icon;
    switch (glyph) {
    case StockGlyph::OpenFolder:
        icon.addPixmap(openFolder());
        break;
    case StockGlyph::Check:
        icon.addPixmap(check(QColor(0x00, 0x80, 0x00)), QIcon::Normal);
        icon.addPixmap(check(kDisabledGrey), QIcon::Disabled);
        break;
    case StockGlyph::Cancel:
        icon.addPixmap(cross(QColor(0xC0, 0x00, 0x00)), QIcon::Normal);
        icon.addPixmap(cross(kDisabledGrey), QIcon::Disabled);
        break;
    }
    return icon;
}

} // namespace platform
