// Colours as the forms and handlers write them: 32 bits, 0x00BBGGRR for a
// fixed RGB colour, or 0xFF in the top byte and a system colour's index in
// the low byte. System colours are looked up in the palette of the running
// style when painted, so a dark or high-contrast desktop is honoured.
#pragma once

#include <QColor>
#include <cstdint>

class QPalette;

using TColor = std::uint32_t;

constexpr TColor clRed = 0x000000FF;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clMoneyGreen = 0x00C0DCC0;

constexpr TColor clWindow = 0xFF000005;         // cell background
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clBtnFace = 0xFF00000F;        // titles, indicator column
constexpr TColor clHighlightText = 0xFF00000E;
constexpr TColor clHighlight = 0xFF00000D;
constexpr TColor clMenuHighlight = 0xFF00001D;

// The colour to paint with: a fixed colour as it is, a system colour from
// `palette` (an unknown index gives the window text colour).
QColor resolveColor(TColor color, const QPalette &palette);
