// What every window of the program shares: its fonts, its icon, the application title.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

// "Lorvena口腔诊所病历登记系统 V2006.10"
QString ApplicationTitle();

// The windows' "MS Sans Serif" at a character height in pixels: 11 for windows and plain
// controls, 13 for grid cells, 16 for the main window's memos.
QFont ClinicFont(int pixels);
inline constexpr int kWindowFontPixels = 11;
inline constexpr int kGridFontPixels = 13;
inline constexpr int kMemoFontPixels = 16;

// The printed pages' font at a size in points: Liberation Sans for Latin letters and digits,
// WenQuanYi Micro Hei for Chinese. Noto Sans CJK, the screen's Chinese face, draws many radicals
// with the glyph of their ideograph, and Qt's PDF writer names a glyph by the lowest character
// the font gives it: a PDF in Noto would read 小 as the radical ⼩ to a search or a copy.
QFont PrintFont(double points);

// The one icon of all the program's windows: a tooth, at 16 to 64 pixels.
QIcon ApplicationIcon();
// That tooth, a molar (a rounded crown over two roots, outlined in blue), drawn at any size:
// the desktop's icons are made from it too.
QPixmap ToothPixmap(int size);
