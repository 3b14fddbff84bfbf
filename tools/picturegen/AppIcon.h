// The program's icon: the desktop entry's icon in the hicolor theme and the windows' icon.
#pragma once

#include <QImage>
#include <QString>

// The icon drawn at Size x Size pixels (16 to 512); small sizes are drawn with fewer, bolder details.
QImage DrawAppIcon(int Size);

// Draws the icon at Size and writes it as PNG to File; the exit status of picturegen --icon.
int WriteAppIcon(int Size, const QString& File);
