// The navigator's glyphs, drawn here rather than loaded: for each button one 28 x 13 image that
// holds two 14 x 13 looks side by side, the enabled one on the left, the disabled (grey,
// embossed) one on the right. The background is transparent.
#pragma once

#include <QImage>

#include "views/db_navigator_button.h"

inline constexpr int kGlyphWidth = 14;
inline constexpr int kGlyphHeight = 13;

QImage NavigatorGlyphs(TNavigateBtn button);
