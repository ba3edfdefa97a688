#include "metafiles.h"

#include "jetdb.h"

#include <cstdlib>
#include <filesystem>

extern "C" {
#include <uemf.h>
#include <uwmf.h>
}

namespace stock::metafiles {

namespace {

void makeFolder(const std::string &path)
{
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        throw jetdb::Error("cannot create folder " + target.parent_path().string() + ": " + ec.message());
}

void check(bool ok, const std::string &path)
{
    if (!ok)
        throw jetdb::Error("cannot write metafile " + path);
}

U_COLORREF colour(const QColor &c) { return colorref3_set(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

U_POINT16 point16(const QPoint &p) { return point16_set(int16_t(p.x()), int16_t(p.y())); }

std::vector<U_POINT16> points16(const Shape &shape)
{
    std::vector<U_POINT16> out;
    for (const QPoint &p : shape.points)
        out.push_back(point16(p));
    return out;
}

// A bitmap of `shape`'s colour as large as its box, stretched over it.
char *bitmapRecord(const Shape &shape, const U_RECTL &bounds)
{
    const QPoint size = shape.points[1] - shape.points[0];
    const int width = size.x(), height = size.y();
    const int stride = (width * 3 + 3) / 4 * 4;  // DIB rows are padded to 4 bytes
    std::vector<char> pixels(std::size_t(stride) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char *p = pixels.data() + std::size_t(y) * std::size_t(stride) + std::size_t(x) * 3;
            p[0] = char(shape.fill.blue());
            p[1] = char(shape.fill.green());
            p[2] = char(shape.fill.red());
        }
    }
    const U_BITMAPINFOHEADER header = bitmapinfoheader_set(width, height, 1, U_BCBM_COLOR24, U_BI_RGB,
                                                           uint32_t(pixels.size()), 0, 0, 0, 0);
    PU_BITMAPINFO info = bitmapinfo_set(header, nullptr);
    const U_POINTL extent = point32_set(width, height);
    char *record = U_EMRSTRETCHDIBITS_set(bounds, point32_set(shape.points[0].x(), shape.points[0].y()), extent,
                                          point32_set(0, 0), extent, U_DIB_RGB_COLORS, U_SRCCOPY, info,
                                          uint32_t(pixels.size()), pixels.data());
    std::free(info);
    return record;
}

} // namespace

Drawing toolSketch(int variant)
{
    static const QColor metals[] = {QColor(150, 155, 160), QColor(205, 170, 70), QColor(60, 60, 75), QColor(175, 120, 70)};
    const QColor metal = metals[variant % 4];
    Drawing d{QSize(320, 240), {}};
    d.shapes.push_back({Shape::Rectangle, QColor(245, 243, 238), {QPoint(0, 0), QPoint(320, 240)}});
    if (variant % 2 == 0) {
        // An end mill: shank, fluted head, end face.
        d.shapes.push_back({Shape::Rectangle, metal.darker(120), {QPoint(20, 100), QPoint(150, 140)}});
        d.shapes.push_back({Shape::Rectangle, metal, {QPoint(150, 92), QPoint(285, 148)}});
        for (int x = 160; x < 270; x += 28)
            d.shapes.push_back({Shape::Polygon, metal.darker(170), {QPoint(x, 148), QPoint(x + 10, 148), QPoint(x + 34, 92), QPoint(x + 24, 92)}});
        d.shapes.push_back({Shape::Ellipse, metal.lighter(130), {QPoint(276, 92), QPoint(294, 148)}});
    } else {
        // An insert: a rhombus with its clamping hole.
        d.shapes.push_back({Shape::Polygon, metal, {QPoint(160, 30), QPoint(250, 120), QPoint(160, 210), QPoint(70, 120)}});
        d.shapes.push_back({Shape::Polygon, metal.lighter(125), {QPoint(160, 62), QPoint(218, 120), QPoint(160, 178), QPoint(102, 120)}});
        d.shapes.push_back({Shape::Ellipse, QColor(30, 30, 30), {QPoint(146, 106), QPoint(174, 134)}});
    }
    return d;
}

void writeEmf(const Drawing &drawing, const std::string &path)
{
    makeFolder(path);
    EMFTRACK *et = nullptr;
    EMFHANDLES *eht = nullptr;
    check(emf_start(path.c_str(), 65536, 16384, &et) == 0, path);
    check(emf_htable_create(16, 16, &eht) == 0, path);
    // One logical unit is one pixel at 4 pixels per millimetre.
    U_RECTL bounds, frame;
    U_SIZEL device, millimetres;
    drawing_size(drawing.size.width() / 4, drawing.size.height() / 4, 4.0F, &bounds, &frame);
    device_size(216, 279, 4.0F, &device, &millimetres);
    const auto append = [&](char *record) { check(record && emf_append(reinterpret_cast<U_ENHMETARECORD *>(record), et, U_REC_FREE) == 0, path); };
    append(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, device, millimetres, 0));
    append(U_EMRSETPOLYFILLMODE_set(U_WINDING));
    for (const Shape &shape : drawing.shapes) {
        if (shape.kind == Shape::Bitmap) {
            append(bitmapRecord(shape, bounds));
            continue;
        }
        uint32_t brush = 0, pen = 0;
        append(createbrushindirect_set(&brush, eht, logbrush_set(U_BS_SOLID, colour(shape.fill), 0)));
        append(selectobject_set(brush, eht));
        append(createpen_set(&pen, eht, logpen_set(U_PS_SOLID, point32_set(1, 1), colour(shape.fill.darker(150)))));
        append(selectobject_set(pen, eht));
        if (shape.kind == Shape::Polygon) {
            std::vector<U_POINTL> points;
            for (const QPoint &p : shape.points)
                points.push_back(point32_set(p.x(), p.y()));
            append(U_EMRPOLYGON_set(bounds, uint32_t(points.size()), points.data()));
        } else {
            const U_RECTL box = rectl_set(point32_set(shape.points[0].x(), shape.points[0].y()),
                                          point32_set(shape.points[1].x(), shape.points[1].y()));
            append(shape.kind == Shape::Ellipse ? U_EMRELLIPSE_set(box) : U_EMRRECTANGLE_set(box));
        }
        append(deleteobject_set(&pen, eht));
        append(deleteobject_set(&brush, eht));
    }
    append(U_EMREOF_set(0, nullptr, et));
    check(emf_finish(et, eht) == 0, path);
    emf_free(&et);
    emf_htable_free(&eht);
}

void writeWmf(const Drawing &drawing, const std::string &path)
{
    makeFolder(path);
    WMFTRACK *wt = nullptr;
    WMFHANDLES *wht = nullptr;
    check(wmf_start(path.c_str(), 65536, 16384, &wt) == 0, path);
    check(wmf_htable_create(16, 16, &wht) == 0, path);
    const auto append = [&](char *record) { check(record && wmf_append(reinterpret_cast<U_METARECORD *>(record), wt, 1) == 0, path); };
    // Placeable header: the drawing is size units across at 96 units an inch.
    constexpr unsigned dpi = 96;
    U_PAIRF *inches = U_PAIRF_set(float(drawing.size.width()) / dpi, float(drawing.size.height()) / dpi);
    char *header = U_WMRHEADER_set(inches, dpi);
    std::free(inches);
    check(header && wmf_header_append(reinterpret_cast<U_METARECORD *>(header), wt, 1) == 0, path);
    append(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
    append(U_WMRSETWINDOWEXT_set(point16(QPoint(drawing.size.width(), drawing.size.height()))));
    append(U_WMRSETPOLYFILLMODE_set(U_WINDING));
    for (const Shape &shape : drawing.shapes) {
        if (shape.kind == Shape::Bitmap)
            throw jetdb::Error("bitmaps are written to enhanced metafiles only: " + path);
        uint32_t brush = 0, pen = 0;
        append(wcreatebrushindirect_set(&brush, wht, U_WLOGBRUSH_set(U_BS_SOLID, colour(shape.fill), 0)));
        append(wselectobject_set(brush, wht));
        append(wcreatepenindirect_set(&pen, wht, U_PEN_set(U_PS_SOLID, 1, colour(shape.fill.darker(150)))));
        append(wselectobject_set(pen, wht));
        if (shape.kind == Shape::Polygon) {
            const std::vector<U_POINT16> points = points16(shape);
            append(U_WMRPOLYGON_set(uint16_t(points.size()), points.data()));
        } else {
            const U_RECT16 box = U_RECT16_set(point16(shape.points[0]), point16(shape.points[1]));
            append(shape.kind == Shape::Ellipse ? U_WMRELLIPSE_set(box) : U_WMRRECTANGLE_set(box));
        }
        append(wdeleteobject_set(&pen, wht));
        append(wdeleteobject_set(&brush, wht));
    }
    append(U_WMREOF_set());
    check(wmf_finish(wt) == 0, path);
    wmf_free(&wt);
    wmf_htable_free(&wht);
}

} // namespace stock::metafiles
