#include "chrome/f_ShadowFrame.h"

#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

const TProductTable& ProductTable() {
    static const TProductTable table = [] {
        TProductTable t{};
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b)
                t[a][b] = static_cast<std::uint8_t>(a * b / 255);
        return t;
    }();
    return table;
}

namespace {

// The X connection of the application, or none (offscreen, Wayland).
xcb_connection_t* XConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Lets the mouse reach the X window only within the given rectangle (native pixels); elsewhere it falls
// through to the window beneath, while the window's picture stays whole.
void SetInputShape(WId window, QRect area) {
    xcb_connection_t* c = XConnection();
    if (!c || window == 0)
        return;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (!shape || !shape->present)
        return;
    const xcb_rectangle_t rectangle{static_cast<std::int16_t>(area.x()), static_cast<std::int16_t>(area.y()),
                                    static_cast<std::uint16_t>(area.width()),
                                    static_cast<std::uint16_t>(area.height())};
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         static_cast<xcb_window_t>(window), 0, 0, 1, &rectangle);
    xcb_flush(c);
}

// A length of the picture's design (in pixels at scale 1) at the given scale.
int Scaled(int length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

} // namespace

// The child of the form that paints the shadow's picture; it lies beneath the form's content, covers the
// whole window and lets the mouse through to the form.
class TShadowLayer : public QWidget {
public:
    TShadowLayer(QWidget* form, TFormShadow* shadow) : QWidget(form), FShadow(shadow) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(form->rect());
        lower();
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!FShadow)
            return;
        try {
            FShadow->EnsurePicture();
        } catch (const std::exception& error) {
            qDebug().noquote() << "[TFormShadow.Paint]" << error.what();
            return;
        }
        const QImage& picture = FShadow->ShadowBitmap();
        if (picture.isNull())
            return;
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        const QRect area = FShadow->FormArea();
        const QPoint at = area.topLeft() - QPoint(TFormShadow::Margin, TFormShadow::Margin) +
                          QPoint(FShadow->Offset(), FShadow->Offset());
        painter.drawImage(at, picture);
    }

private:
    QPointer<TFormShadow> FShadow;
};

TFormShadow::TFormShadow(QWidget* owner) : QObject(owner) {
    FTimer.setSingleShot(true);
    FTimer.setInterval(20);
    connect(&FTimer, &QTimer::timeout, this, &TFormShadow::DelayedActivate);
    FShadowBitmap = QImage(0, 0, QImage::Format_ARGB32_Premultiplied);
}

TFormShadow::~TFormShadow() {
    try {
        SetForm(nullptr);
        FTimer.stop();
    } catch (const std::exception& error) {
        qDebug().noquote() << "[TFormShadow.Destroy]" << error.what();
    }
}

QWidget* TFormShadow::ShadowLayer() const {
    return FLayer;
}

bool TFormShadow::ShadowVisible() const {
    return FLayer && FLayer->isVisible() && !FShadowBitmap.isNull();
}

QRect TFormShadow::FormArea() const {
    return FForm ? FForm->contentsRect() : QRect();
}

QPoint TFormShadow::WindowPosFor(QPoint areaPos) const {
    return areaPos - (FForm ? FormArea().topLeft() : QPoint(Margin, Margin));
}

void TFormShadow::MoveForm(QPoint areaPos) {
    if (FForm)
        FForm->move(WindowPosFor(areaPos));
}

void TFormShadow::SetShadowVisible(bool visible) {
    if (visible == FRequested)
        return;
    FRequested = visible;
    if (visible) {
        FTimer.start();
    } else {
        FActive = false;
        FTimer.stop();
        UpdateLayerVisibility();
    }
}

void TFormShadow::SetForm(QWidget* form) {
    if (form == FForm)
        return;
    if (FForm) {
        FForm->removeEventFilter(this);
        disconnect(FDestroyedConnection);
        delete FLayer;
        FForm->setContentsMargins(0, 0, 0, 0);
        if (QLayout* layout = FForm->layout())
            layout->activate();
        if (QWindow* window = FForm->windowHandle())
            window->setMask(QRegion());
        FForm = nullptr;
    }
    if (form) {
        FForm = form;
        // Before the form's window exists, so that it is made with an alpha channel.
        form->setAttribute(Qt::WA_TranslucentBackground);
        const QSize area = form->size();
        form->setContentsMargins(Margin, Margin, Margin, Margin);
        if (QLayout* layout = form->layout())
            layout->activate(); // a laid-out form takes its new size now, not at the next event
        else
            form->resize(area + QSize(2 * Margin, 2 * Margin));
        FLayer = new TShadowLayer(form, this);
        form->installEventFilter(this);
        FDestroyedConnection = connect(form, &QObject::destroyed, this, &TFormShadow::FormGone);
        FormChanged();
    }
    FDirty = true;
}

void TFormShadow::SetOffset(int offset) {
    if (offset == FOffset)
        return;
    FOffset = std::clamp(offset, -Margin, Margin);
    if (FLayer)
        FLayer->update();
}

void TFormShadow::SetShadowColor(QColor color) {
    // The colour goes into the template, which is made once: a later change keeps the picture.
    FShadowColor = color;
}

void TFormShadow::SetBlurPasses(int passes) {
    FBlurPasses = passes;
}

bool TFormShadow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FForm)
        return false;
    try {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::WindowActivate:
        case QEvent::ScreenChangeInternal:
        case QEvent::WinIdChange:
            // A compositing manager may have come or gone since the last change: checked each time.
            FormChanged();
            break;
        default:
            break;
        }
    } catch (const std::exception& error) {
        qDebug().noquote() << "[TFormShadow.FormWindowProc]" << error.what();
    }
    return false; // the form always gets its events
}

void TFormShadow::FormChanged() {
    if (!FForm)
        return;
    if (FLayer && FLayer->geometry() != FForm->rect())
        FLayer->setGeometry(FForm->rect());
    UpdateWindowShape();
    UpdateLayerVisibility();
    if (FLayer && FLayer->isVisible())
        FLayer->update();
}

void TFormShadow::UpdateWindowShape() {
    if (!FForm || !FForm->testAttribute(Qt::WA_WState_Created))
        return;
    QWindow* window = FForm->windowHandle();
    if (!window)
        return;
    const QRect area = FormArea();
    const auto setMask = [window](const QRegion& region) {
        if (window->mask() != region)
            window->setMask(region);
    };
    if (XConnection()) {
        if (CompositorRunning()) {
            // The whole window is drawn (the band has alpha); only the form's area takes the mouse.
            setMask(QRegion());
            const double ratio = window->devicePixelRatio();
            const QRect native(QPoint(Scaled(area.x(), ratio), Scaled(area.y(), ratio)),
                               QSize(Scaled(area.width(), ratio), Scaled(area.height(), ratio)));
            SetInputShape(window->winId(), native);
        } else {
            // Without a compositing manager the band would show solid black: the window is cut to the form.
            setMask(QRegion(area));
        }
    } else {
        // Wayland (and the offscreen platform): the mask is the region that takes input; all is drawn.
        setMask(QRegion(area));
    }
}

void TFormShadow::UpdateLayerVisibility() {
    if (!FLayer)
        return;
    const bool show = FActive && FForm && FForm->isWindow() && (!XConnection() || CompositorRunning());
    if (show != FLayer->isVisible())
        FLayer->setVisible(show);
    if (show)
        FLayer->lower();
}

void TFormShadow::DelayedActivate() {
    FTimer.stop();
    try {
        FActive = FRequested;
        if (FActive && FForm) {
            const QRect area = FormArea();
            BuildShadow(area.width(), area.height());
        }
        UpdateLayerVisibility();
        if (FLayer)
            FLayer->update();
    } catch (const std::exception& error) {
        qDebug().noquote() << "[TFormShadow.DelayedActivate]" << error.what();
    }
}

void TFormShadow::EnsurePicture() {
    if (!FForm)
        return;
    const QRect area = FormArea();
    const double ratio = FForm->devicePixelRatioF();
    if (area.width() != FLastWidth || area.height() != FLastHeight ||
        FShadowBitmap.devicePixelRatio() != ratio)
        BuildShadow(area.width(), area.height());
}

void TFormShadow::BlurPass(QImage& picture, int radius) {
    const int w = picture.width();
    const int h = picture.height();
    if (w == 0 || h == 0)
        return;
    const auto clampX = [w](int x) { return std::clamp(x, 0, w - 1); };
    const auto clampY = [h](int y) { return std::clamp(y, 0, h - 1); };
    for (int y = 0; y < h; ++y) {
        uchar* row = picture.scanLine(y);
        const uchar* above = picture.constScanLine(clampY(y - radius));
        const uchar* below = picture.constScanLine(clampY(y + radius));
        for (int x = 0; x < w; ++x) {
            const int l = clampX(x - radius) * 4;
            const int r = clampX(x + radius) * 4;
            for (int c = 0; c < 3; ++c) // blue, green, red; alpha is not touched
                row[x * 4 + c] =
                    static_cast<uchar>((above[l + c] + above[r + c] + below[l + c] + below[r + c]) / 4);
        }
    }
}

void TFormShadow::BlurBitmap(QImage& picture, int passes) {
    for (int r = 1; r <= passes; ++r)
        BlurPass(picture, r);
}

void TFormShadow::MakeTemplate(double scale) {
    // The design: 135 x 135, white from (16, 16) to (118, 118), blurred. At another pixel density the
    // blurred grey is scaled smoothly to the density, so that the band keeps its soft steps.
    QImage grey(TemplateSize, TemplateSize, QImage::Format_ARGB32_Premultiplied);
    grey.fill(0);
    for (int y = 16; y <= 118; ++y) {
        uchar* row = grey.scanLine(y);
        for (int x = 16; x <= 118; ++x) {
            row[x * 4 + 0] = 255;
            row[x * 4 + 1] = 255;
            row[x * 4 + 2] = 255;
            row[x * 4 + 3] = 0;
        }
    }
    BlurBitmap(grey, FBlurPasses);
    const int size = Scaled(TemplateSize, scale);
    if (size != TemplateSize) {
        QImage blue(TemplateSize, TemplateSize, QImage::Format_Grayscale8);
        for (int y = 0; y < TemplateSize; ++y)
            for (int x = 0; x < TemplateSize; ++x)
                blue.scanLine(y)[x] = grey.constScanLine(y)[x * 4];
        blue = blue.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        grey = QImage(size, size, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uchar g = blue.constScanLine(y)[x];
                reinterpret_cast<std::uint32_t*>(grey.scanLine(y))[x] = 0x010101u * g;
            }
    }
    FShadowTemplate = grey;
    FTemplateScale = scale;
    FDirty = true;

    // Tint where x <= 15, x >= 119, y <= 16 or y >= 119 (at scale 1): the blue value becomes the alpha.
    const TProductTable& product = ProductTable();
    const int red = FShadowColor.red();
    const int green = FShadowColor.green();
    const int blue = FShadowColor.blue();
    const int left = Scaled(16, scale);
    const int right = Scaled(119, scale);
    const int top = Scaled(17, scale);
    const int bottom = Scaled(119, scale);
    for (int y = 0; y < size; ++y) {
        uchar* row = FShadowTemplate.scanLine(y);
        for (int x = 0; x < size; ++x) {
            if (!(x < left || x >= right || y < top || y >= bottom))
                continue;
            uchar* p = row + x * 4;
            const uchar g = p[0];
            p[3] = g;
            p[0] = product[blue][g];
            p[1] = product[green][g];
            p[2] = product[red][g];
        }
    }
}

void TFormShadow::BuildShadow(int width, int height) {
    const double scale = FForm ? FForm->devicePixelRatioF() : 1.0;
    if (FShadowTemplate.isNull() || FTemplateScale != scale)
        MakeTemplate(scale);
    if (!FActive || !FForm || !FForm->isWindow())
        return;
    if (width < 0 || height < 0)
        return;
    const auto S = [scale](int length) { return Scaled(length, scale); };
    const int bw = S(width + 2 * Margin);
    const int bh = S(height + 2 * Margin);
    if (FShadowBitmap.width() != bw || FShadowBitmap.height() != bh ||
        FShadowBitmap.devicePixelRatio() != scale) {
        FDirty = true;
        FShadowBitmap = QImage(bw, bh, QImage::Format_ARGB32_Premultiplied);
        FShadowBitmap.fill(0);
    }
    if (!FDirty)
        return;
    FDirty = false;
    FLastWidth = width;
    FLastHeight = height;
    ++FBuildCount;

    const QImage& t = FShadowTemplate;
    const auto pixel = [&t](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(t.constScanLine(y))[x];
    };
    const auto put = [this](int x, int y, std::uint32_t value) {
        reinterpret_cast<std::uint32_t*>(FShadowBitmap.scanLine(y))[x] = value;
    };
    const int corner = S(32);
    const auto copyCorner = [&](int sx, int sy, int dx, int dy) {
        for (int y = 0; y < corner; ++y)
            for (int x = 0; x < corner; ++x)
                if (dx + x >= 0 && dx + x < bw && dy + y >= 0 && dy + y < bh)
                    put(dx + x, dy + y, pixel(sx + x, sy + y));
    };
    const int far = S(103); // where the right and bottom corners start in the template
    copyCorner(0, 0, 0, 0);
    copyCorner(far, 0, bw - corner, 0);
    copyCorner(0, far, 0, bh - corner);
    copyCorner(far, far, bw - corner, bh - corner);

    const int middle = S(65);      // the template's row and column that the strips repeat
    const int edge = S(17);        // depth of the top, bottom and right strips
    const int inner = S(118);      // where the template's bottom and right bands start
    for (int y = 0; y < edge; ++y) // top strip
        for (int x = S(31); x < bw - corner; ++x)
            put(x, y, pixel(middle, y));
    for (int y = bh - edge; y < bh; ++y) // bottom strip
        for (int x = S(31); x < bw - corner; ++x)
            put(x, y, pixel(middle, inner + y - (bh - edge)));
    for (int y = S(30); y < bh - corner; ++y) // left strip
        for (int x = 0; x < S(16); ++x)
            put(x, y, pixel(x, middle));
    for (int y = S(31); y < bh - corner; ++y) // right strip
        for (int x = bw - edge; x < bw; ++x)
            put(x, y, pixel(inner + x - (bw - edge), middle));
    FShadowBitmap.setDevicePixelRatio(scale);
    if (FLayer)
        FLayer->update();
}

void TFormShadow::FormGone() {
    FForm = nullptr;
    FTimer.stop();
}

bool TFormShadow::CompositorRunning() {
    xcb_connection_t* c = XConnection();
    if (!c)
        return true; // no X display: windows keep their alpha (Wayland, offscreen)
    static constexpr char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(name) - 1, name), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner)
        return false;
    const bool running = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return running;
}
