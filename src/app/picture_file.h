// Loading a picture file into an image view, shared by the detail panels and
// the pictures-off switch.
#pragma once

#include <QString>

class ImageView;

// Reads the file at `path` (Windows spelling allowed: see
// platform::resolvePath) and decodes it by its extension at the size the
// view shows it in device pixels. Throws platform::PictureError; the view
// keeps its picture then.
void loadPicture(ImageView *view, const QString &path);
