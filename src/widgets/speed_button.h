// SpeedButton: a 41 x 41 flat tool-strip button showing one of the drawn
// 32 x 32 glyphs, no text, hand cursor; it never takes the keyboard focus.
#pragma once

#include <QToolButton>

class SpeedButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(Glyph glyph READ glyph WRITE setGlyph)
public:
    enum Glyph { NoGlyph, Refresh, Search, Filter };
    Q_ENUM(Glyph)

    explicit SpeedButton(QWidget *parent = nullptr);

    Glyph glyph() const { return m_glyph; }
    void setGlyph(Glyph glyph);

private:
    Glyph m_glyph = NoGlyph;
};
