// Windows metafiles (EMF and WMF) written through libuemf, for the demo
// stock and the tests: the program must show drawings made by a real
// metafile writer, not byte tables typed in by hand.
#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>

#include <string>
#include <vector>

namespace stock::metafiles {

struct Shape {
    // Bitmap: a 24-bit bitmap of one colour stretched over the box (EMF only).
    enum Kind { Rectangle, Ellipse, Polygon, Bitmap };
    Kind kind;
    QColor fill;
    std::vector<QPoint> points;  // Rectangle, Ellipse, Bitmap: top-left and bottom-right
};

// A drawing in logical units, (0, 0) at the top left.
struct Drawing {
    QSize size;
    std::vector<Shape> shapes;
};

// A sketch of a tool on a light background; variant picks colours and shape.
Drawing toolSketch(int variant);

// Write `drawing` as an enhanced metafile / a placeable Windows metafile,
// creating the folder; throw jetdb::Error on failure.
void writeEmf(const Drawing &drawing, const std::string &path);
void writeWmf(const Drawing &drawing, const std::string &path);

} // namespace stock::metafiles
