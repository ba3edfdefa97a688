// Loading a picture file into an image view, shared by the detail panels and
// the pictures-off switch.
#pragma once

#include <QString>

class ImageView;

// Reads the file at `path` (Windows spelling allowed: see
// platform::resolvePath) and decodes it by its extension at the size the
// view shows it in device pixels. Throws platform::PictureError; the view
// keeps its picture then. Everything that decides the outcome happens
// before this returns; a JPEG's body alone is decoded afterwards, on a
// worker, and shown when done (ImageView::setPictureLater).
void loadPicture(ImageView *view, const QString &path);

// What a picture view's accessible description says it shows, so that a
// screen reader tells more than the group's caption: the record's stored
// picture name when its file is shown, else one of these.
QString noPictureText(const QString &name);  // the name is empty, or names no file
QString picturesOffText();                   // the pictures-off image
