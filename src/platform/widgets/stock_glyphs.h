// The small button pictures that the Windows toolkit ships with its buttons
// (open folder, the OK check mark, the cancel cross), drawn here since Qt's
// styles have no fixed equivalents.
#pragma once

#include <QIcon>

namespace platform {

enum class StockGlyph {
    OpenFolder,  // 16 x 16, yellow folder with its lid open
    Check,       // 18 x 18, green check mark; grey when the button is disabled
    Cancel,      // 18 x 18, red cross; grey when the button is disabled
};

QIcon stockGlyph(StockGlyph glyph);

} // namespace platform
