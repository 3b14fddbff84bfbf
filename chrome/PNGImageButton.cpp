#include "chrome/PNGImageButton.h"

#include "chrome/Accessibility.h"
#include "chrome/Keyboard.h"

#include <QContextMenuEvent>
#include <QDebug>
#include <QEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <exception>

namespace {

QImage ToPremultiplied(const QImage& picture) {
    if (picture.isNull())
        return {};
    if (picture.format() == QImage::Format_ARGB32_Premultiplied)
        return picture;
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool Empty(const QImage& picture) {
    return picture.isNull() || picture.width() <= 0 || picture.height() <= 0;
}

// A picture's size in the button's (logical) pixels: a picture drawn at twice the density counts half.
QSize Logical(const QImage& picture) {
    return picture.deviceIndependentSize().toSize();
}

} // namespace

TPNGImageButton::TPNGImageButton(QWidget* parent) : QWidget(parent) {
    InstallChromeAccessibility();
    // Reached with Tab and pressed with Enter or Space; a mouse click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    // Not opaque: whatever lies beneath the button shows through the picture's alpha.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
    resize(50, 50);
}

TPNGImageButton::~TPNGImageButton() {
    try {
        FCurrentPicture = TPicture::None;
        FPngOver = FPngDown = FPngUp = FPngDisabled = FPngImg = QImage();
        FIcon = FPopupArrow = QImage();
    } catch (const std::exception& error) {
        qDebug().noquote() << QStringLiteral("[TPNGImageButton.Destroy]") + QString::fromUtf8(error.what());
    }
}

void TPNGImageButton::SetAutoSize(bool value) {
    FAutoSize = value;
}

QImage& TPNGImageButton::PictureRef(TPicture which) {
    switch (which) {
    case TPicture::Over:
        return FPngOver;
    case TPicture::Down:
        return FPngDown;
    case TPicture::Up:
        return FPngUp;
    case TPicture::Disabled:
        return FPngDisabled;
    case TPicture::Img:
    case TPicture::None:
        break;
    }
    return FPngImg;
}

const QImage& TPNGImageButton::Picture(TPicture which) const {
    return const_cast<TPNGImageButton*>(this)->PictureRef(which);
}

void TPNGImageButton::SetPicture(TPicture which, const QImage& picture) {
    if (which == TPicture::None)
        return;
    if (which == TPicture::Img)
        FPngImgPaletteBased = picture.format() == QImage::Format_Indexed8 && picture.colorCount() > 0;
    PictureRef(which) = ToPremultiplied(picture);
    PictureChanged(which);
}

void TPNGImageButton::SetPngOver(const QImage& picture) {
    SetPicture(TPicture::Over, picture);
}
void TPNGImageButton::SetPngDown(const QImage& picture) {
    SetPicture(TPicture::Down, picture);
}
void TPNGImageButton::SetPngUp(const QImage& picture) {
    SetPicture(TPicture::Up, picture);
}
void TPNGImageButton::SetPngDisabled(const QImage& picture) {
    SetPicture(TPicture::Disabled, picture);
}
void TPNGImageButton::SetPngImg(const QImage& picture) {
    SetPicture(TPicture::Img, picture);
}

bool TPNGImageButton::LoadPicture(TPicture which, const QByteArray& pngBytes) {
    QImage picture;
    if (!picture.loadFromData(pngBytes, "PNG"))
        return false;
    SetPicture(which, picture);
    return true;
}

void TPNGImageButton::SetIcon(const QImage& picture) {
    FIcon = ToPremultiplied(picture);
    update();
}

void TPNGImageButton::SetPopupArrow(const QImage& picture) {
    FPopupArrow = ToPremultiplied(picture);
    update();
}

namespace {
template <class T>
void Store(T& field, T value, QWidget* widget) {
    if (field == value)
        return;
    field = value;
    widget->update();
}
} // namespace

void TPNGImageButton::SetIconOffsetX(int value) {
    Store(FIconOffsetX, value, this);
}
void TPNGImageButton::SetIconOffsetY(int value) {
    Store(FIconOffsetY, value, this);
}
void TPNGImageButton::SetPopupArrowOffsetX(int value) {
    Store(FPopupArrowOffsetX, value, this);
}
void TPNGImageButton::SetPopupArrowOffsetY(int value) {
    Store(FPopupArrowOffsetY, value, this);
}
void TPNGImageButton::SetFixedHeight(int value) {
    Store(FFixedHeight, std::max(value, 0), this);
}
void TPNGImageButton::SetFixedWidth(int value) {
    Store(FFixedWidth, std::max(value, 0), this);
}
void TPNGImageButton::SetStretch(bool value) {
    Store(FStretch, value, this);
}
void TPNGImageButton::SetTile(bool value) {
    Store(FTile, value, this);
}
void TPNGImageButton::SetFocusControl(QWidget* control) {
    FFocusControl = control;
}
void TPNGImageButton::SetShowHint(bool value) {
    FShowHint = value;
}

void TPNGImageButton::SetPopupMenu(QMenu* menu) {
    FPopupMenu = menu;
    update();
}

void TPNGImageButton::SetCurrentPicture(TPicture which) {
    if (which == FCurrentPicture)
        return;
    FCurrentPicture = which;
    update();
}

void TPNGImageButton::ShowNormalPicture() {
    if (!Empty(FPngImg) && FCurrentPicture != TPicture::Img)
        SetCurrentPicture(TPicture::Img);
}

void TPNGImageButton::PictureChanged(TPicture which) {
    const QImage& picture = Picture(which);
    if (Empty(picture)) {
        // An empty picture neither sizes the button nor stays shown.
        if (which == FCurrentPicture)
            FCurrentPicture = TPicture::None;
    } else if (FAutoSize) {
        const QSize size = Logical(picture);
        int w = width();
        int h = height();
        if (size.width() > w || which == TPicture::Img)
            w = size.width();
        if (size.height() > h || which == TPicture::Img)
            h = size.height();
        resize(w, h);
    }
    update();
    emit OnPictureChange();
}

void TPNGImageButton::MakeDisabledPicture() {
    if (Empty(FPngImg)) {
        FPngDisabled = QImage();
        return;
    }
    if (FPngImgPaletteBased) {
        FPngDisabled = FPngImg;
        return;
    }
    // Colour values are divided in straight (not premultiplied) form, as the PNG holds them.
    QImage straight = FPngImg.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y) {
        uchar* p = straight.scanLine(y);
        for (int x = 0; x < straight.width(); ++x, p += 4) {
            p[0] = static_cast<uchar>(p[0] / 3);
            p[1] = static_cast<uchar>(p[1] / 3);
            p[2] = static_cast<uchar>(p[2] / 3);
        }
    }
    FPngDisabled = straight.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void TPNGImageButton::EnabledChanged() {
    if (isEnabled()) {
        if (!Empty(FPngImg))
            FCurrentPicture = TPicture::Img;
    } else {
        if (Empty(FPngDisabled))
            MakeDisabledPicture();
        FCurrentPicture = TPicture::Disabled;
    }
    repaint();
}

QRect TPNGImageButton::TargetRect(QSize client, QSize picture) {
    const int left = std::max(client.width() + 1 - picture.width(), 0) / 2;
    const int top = std::max(client.height() + 1 - picture.height(), 0) / 2;
    const int right = std::min(left + picture.width(), client.width());
    const int bottom = std::min(top + picture.height(), client.height());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TPNGImageButton::ScaledCopy(const QImage& src, QRect s, QImage& dst, QRect d) {
    if (s.isEmpty() || d.isEmpty())
        return;
    for (int y = 0; y < d.height(); ++y) {
        const int sy = s.top() + static_cast<int>(static_cast<long long>(y) * s.height() / d.height());
        const auto* srow = reinterpret_cast<const quint32*>(src.constScanLine(sy));
        auto* drow = reinterpret_cast<quint32*>(dst.scanLine(d.top() + y));
        for (int x = 0; x < d.width(); ++x) {
            const int sx = s.left() + static_cast<int>(static_cast<long long>(x) * s.width() / d.width());
            drow[d.left() + x] = srow[sx];
        }
    }
}

QImage TPNGImageButton::StretchFixedBorders(const QImage& picture, QSize client, int fixedWidth,
                                            int fixedHeight) {
    QImage p = ToPremultiplied(picture);
    const int H = client.height();
    const int W = client.width();
    if (fixedHeight > 0 && 2 * fixedHeight < H && !p.isNull()) {
        QImage q(p.width(), H, QImage::Format_ARGB32_Premultiplied);
        q.fill(0);
        const int f = fixedHeight;
        ScaledCopy(p, QRect(0, 0, p.width(), f), q, QRect(0, 0, p.width(), f));
        ScaledCopy(p, QRect(0, f, p.width(), p.height() - 2 * f), q, QRect(0, f, p.width(), H - 2 * f));
        ScaledCopy(p, QRect(0, p.height() - f, p.width(), f), q, QRect(0, H - f, p.width(), f));
        p = q;
    }
    if (fixedWidth > 0 && 2 * fixedWidth < W && !p.isNull()) {
        QImage q(W, p.height(), QImage::Format_ARGB32_Premultiplied);
        q.fill(0);
        const int f = fixedWidth;
        ScaledCopy(p, QRect(0, 0, f, p.height()), q, QRect(0, 0, f, p.height()));
        ScaledCopy(p, QRect(f, 0, p.width() - 2 * f, p.height()), q, QRect(f, 0, W - 2 * f, p.height()));
        ScaledCopy(p, QRect(p.width() - f, 0, f, p.height()), q, QRect(W - f, 0, f, p.height()));
        p = q;
    }
    return p;
}

void TPNGImageButton::PaintTo(QPainter& painter) {
    if (FCurrentPicture == TPicture::None || Picture(FCurrentPicture).width() <= 0)
        FCurrentPicture = TPicture::Img;
    const QImage* picture = &Picture(FCurrentPicture);
    if (!isEnabled())
        picture = Empty(FPngDisabled) ? &Picture(FCurrentPicture) : &FPngDisabled;
    const QSize client = size();
    if (Empty(*picture)) {
        // Nothing to show: a dashed outline marks the button's bounds.
        painter.setPen(QPen(Qt::black, 0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, client.width() - 1, client.height() - 1));
        return;
    }
    // Sizes and places are logical pixels; a picture drawn at twice the density is drawn at its logical size.
    const QSize pictureSize = Logical(*picture);
    const QRect r = FStretch ? rect() : TargetRect(client, pictureSize);

    // Composed off-screen over a transparent background, at the screen's density, then put on the widget
    // in one step; Qt has already drawn the parent's background beneath the button.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage composed(client * ratio, QImage::Format_ARGB32_Premultiplied);
    composed.setDevicePixelRatio(ratio);
    composed.fill(0);
    {
        QPainter off(&composed);
        off.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (FTile) {
            off.fillRect(rect(), QBrush(*picture));
        } else if (FStretch) {
            const qreal pr = picture->devicePixelRatio();
            QImage sliced = StretchFixedBorders(*picture, (client * pr), qRound(FFixedWidth * pr),
                                                qRound(FFixedHeight * pr));
            sliced.setDevicePixelRatio(pr);
            off.drawImage(QRectF(r), sliced);
        } else if (r.size() == pictureSize) {
            off.drawImage(r.topLeft(), *picture);
        } else {
            off.drawImage(QRectF(r), *picture); // larger than the button: squeezed, not cropped
        }
        if (isEnabled() && FPopupMenu && !Empty(FPopupArrow))
            off.drawImage(client.width() - Logical(FPopupArrow).width() - 5 + FPopupArrowOffsetX,
                          (client.height() - Logical(FPopupArrow).height()) / 2 + FPopupArrowOffsetY,
                          FPopupArrow);
        if (!Empty(FIcon))
            off.drawImage((client.width() - Logical(FIcon).width()) / 2 + FIconOffsetX,
                          (client.height() - Logical(FIcon).height()) / 2 + FIconOffsetY, FIcon);
    }
    painter.drawImage(QPointF(0, 0), composed);
}

QImage TPNGImageButton::Render() const {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    QPainter painter(&image);
    auto* self = const_cast<TPNGImageButton*>(this);
    self->PaintTo(painter);
    return image;
}

void TPNGImageButton::paintEvent(QPaintEvent*) {
    if (FPainting)
        return;
    FPainting = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{FPainting};
    QPainter painter(this);
    PaintTo(painter);
    if (hasFocus() && FFocusByKey)
        DrawFocusMark(painter, rect(), Qt::white);
}

void TPNGImageButton::Press() {
    Click();
}

void TPNGImageButton::keyPressEvent(QKeyEvent* event) {
    if (IsPressKey(event) && isEnabled()) {
        event->accept();
        Press();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TPNGImageButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // The mark shows where the keyboard has taken the focus, not where a window put it when it opened.
    FFocusByKey = IsKeyboardFocus(event->reason());
    update();
}

void TPNGImageButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TPNGImageButton::MouseDown(QMouseEvent* event) {
    if (!Empty(FPngDown))
        SetCurrentPicture(TPicture::Down);
    emit OnMouseDown(event);
}

void TPNGImageButton::MouseUp(QMouseEvent* event) {
    for (TPicture which : {TPicture::Up, TPicture::Over, TPicture::Img}) {
        if (!Empty(Picture(which)) && which != FCurrentPicture) {
            SetCurrentPicture(which);
            break;
        }
    }
    emit OnMouseUp(event);
}

void TPNGImageButton::Click() {
    if (isEnabled())
        emit OnClick();
}

void TPNGImageButton::MouseEnter() {
    if (!Empty(FPngOver))
        SetCurrentPicture(TPicture::Over);
    emit OnMouseEnter();
}

void TPNGImageButton::MouseLeave() {
    if (!Empty(FPngImg) && FCurrentPicture != TPicture::Img)
        SetCurrentPicture(TPicture::Img);
    emit OnMouseLeave();
}

void TPNGImageButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    FPressedInside = true;
    MouseDown(event);
}

void TPNGImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    // A click inside is raised before the release is handled.
    const bool clicked = FPressedInside && rect().contains(event->position().toPoint());
    FPressedInside = false;
    if (clicked)
        Click();
    MouseUp(event);
}

void TPNGImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    FPressedInside = true;
    MouseDown(event);
    emit OnDblClick();
}

void TPNGImageButton::mouseMoveEvent(QMouseEvent* event) {
    emit OnMouseMove(event);
}

void TPNGImageButton::enterEvent(QEnterEvent*) {
    if (isEnabled())
        MouseEnter();
}

void TPNGImageButton::leaveEvent(QEvent*) {
    if (isEnabled())
        MouseLeave();
}

void TPNGImageButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        EnabledChanged();
    QWidget::changeEvent(event);
}

void TPNGImageButton::contextMenuEvent(QContextMenuEvent* event) {
    if (FPopupMenu && isEnabled()) {
        FPopupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

bool TPNGImageButton::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !FShowHint)
        return true;
    return QWidget::event(event);
}

// ---------------------------------------------------------------------------------------------------

TPNGImageButtonEx::TPNGImageButtonEx(QWidget* parent) : TPNGImageButton(parent) {}

void TPNGImageButtonEx::SetFontSpace(int value) {
    FFontSpace = value;
    update();
}

void TPNGImageButtonEx::SetDown(bool value) {
    if (value != FDown) {
        FDown = value;
        update();
    }
    if (FGroupIndex != 0 && FDown)
        ReleaseGroup();
}

void TPNGImageButtonEx::SetGroupIndex(int value) {
    FGroupIndex = value;
}

void TPNGImageButtonEx::SetAlignment(Qt::Alignment value) {
    if (value == FAlignment)
        return;
    FAlignment = value;
    update();
}

void TPNGImageButtonEx::SetCaption(const QString& value) {
    if (value == FCaption)
        return;
    FCaption = value;
    update();
}

void TPNGImageButtonEx::SetCaptionOffsetX(int value) {
    if (value == FCaptionOffsetX)
        return;
    FCaptionOffsetX = value;
    update();
}

void TPNGImageButtonEx::SetCaptionOffsetY(int value) {
    if (value == FCaptionOffsetY)
        return;
    FCaptionOffsetY = value;
    update();
}

QPoint TPNGImageButtonEx::CaptionPosition() const {
    const QFontMetrics metrics(font());
    const int w = metrics.horizontalAdvance(FCaption);
    const int h = metrics.height();
    int x = (width() - w) / 2;
    if (FAlignment & Qt::AlignLeft)
        x = 2;
    else if (FAlignment & Qt::AlignRight)
        x = width() - w - 2;
    const int y = (height() - h) / 2;
    return {x + FCaptionOffsetX, y + FCaptionOffsetY};
}

void TPNGImageButtonEx::PaintTo(QPainter& painter) {
    painter.setFont(font());
    TPNGImageButton::PaintTo(painter);
    if (FCaption.isEmpty())
        return;
    const QFontMetrics metrics(font());
    const QPoint at = CaptionPosition();
    painter.save();
    painter.setClipRect(rect());
    painter.setPen(isEnabled() ? palette().color(QPalette::Active, QPalette::WindowText)
                               : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(at.x(), at.y() + metrics.ascent(), FCaption);
    painter.restore();
}

void TPNGImageButtonEx::MouseDown(QMouseEvent* event) {
    TPNGImageButton::MouseDown(event);
    if (!PngDown().isNull() && PngDown().width() > 0 && FGroupIndex != 0 && !FDown) {
        FDown = true;
        update();
        ReleaseGroup();
    }
}

void TPNGImageButtonEx::MouseUp(QMouseEvent* event) {
    if (FDown)
        return; // the pressed picture stays
    TPNGImageButton::MouseUp(event);
}

void TPNGImageButtonEx::MouseEnter() {
    if (!(FDown && FGroupIndex != 0) && !PngOver().isNull() && PngOver().width() > 0 &&
        CurrentPicture() != TPicture::Over)
        SetCurrentPicture(TPicture::Over);
    emit OnMouseEnter();
}

void TPNGImageButtonEx::MouseLeave() {
    if (!(FDown && FGroupIndex != 0) && !PngImg().isNull() && PngImg().width() > 0 &&
        CurrentPicture() != TPicture::Img)
        SetCurrentPicture(TPicture::Img);
    emit OnMouseLeave();
}

void TPNGImageButtonEx::ReleaseGroup() {
    if (FGroupIndex == 0 || !FDown || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TPNGImageButtonEx*>(Qt::FindDirectChildrenOnly);
    for (TPNGImageButtonEx* other : siblings) {
        if (other == this || other->FGroupIndex != FGroupIndex)
            continue;
        other->SetDown(false);
        other->ShowNormalPicture();
    }
}
