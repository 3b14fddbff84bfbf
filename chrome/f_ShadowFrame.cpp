#include "chrome/f_ShadowFrame.h"

#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

// The child of the root window that holds the given window: its window-manager frame where it has one.
xcb_window_t TopLevelAncestor(xcb_connection_t* c, xcb_window_t window) {
    for (int depth = 0; depth < 16 && window != XCB_WINDOW_NONE; ++depth) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree)
            return window;
        const xcb_window_t root = tree->root;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE)
            return window;
        window = parent;
    }
    return window;
}

// Stacks the shadow window directly beneath the form's top-level window.
void RestackBelow(WId shadow, WId form) {
    xcb_connection_t* c = XConnection();
    if (!c || shadow == 0)
        return;
    const auto shadowWindow = static_cast<xcb_window_t>(shadow);
    if (form == 0) {
        const std::uint32_t above[] = {XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c, shadowWindow, XCB_CONFIG_WINDOW_STACK_MODE, above);
        xcb_flush(c);
        return;
    }
    const xcb_window_t sibling = TopLevelAncestor(c, static_cast<xcb_window_t>(form));
    const std::uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
    // Checked, so that a refusal (the form not yet mapped) is answered here and not logged as an error.
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_configure_window_checked(c, shadowWindow,
                                        XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values));
    std::free(error);
}

} // namespace

// The shadow's own top-level window: shows the picture as its whole content with per-pixel alpha,
// lets the mouse fall through, never takes the focus and has no task-bar entry.
class TShadowWindow : public QWidget {
public:
    explicit TShadowWindow(const QImage& picture)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                               Qt::NoDropShadowWindowHint),
          FPicture(picture) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_QuitOnClose, false); // never keeps the program running on its own
        setFocusPolicy(Qt::NoFocus);
        setGeometry(-1000, 0, 1, 1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (FPicture.isNull())
            painter.fillRect(rect(), Qt::transparent);
        else
            painter.drawImage(0, 0, FPicture);
    }

private:
    const QImage& FPicture;
};

TFormShadow::TFormShadow(QWidget* owner) : QObject(owner) {
    FTimer.setInterval(1000);
    FTimerHandler = &TFormShadow::DelayedActivate;
    connect(&FTimer, &QTimer::timeout, this, &TFormShadow::OnTimer);
    FShadowBitmap = QImage(0, 0, QImage::Format_ARGB32_Premultiplied);
    FFormImage = QImage(0, 0, QImage::Format_RGB32);
    FWindow = std::make_unique<TShadowWindow>(FShadowBitmap);
}

TFormShadow::~TFormShadow() {
    try {
        SetForm(nullptr);
        FTimer.stop();
        FWindow.reset();
    } catch (const std::exception& error) {
        Report("[TFormShadow.Destroy]", error);
    }
}

QWidget* TFormShadow::ShadowWindow() const {
    return FWindow.get();
}

bool TFormShadow::ShadowWindowVisible() const {
    return FWindow && FWindow->isVisible();
}

void TFormShadow::SetShadowVisible(bool visible) {
    if (visible == FRequested)
        return;
    if (visible) {
        FRequested = true;
        StartTimer(20, &TFormShadow::DelayedActivate);
    } else {
        FRequested = false;
        FActive = false;
        FTimer.stop();
        ShowShadowWindow(false);
    }
}

void TFormShadow::SetForm(QWidget* form) {
    if (form == FForm)
        return;
    if (FForm) {
        FForm->removeEventFilter(this);
        disconnect(FDestroyedConnection);
        ShowShadowWindow(false); // a detached shadow would stay behind on the screen
        FFormHandle = 0;
        FShown = false;
        FTimer.stop();
    }
    FForm = form;
    if (form) {
        form->installEventFilter(this);
        // The native window is not forced into existence here: a form that sets its window flags after
        // attaching would get a new one. The handle is recorded once it exists, at the latest when shown.
        FFormHandle = form->internalWinId();
        FShown = true;
        if (!FWindow->isVisible())
            FWindow->setGeometry(form->frameGeometry());
        FDestroyedConnection = connect(form, &QObject::destroyed, this, &TFormShadow::FormGone);
    }
    FDirty = true;
    RefreshFormFrame(0);
}

void TFormShadow::SetOffset(int offset) {
    if (offset == FOffset)
        return;
    FOffset = offset;
    RefreshFormFrame(0);
}

void TFormShadow::SetShadowColor(QColor color) {
    if (color == FShadowColor)
        return;
    FShadowColor = color;
    // The colour goes into the template, which is made once: a later change re-sends the same picture.
    UpdateLayer();
}

void TFormShadow::SetBlurPasses(int passes) {
    FBlurPasses = passes;
}

bool TFormShadow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FForm)
        FormWindowProc(event);
    return false; // the form always gets its events
}

TWindowPos TFormShadow::FormPlacement() const {
    const QRect frame = FForm->frameGeometry();
    TWindowPos pos;
    pos.X = frame.x();
    pos.Y = frame.y();
    pos.OldWidth = frame.width();
    pos.OldHeight = frame.height();
    return pos;
}

void TFormShadow::FollowPlacement(const TWindowPos& change) {
    // Each step runs only while the form is on screen; the form may hide itself in between.
    if (FormShowing())
        FormPosChanging(change);
    else
        ShowShadowWindow(false);
    if (FormShowing())
        FormPosChanged(change);
    else
        ShowShadowWindow(false);
}

bool TFormShadow::FormWindowProc(QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
        FFormHandle = FForm ? FForm->internalWinId() : 0;
    if (!FActive || !FForm)
        return false;
    try {
        const QRect frame = FForm->frameGeometry();
        TWindowPos pos = FormPlacement();
        switch (event->type()) {
        case QEvent::Move:
            pos.Cx = frame.width();
            pos.Cy = frame.height();
            pos.Flags = swp::NoSize | swp::NoZOrder | swp::NoActivate;
            FollowPlacement(pos);
            break;
        case QEvent::Resize: {
            const auto* resize = static_cast<QResizeEvent*>(event);
            const QSize margins = frame.size() - FForm->size();
            if (resize->oldSize().isValid()) {
                pos.OldWidth = resize->oldSize().width() + margins.width();
                pos.OldHeight = resize->oldSize().height() + margins.height();
            }
            pos.Cx = frame.width();
            pos.Cy = frame.height();
            pos.Flags = swp::NoMove | swp::NoZOrder | swp::NoActivate;
            FollowPlacement(pos);
            break;
        }
        case QEvent::Show:
            // Qt sends Hide and Show around minimising: a minimised form keeps its shadow hidden.
            if (FForm->isMinimized()) {
                ShowShadowWindow(false);
                break;
            }
            pos.Flags = swp::NoMove | swp::NoSize | swp::NoZOrder | swp::NoActivate | swp::ShowWindow;
            FollowPlacement(pos);
            if (FShadowBitmap.width() >= 6 && FShadowBitmap.height() >= 6)
                ShowShadowWindow(FormShowing() && FormNormal());
            break;
        case QEvent::Hide:
            pos.Flags = swp::NoMove | swp::NoSize | swp::NoZOrder | swp::NoActivate | swp::HideWindow;
            FollowPlacement(pos);
            ShowShadowWindow(false);
            break;
        case QEvent::WindowStateChange:
            if (FormShowing())
                FormSized(FForm->windowState());
            else
                ShowShadowWindow(false);
            break;
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            // Activation raises the form: bring the shadow back directly beneath it.
            if (FormShowing() && FormNormal() && FShown)
                ShowShadowWindow(true);
            break;
        default:
            break;
        }
    } catch (const std::exception& error) {
        Report("[TFormShadow.FormWindowProc]", error);
    }
    return false;
}

void TFormShadow::FormSized(Qt::WindowStates states) {
    if (states & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        ShowShadowWindow(false);
        return;
    }
    // Restored: the picture may be stale if the size changed while the form was not normal.
    const QRect frame = FForm->frameGeometry();
    if (frame.width() != FLastWidth || frame.height() != FLastHeight) {
        BuildShadow(frame.width(), frame.height());
        PlaceShadowWindow(frame.x() - Margin + FOffset, frame.y() - Margin + FOffset);
        ArmCaptureTimer();
    }
    ShowShadowWindow(true);
    FShown = true;
}

void TFormShadow::DrawFormImage(QImage& picture) {
    // Shaped forms are not used: every form is an opaque rectangle, so its image is the capture.
    if (!FFormImage.isNull())
        picture = FFormImage;
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

void TFormShadow::MakeTemplate() {
    FShadowTemplate = QImage(TemplateSize, TemplateSize, QImage::Format_ARGB32_Premultiplied);
    FDirty = true;
    FShadowTemplate.fill(0);
    for (int y = 16; y <= 118; ++y) {
        uchar* row = FShadowTemplate.scanLine(y);
        for (int x = 16; x <= 118; ++x) {
            row[x * 4 + 0] = 255;
            row[x * 4 + 1] = 255;
            row[x * 4 + 2] = 255;
            row[x * 4 + 3] = 0;
        }
    }
    BlurBitmap(FShadowTemplate, FBlurPasses);
    const TProductTable& product = ProductTable();
    const int red = FShadowColor.red();
    const int green = FShadowColor.green();
    const int blue = FShadowColor.blue();
    for (int y = 0; y < TemplateSize; ++y) {
        uchar* row = FShadowTemplate.scanLine(y);
        for (int x = 0; x < TemplateSize; ++x) {
            if (!(x <= 15 || x >= 119 || y <= 16 || y >= 119))
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
    if (FShadowTemplate.isNull())
        MakeTemplate();
    if (!FActive || !FForm || !FForm->testAttribute(Qt::WA_WState_Created) || !FForm->isWindow())
        return;
    if (width < 0 || height < 0)
        return;
    const int bw = width + 2 * Margin;
    const int bh = height + 2 * Margin;
    if (FShadowBitmap.width() != bw || FShadowBitmap.height() != bh) {
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
    // A rebuilt picture has lost the form's image under the corners: capture again.
    FFormImage = QImage(0, 0, QImage::Format_RGB32);

    const auto pixel = [](const QImage& image, int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y))[x];
    };
    const auto put = [this](int x, int y, std::uint32_t value) {
        reinterpret_cast<std::uint32_t*>(FShadowBitmap.scanLine(y))[x] = value;
    };
    const auto copyCorner = [&](int sx, int sy, int dx, int dy) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (dx + x >= 0 && dx + x < bw && dy + y >= 0 && dy + y < bh)
                    put(dx + x, dy + y, pixel(FShadowTemplate, sx + x, sy + y));
    };
    copyCorner(0, 0, 0, 0);
    copyCorner(103, 0, bw - 32, 0);
    copyCorner(0, 103, 0, bh - 32);
    copyCorner(103, 103, bw - 32, bh - 32);

    for (int y = 0; y <= 16; ++y) // top strip
        for (int x = 31; x <= bw - 33; ++x)
            put(x, y, pixel(FShadowTemplate, 65, y));
    for (int y = bh - 17; y <= bh - 1; ++y) // bottom strip
        for (int x = 31; x <= bw - 33; ++x)
            put(x, y, pixel(FShadowTemplate, 65, 118 + y - (bh - 17)));
    for (int y = 30; y <= bh - 33; ++y) // left strip
        for (int x = 0; x <= 15; ++x)
            put(x, y, pixel(FShadowTemplate, x, 65));
    for (int y = 31; y <= bh - 33; ++y) // right strip
        for (int x = bw - 17; x <= bw - 1; ++x)
            put(x, y, pixel(FShadowTemplate, 118 + x - (bw - 17), 65));
    UpdateLayer();
}

void TFormShadow::BuildShapedShadow() {
    // Every form is an opaque rectangle: its shaped shadow is the rectangular one.
    if (FForm) {
        const QRect frame = FForm->frameGeometry();
        BuildShadow(frame.width(), frame.height());
    }
}

void TFormShadow::RefreshFormFrame(std::uint32_t extraFlags) {
    if (!FForm || !FForm->testAttribute(Qt::WA_WState_Created))
        return;
    // Stands in for a frame-changed placement of the form without move, size or stacking: the form's
    // position-changing and position-changed steps run as the message filter would run them.
    TWindowPos pos = FormPlacement();
    pos.Flags = extraFlags | swp::NoSize | swp::NoMove | swp::NoZOrder | swp::NoActivate | swp::FrameChanged;
    if (!FActive)
        return;
    try {
        FollowPlacement(pos);
    } catch (const std::exception& error) {
        Report("[TFormShadow.FormWindowProc]", error);
    }
}

void TFormShadow::DelayedActivate() {
    FTimer.stop();
    try {
        FActive = FRequested;
        if (FForm && FForm->testAttribute(Qt::WA_WState_Created) && FormShowing())
            RefreshFormFrame(swp::ShowWindow);
    } catch (const std::exception& error) {
        Report("[TFormShadow.DelayedActivate]", error);
    }
    ArmCaptureTimer();
}

void TFormShadow::DelayedCapture() {
    FTimer.stop();
    try {
        CaptureFormImage();
    } catch (const std::exception& error) {
        Report("[TFormShadow.DelayedCapture]", error);
    }
    StartTimer(5000, &TFormShadow::CheckForm);
}

void TFormShadow::CaptureFormImage() {
    if (!FForm)
        return;
    const QSize size = FForm->size();
    if (FFormImage.size() == size)
        return;
    QImage captured = FForm->grab(QRect(QPoint(0, 0), size)).toImage();
    if (captured.size() != size)
        captured = captured.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    FFormImage = captured.convertToFormat(QImage::Format_RGB32);
    if (FShadowBitmap.width() < FFormImage.width() + 18 || FShadowBitmap.height() < FFormImage.height() + 18)
        return;
    for (int y = 0; y < FFormImage.height(); ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(FFormImage.constScanLine(y));
        auto* dst = reinterpret_cast<std::uint32_t*>(FShadowBitmap.scanLine(Margin + y)) + Margin;
        for (int x = 0; x < FFormImage.width(); ++x)
            dst[x] = src[x] | 0xFF000000u; // opaque, colours as captured
    }
    UpdateLayer();
}

void TFormShadow::ArmCaptureTimer() {
    StartTimer(200, &TFormShadow::DelayedCapture);
}

void TFormShadow::FormPosChanging(const TWindowPos& pos) {
    if (!FActive || !FormNormal() || (pos.Flags & swp::HideWindow)) {
        ShowShadowWindow(false);
        return;
    }
    if (!pos.HasInsertAfter && pos.Cx == 0 && pos.Cy == 0) {
        if (FShadowBitmap.width() >= 6 && FShadowBitmap.height() >= 6) {
            ShowShadowWindow(true);
            FShown = true;
        }
        return;
    }
    // A shrinking form is drawn before it changes; a growing one after the change.
    if ((pos.Cx < pos.OldWidth || pos.Cy < pos.OldHeight) && pos.Cx > 0 && pos.Cy > 0) {
        BuildShadow(pos.Cx, pos.Cy);
        // A change without a position has none to use: the form's own position is the right one.
        const QPoint at = (pos.Flags & swp::NoMove) ? FForm->frameGeometry().topLeft() : QPoint(pos.X, pos.Y);
        PlaceShadowWindow(at.x() - Margin + FOffset, at.y() - Margin + FOffset);
        FPendingFlags = 0;
        ArmCaptureTimer();
        FShown = true;
    }
}

void TFormShadow::FormPosChanged(const TWindowPos& pos) {
    const QRect frame = FForm->frameGeometry();
    const bool pureMove = !(pos.Flags & swp::NoMove) && FShadowBitmap.width() == frame.width() + 2 * Margin &&
                          FShadowBitmap.height() == frame.height() + 2 * Margin;
    if (pureMove) {
        FPendingFlags |= pos.Flags & swp::HideWindow;
        if (FPendingFlags == 0)
            FPendingFlags = swp::ShowWindow | swp::NoActivate | swp::NoZOrder | swp::NoMove | swp::NoSize;
        PlaceShadowWindow(pos.X - Margin + FOffset, pos.Y - Margin + FOffset);
        ApplyPlacementFlags(FPendingFlags | swp::NoSize | swp::NoMove | swp::NoZOrder | swp::NoActivate);
        FShown = true;
        FPendingFlags = 0;
        return;
    }
    if (frame.width() == FLastWidth && frame.height() == FLastHeight)
        return;
    if (FormNormal())
        BuildShadow(frame.width(), frame.height());
    FPendingFlags |= pos.Flags & swp::HideWindow;
    if (FPendingFlags == 0)
        FPendingFlags |= pos.Flags & swp::ShowWindow;
    PlaceShadowWindow(frame.x() - Margin + FOffset, frame.y() - Margin + FOffset);
    ApplyPlacementFlags(FPendingFlags | swp::NoSize | swp::NoMove | swp::NoZOrder | swp::NoActivate);
    ArmCaptureTimer();
    FShown = true;
    FPendingFlags = 0;
}

void TFormShadow::UpdateLayer() {
    if (!FWindow)
        return;
    ++FLayerUpdateCount;
    if (FWindow->size() != FShadowBitmap.size() && !FShadowBitmap.isNull())
        FWindow->resize(FShadowBitmap.size());
    FWindow->update();
}

bool TFormShadow::MapShadowWindow() {
    if (FWindow->isVisible())
        return false;
    // Without a compositing manager the transparent band would show solid black: no shadow then.
    if (!CompositorRunning())
        return false;
    FWindow->show();
    return true;
}

void TFormShadow::RestackShadowWindow() {
    if (!FWindow->isVisible())
        return;
    const bool formMapped = FForm && FForm->isVisible() && FForm->testAttribute(Qt::WA_WState_Created);
    RestackBelow(FWindow->winId(), formMapped ? FForm->winId() : 0);
}

void TFormShadow::ShowShadowWindow(bool show) {
    if (!FWindow)
        return;
    if (!show) {
        if (FWindow->isVisible())
            FWindow->hide();
        return;
    }
    MapShadowWindow();
    RestackShadowWindow();
}

void TFormShadow::PlaceShadowWindow(int x, int y) {
    if (!FWindow)
        return;
    const QSize size = FShadowBitmap.size();
    if (FWindow->geometry() != QRect(QPoint(x, y), size))
        FWindow->setGeometry(x, y, size.width(), size.height());
    RestackShadowWindow();
}

void TFormShadow::ApplyPlacementFlags(std::uint32_t flags) {
    if (!FWindow)
        return;
    // Show or hide only; the stacking was set by the placement. A window mapped now lands on top of
    // the stack, so it is put beneath the form once more.
    if (flags & swp::HideWindow)
        ShowShadowWindow(false);
    else if ((flags & swp::ShowWindow) && MapShadowWindow())
        RestackShadowWindow();
}

void TFormShadow::CheckForm() {
    try {
        if (!FShown || FFormHandle == 0)
            return;
        const bool gone = !FForm || !FForm->testAttribute(Qt::WA_WState_Created) || !FForm->windowHandle() ||
                          !FForm->isVisible() || !FForm->windowHandle()->isVisible();
        if (gone) {
            ShowShadowWindow(false);
            FShown = false;
        }
    } catch (const std::exception& error) {
        FTimer.stop();
        Report("[TFormShadow.CheckForm]", error);
    }
}

void TFormShadow::StartTimer(int intervalMs, THandler handler) {
    FTimer.stop();
    FTimer.setInterval(intervalMs);
    FTimerHandler = handler;
    FTimer.start();
}

void TFormShadow::OnTimer() {
    if (FTimerHandler)
        (this->*FTimerHandler)();
}

void TFormShadow::FormGone() {
    ShowShadowWindow(false);
    FForm = nullptr;
    FFormHandle = 0;
    FShown = false;
    FTimer.stop();
}

bool TFormShadow::FormShowing() const {
    return FForm && FForm->isVisible();
}

bool TFormShadow::FormNormal() const {
    return FForm &&
           !(FForm->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void TFormShadow::Report(const char* where, const std::exception& error) const {
    qDebug().noquote() << where << error.what();
}

bool TFormShadow::CompositorRunning() {
    xcb_connection_t* c = XConnection();
    if (!c)
        return true; // no X display: windows keep their alpha (offscreen tests)
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
