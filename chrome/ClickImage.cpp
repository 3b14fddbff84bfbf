#include "chrome/ClickImage.h"

#include <QMouseEvent>
#include <QPainter>

TClickImage::TClickImage(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, true);
}

void TClickImage::SetPictures(const QImage& normal, const QImage& hover) {
    FNormal = normal.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    FHover = hover.isNull() ? QImage() : hover.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    updateGeometry();
    update();
}

void TClickImage::SetStretch(bool value) {
    if (value == FStretch)
        return;
    FStretch = value;
    update();
}

const QImage& TClickImage::CurrentPicture() const {
    return FHovered && !FHover.isNull() ? FHover : FNormal;
}

QSize TClickImage::sizeHint() const {
    return FNormal.isNull() ? QLabel::sizeHint() : FNormal.size();
}

void TClickImage::paintEvent(QPaintEvent* event) {
    const QImage& picture = CurrentPicture();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (FStretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, picture.size() != size());
        painter.drawImage(rect(), picture);
    } else {
        // 1:1 from the top-left; the widget's own size clips what does not fit.
        painter.drawImage(QPoint(0, 0), picture);
    }
}

void TClickImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FPressed = true;
    emit OnMouseDown(event);
}

void TClickImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    const bool wasPressed = FPressed;
    FPressed = false;
    if (wasPressed && inside)
        emit OnClick();
}

void TClickImage::enterEvent(QEnterEvent* event) {
    FHovered = true;
    if (!FHover.isNull())
        update();
    QLabel::enterEvent(event);
}

void TClickImage::leaveEvent(QEvent* event) {
    FHovered = false;
    if (!FHover.isNull())
        update();
    QLabel::leaveEvent(event);
}
