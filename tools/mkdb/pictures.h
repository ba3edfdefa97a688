// Pictures of the demo stock, drawn here rather than taken from anywhere:
// simple sketches of tools and silhouettes of workers, saved as JPEG, BMP or
// ICO by the file's extension.
#pragma once

#include <QImage>

#include <string>

namespace stock::pictures {

enum class Tool { Drill, Cutter, Holder, Insert };

// A sketch of a tool; variant picks colours, proportions and shape.
QImage tool(Tool kind, int variant);

// A worker's photo: a head-and-shoulders silhouette.
QImage worker(int variant);

// A large photo-like picture of a tool: the sketch enlarged to `size` with
// lighting and grain, so it compresses like a camera's JPEG. `seed` varies
// the grain.
QImage photo(Tool kind, int variant, QSize size, unsigned seed);

// The program's fallback pictures.
QImage noPicture();
QImage picturesOff();

// Saves by the path's extension (".jpg", ".bmp", ".ico"), creating the
// folder; throws jetdb::Error on failure. JPEG quality defaults to 88.
void save(const QImage &image, const std::string &path, int quality = 88);

} // namespace stock::pictures
