#include "chrome/ClickImage.h"

#include "chrome/Accessibility.h"
#include "chrome/Keyboard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TClickImage::TClickImage(QWidget* parent) : QLabel(parent) {
    InstallChromeAccessibility();
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, true);
}

void TClickImage::SetPressable(const QString& name) {
    FPressable = true;
    // Tab only: a mouse click leaves the focus where it was, so the look does not change under the mouse.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(name);
}

void TClickImage::Press() {
    emit OnClick();
}

void TClickImage::keyPressEvent(QKeyEvent* event) {
    if (FPressable && IsPressKey(event)) {
        event->accept();
        Press();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TClickImage::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    // The mark shows where the keyboard has taken the focus, not where a window put it when it opened.
    FFocusByKey = IsKeyboardFocus(event->reason());
    update();
}

void TClickImage::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
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
    return FNormal.isNull() ? QLabel::sizeHint() : FNormal.deviceIndependentSize().toSize();
}

void TClickImage::paintEvent(QPaintEvent* event) {
    const QImage& picture = CurrentPicture();
    if (picture.isNull()) {
        QLabel::paintEvent(event); // a text link
    } else {
        QPainter painter(this);
        if (FStretch) {
            // A picture of the control's logical size (at any density) is drawn pixel for pixel.
            painter.setRenderHint(QPainter::SmoothPixmapTransform,
                                  picture.deviceIndependentSize().toSize() != size());
            painter.drawImage(rect(), picture);
        } else {
            // 1:1 from the top-left; the widget's own size clips what does not fit.
            painter.drawImage(QPoint(0, 0), picture);
        }
    }
    if (FPressable && hasFocus() && FFocusByKey) {
        QPainter painter(this);
        DrawFocusMark(painter, rect(), FFocusMarkColor);
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
