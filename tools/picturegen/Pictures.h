// Every picture of the three windows, by file name, with the code that draws it.
#pragma once

#include <functional>
#include <vector>

#include <QImage>
#include <QString>

struct TPicture {
    QString FileName; // inside app/pictures/, also its resource name under ":/pictures/"
    int Width;
    int Height;
    std::function<QImage()> Draw;
};

// All pictures in the order of the resource list.
std::vector<TPicture> AllPictures();
