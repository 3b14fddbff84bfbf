// The windows' pictures, from the resources under ":/pictures/". Each is drawn twice: "name.png" for
// ordinary screens and "name@2x.png" at twice the density, which a screen with a device pixel ratio above
// 1 gets (at 1.5 the 2x drawing is scaled down, which stays sharper than the 1x one scaled up). A picture
// carries its device pixel ratio, so that it is drawn at its logical size.
#pragma once

#include <QImage>
#include <QString>

#include <functional>

class QWidget;

// The picture "name.png" for a screen of the given device pixel ratio, premultiplied ARGB32.
QImage LoadPicture(const QString& fileName, qreal devicePixelRatio);

// Runs reload now and again whenever the form comes to a screen of another pixel density.
void LoadPicturesForDensity(QWidget* form, const std::function<void()>& reload);
