// Pictures of the demo stock, drawn here rather than taken from anywhere:
// simple sketches of tools and silhouettes of workers, saved as JPEG.
#pragma once

#include <QImage>

#include <string>

namespace stock::pictures {

enum class Tool { Drill, Cutter, Holder, Insert };

// A sketch of a tool; variant picks colours, proportions and shape.
QImage tool(Tool kind, int variant);

// A worker's photo: a head-and-shoulders silhouette.
QImage worker(int variant);

// The program's fallback pictures.
QImage noPicture();
QImage picturesOff();

// Saves as JPEG, creating the folder; throws jetdb::Error on failure.
void save(const QImage &image, const std::string &path);

} // namespace stock::pictures
