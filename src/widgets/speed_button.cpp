#include "speed_button.h"

#include "glyphs.h"

SpeedButton::SpeedButton(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);  // flat until the pointer is over it
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(32, 32));
    setFixedSize(41, 41);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void SpeedButton::setGlyph(Glyph glyph)
{
    m_glyph = glyph;
    switch (glyph) {
    case Refresh: setIcon(glyphs::refresh()); break;
    case Search: setIcon(glyphs::search()); break;
    case Filter: setIcon(glyphs::filter()); break;
    case NoGlyph: setIcon(QIcon()); break;
    }
}
