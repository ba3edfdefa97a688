#include "colors.h"

#include <QPalette>

QColor resolveColor(TColor color, const QPalette &palette)
{
    if ((color >> 24) != 0xFF)
        return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    switch (color) {
    case clWindow: return palette.color(QPalette::Base);
    case clBtnFace: return palette.color(QPalette::Button);
    case clHighlight:
    case clMenuHighlight: return palette.color(QPalette::Highlight);
    case clHighlightText: return palette.color(QPalette::HighlightedText);
    default: return palette.color(QPalette::Text);
    }
}
