// The windows ask for the font "微软雅黑"; here it is drawn with an installed CJK font.
#pragma once

#include <QFont>

// Registers "WenQuanYi Micro Hei", then "Noto Sans CJK SC", as substitutes of "微软雅黑".
void InstallCjkFontSubstitution();
// "微软雅黑" at a pixel size, with the CJK fallbacks as further families.
QFont YaheiFont(int pixelSize, bool bold = false);
