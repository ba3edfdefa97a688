#include "pictures.h"

#include "jetdb.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QSaveFile>

#include <cmath>
#include <filesystem>

namespace stock::pictures {

namespace {

constexpr int width = 320;
constexpr int height = 240;

QImage canvas(const QColor &background)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

QColor metal(int variant)
{
    static const QColor colours[] = {
        QColor(150, 155, 160),  // high-speed steel
        QColor(90, 92, 98),     // carbide
        QColor(205, 170, 70),   // TiN coated
        QColor(60, 60, 75),     // TiAlN coated
        QColor(175, 120, 70),   // cobalt steel, tempered
    };
    return colours[variant % 5];
}

void shaded(QPainter &p, const QRectF &r, const QColor &c)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, c.lighter(150));
    g.setColorAt(0.45, c);
    g.setColorAt(1, c.darker(160));
    p.setBrush(g);
    p.setPen(QPen(c.darker(220), 1.5));
    p.drawRect(r);
}

void drill(QPainter &p, int v)
{
    const double dia = 28 + (v % 4) * 8;
    const double cy = height / 2.0;
    const QColor c = metal(v);
    const QRectF shank(20, cy - dia / 2, 110, dia);
    shaded(p, shank, v % 3 == 0 ? metal(0) : c);
    // Fluted body with a helix and a conical point.
    const double bodyEnd = 270;
    QPainterPath body;
    body.moveTo(130, cy - dia / 2);
    body.lineTo(bodyEnd, cy - dia / 2);
    body.lineTo(bodyEnd + dia * 0.55, cy);
    body.lineTo(bodyEnd, cy + dia / 2);
    body.lineTo(130, cy + dia / 2);
    body.closeSubpath();
    QLinearGradient g(0, cy - dia / 2, 0, cy + dia / 2);
    g.setColorAt(0, c.lighter(160));
    g.setColorAt(0.5, c);
    g.setColorAt(1, c.darker(170));
    p.setBrush(g);
    p.setPen(QPen(c.darker(220), 1.5));
    p.drawPath(body);
    p.setPen(QPen(c.darker(250), 3));
    const double pitch = 26 + (v % 3) * 6;
    for (double x = 130; x < bodyEnd; x += pitch) {
        QPainterPath flute;
        flute.moveTo(x, cy + dia / 2);
        flute.cubicTo(x + pitch * 0.3, cy + dia / 4, x + pitch * 0.6, cy - dia / 4, std::min(x + pitch, bodyEnd), cy - dia / 2);
        p.drawPath(flute);
    }
}

void cutter(QPainter &p, int v)
{
    const double dia = 40 + (v % 3) * 12;
    const double cy = height / 2.0;
    const QColor c = metal(v + 1);
    shaded(p, QRectF(20, cy - dia / 2 + 4, 130, dia - 8), metal(v));
    const QRectF head(150, cy - dia / 2, 140, dia);
    shaded(p, head, c);
    const int teeth = 2 + v % 4;
    p.setPen(QPen(c.darker(260), 3));
    for (int k = 0; k < teeth * 2; ++k) {
        const double x = 150 + k * 140.0 / (teeth * 2);
        p.drawLine(QPointF(x, cy + dia / 2), QPointF(std::min(x + 35, 290.0), cy - dia / 2));
    }
    // End face with its teeth.
    p.setBrush(c.darker(130));
    p.setPen(QPen(c.darker(220), 1.5));
    p.drawEllipse(QPointF(290, cy), 8, dia / 2);
}

void holder(QPainter &p, int v)
{
    const QColor body = QColor(70 + (v % 3) * 30, 80, 95 + (v % 2) * 40);
    const double cy = height / 2.0 + 10;
    shaded(p, QRectF(20, cy - 22, 220, 44), body);
    QPolygonF head;
    head << QPointF(240, cy - 22) << QPointF(300, cy - 50) << QPointF(300, cy + 22) << QPointF(240, cy + 22);
    p.setBrush(body.lighter(115));
    p.drawPolygon(head);
    QPolygonF insert;
    insert << QPointF(282, cy - 62) << QPointF(308, cy - 48) << QPointF(296, cy - 22) << QPointF(270, cy - 36);
    p.setBrush(metal(2));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawPolygon(insert);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(289, cy - 42), 4, 4);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QPointF(262, cy - 4), 7, 7);
}

void insert(QPainter &p, int v)
{
    const QPointF centre(width / 2.0, height / 2.0);
    const int shape = v % 5;
    QPolygonF poly;
    const double r = 85;
    if (shape == 0) {  // 80° rhombus (C)
        poly << QPointF(0, -r) << QPointF(r * 0.84, 0) << QPointF(0, r) << QPointF(-r * 0.84, 0);
    } else if (shape == 1) {  // triangle (T)
        for (int k = 0; k < 3; ++k)
            poly << QPointF(r * std::sin(k * 2.0944), -r * std::cos(k * 2.0944));
    } else if (shape == 2) {  // square (S)
        poly << QPointF(-r * 0.7, -r * 0.7) << QPointF(r * 0.7, -r * 0.7) << QPointF(r * 0.7, r * 0.7) << QPointF(-r * 0.7, r * 0.7);
    } else if (shape == 3) {  // 55° rhombus (D)
        poly << QPointF(0, -r) << QPointF(r * 0.52, 0) << QPointF(0, r) << QPointF(-r * 0.52, 0);
    }
    const QColor c = metal(v + 1 + v / 5);
    p.translate(centre);
    p.rotate(15 * (v % 3));
    QRadialGradient g(QPointF(-20, -20), 120);
    g.setColorAt(0, c.lighter(170));
    g.setColorAt(1, c.darker(150));
    p.setBrush(g);
    p.setPen(QPen(c.darker(250), 2));
    if (shape == 4)
        p.drawEllipse(QPointF(0, 0), r * 0.75, r * 0.75);  // round (R)
    else
        p.drawPolygon(poly);
    // Chip breaker and the clamping hole.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.darker(180), 2, Qt::DashLine));
    if (shape == 4)
        p.drawEllipse(QPointF(0, 0), r * 0.55, r * 0.55);
    else
        p.drawPolygon(QTransform::fromScale(0.7, 0.7).map(poly));
    p.setBrush(QColor(30, 30, 30));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(0, 0), 14, 14);
}

void caption(QPainter &p, const QString &text)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(0, height - 56, width, 40), Qt::AlignCenter, text);
}

void frame(QPainter &p)
{
    p.setPen(QPen(QColor(150, 150, 150), 4));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(100, 40, 120, 100), 8, 8);
    // A landscape: sun and two hills.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QPointF(185, 70), 12, 12);
    QPolygonF hills;
    hills << QPointF(106, 134) << QPointF(140, 90) << QPointF(165, 118) << QPointF(182, 100) << QPointF(214, 134);
    p.drawPolygon(hills);
}

} // namespace

QImage tool(Tool kind, int variant)
{
    QImage image = canvas(QColor(245, 243, 238));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case Tool::Drill: drill(p, variant); break;
    case Tool::Cutter: cutter(p, variant); break;
    case Tool::Holder: holder(p, variant); break;
    case Tool::Insert: insert(p, variant); break;
    }
    return image;
}

QImage worker(int variant)
{
    static const QColor backgrounds[] = {QColor(190, 210, 235), QColor(220, 215, 190), QColor(200, 230, 205),
                                         QColor(230, 205, 205), QColor(215, 215, 230)};
    QImage image(240, 300, QImage::Format_RGB32);
    image.fill(backgrounds[variant % 5]);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor figure = QColor(55 + (variant % 3) * 15, 60, 70);
    p.setPen(Qt::NoPen);
    p.setBrush(figure);
    // Shoulders, neck and head.
    p.drawRoundedRect(QRectF(30, 205, 180, 140), 70, 60);
    p.drawRect(QRectF(103, 170, 34, 45));
    p.drawEllipse(QPointF(120, 125), 48 + variant % 3 * 3, 58);
    if (variant % 2 == 0) {  // a work cap
        p.setBrush(figure.darker(140));
        p.drawChord(QRectF(68, 62, 104, 80), 0, 180 * 16);
        p.drawRect(QRectF(150, 96, 40, 8));
    }
    // Overall straps.
    p.setBrush(figure.lighter(150));
    p.drawRect(QRectF(78, 225, 14, 80));
    p.drawRect(QRectF(148, 225, 14, 80));
    return image;
}

QImage noPicture()
{
    QImage image = canvas(QColor(238, 238, 238));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    frame(p);
    caption(p, QStringLiteral("Нет изображения"));
    return image;
}

QImage picturesOff()
{
    QImage image = canvas(QColor(232, 232, 236));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    frame(p);
    p.setPen(QPen(QColor(200, 60, 60), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(95, 145), QPointF(225, 35));
    caption(p, QStringLiteral("Показ картинок выключен"));
    return image;
}

QImage photo(Tool kind, int variant, QSize size, unsigned seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint(0, 0), size), tool(kind, variant));
    QRadialGradient light(QPointF(size.width() * 0.3, size.height() * 0.25), size.width() * 0.8);
    light.setColorAt(0, QColor(255, 255, 240, 60));
    light.setColorAt(1, QColor(0, 0, 20, 70));
    p.fillRect(image.rect(), light);
    p.end();
    // Sensor grain: what makes a camera's JPEG large.
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 27) - 16;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + grain, 255), qBound(0, qGreen(c) + grain, 255), qBound(0, qBlue(c) + grain, 255));
        }
    }
    return image;
}

void save(const QImage &image, const std::string &path, int quality)
{
    std::error_code ec;
    const std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        throw jetdb::Error("cannot create folder " + target.parent_path().string() + ": " + ec.message());
    // QSaveFile: a failed save leaves no half-written picture behind.
    QSaveFile file(QString::fromStdString(path));
    const std::string extension = target.extension().string();
    const char *format = extension == ".bmp" ? "BMP" : extension == ".ico" ? "ICO" : "JPG";
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, format, quality) || !file.commit())
        throw jetdb::Error("cannot write picture " + path);
}

} // namespace stock::pictures
