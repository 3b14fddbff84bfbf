// The windows ask for the font "微软雅黑". Here it is drawn with the font the program brings, a subset of
// Noto Sans CJK SC cut at build time to the characters of the program's own texts (so that they read on a
// machine without any CJK font), then with an installed CJK font for any other text, such as a folder name.
#pragma once

#include <QFont>
#include <QString>

// The family name of the font the program brings.
QString EmbeddedCjkFamily();

// Registers the font the program brings (once per process), then makes "微软雅黑" stand for it, then for
// "Noto Sans CJK SC", then for "WenQuanYi Micro Hei". Needs the application object.
void InstallCjkFontSubstitution();
// "微软雅黑" at a pixel size, with the same fonts as further families.
QFont YaheiFont(int pixelSize, bool bold = false);
