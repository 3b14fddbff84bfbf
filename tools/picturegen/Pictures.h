// Every picture of the three windows, by file name, with the code that draws it.
#pragma once

#include <functional>
#include <vector>

#include <QImage>
#include <QString>

// One picture: its file name, its size in logical pixels and the code that draws it at a scale (a picture
// of Width x Height logical pixels whose device pixel ratio is the scale). Every picture is written twice:
// "name.png" at scale 1 and "name@2x.png" at scale 2, for screens of twice the density.
struct TPicture {
    QString FileName; // inside app/pictures/, also its resource name under ":/pictures/"
    int Width;
    int Height;
    std::function<QImage(qreal Scale)> Draw;
};

// The scales every picture is drawn at, and the file name of the drawing at a scale ("name@2x.png").
inline constexpr int KScales[] = {1, 2};
inline QString ScaledFileName(const QString& FileName, int Scale) {
    if (Scale == 1)
        return FileName;
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    return FileName.left(dot) + QStringLiteral("@%1x").arg(Scale) + FileName.mid(dot);
}

// All pictures in the order of the resource list.
std::vector<TPicture> AllPictures();
