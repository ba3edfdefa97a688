// The forms name the classic Windows dialog font; where the platform lacks it
// the nearest installed 8-point sans-serif takes its place.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

// "MS Sans Serif" when installed, else the closest available relative.
QString formFontFamily();
// The window's default font: the form family at 8 points, regular.
QFont defaultFormFont();
// Replaces "MS Sans Serif" by formFontFamily() in every font set explicitly
// under root (root included).
void applyFormFontFamily(QWidget *root);
