// The tool strips' pictures, drawn by the program: 32 x 32 on a transparent
// background.
#pragma once

#include <QPixmap>

namespace glyphs {
QPixmap refresh();  // a green curved arrow
QPixmap search();   // a magnifying glass
QPixmap filter();   // a funnel
}
