// The soft drop shadow of a borderless window: a separate, click-through, never activated top-level
// window with per-pixel alpha that lies directly beneath its form, 16 pixels larger on every side, and
// follows the form through moves, size changes, showing, hiding, minimising, restoring and destruction.
//
// Use: create it in the form's constructor with the form as owner, call SetForm(form), and call
// SetShadowVisible(true) when the form is shown. The form owns the shadow and frees it with itself.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

// Placement flags of a window change, with the values the shadow's follow logic was designed with.
namespace swp {
constexpr std::uint32_t NoSize = 0x0001;
constexpr std::uint32_t NoMove = 0x0002;
constexpr std::uint32_t NoZOrder = 0x0004;
constexpr std::uint32_t NoActivate = 0x0010;
constexpr std::uint32_t FrameChanged = 0x0020;
constexpr std::uint32_t ShowWindow = 0x0040;
constexpr std::uint32_t HideWindow = 0x0080;
} // namespace swp

// One change of the form's place, size or visibility, as the follow steps see it.
struct TWindowPos {
    int X = 0;                   // new left edge (meaningful without NoMove)
    int Y = 0;                   // new top edge
    int Cx = 0;                  // new outer width (meaningful without NoSize)
    int Cy = 0;                  // new outer height
    bool HasInsertAfter = false; // the change names a window to stack beneath
    std::uint32_t Flags = 0;
    int OldWidth = 0; // the form's size before the change
    int OldHeight = 0;
};

// ProductTable[a][b] = a * b / 255, truncating; shared by every shadow, filled before first use.
using TProductTable = std::array<std::array<std::uint8_t, 256>, 256>;
const TProductTable& ProductTable();

class TShadowWindow;

class TFormShadow : public QObject {
    Q_OBJECT
public:
    static constexpr int TemplateSize = 135;
    static constexpr int Margin = 16;

    explicit TFormShadow(QWidget* owner);
    ~TFormShadow() override;
    TFormShadow(const TFormShadow&) = delete;
    TFormShadow& operator=(const TFormShadow&) = delete;

    // The operations, in the order of the shadow's design.
    virtual void SetShadowVisible(bool visible);
    virtual void SetForm(QWidget* form);
    virtual void SetOffset(int offset);
    virtual void SetShadowColor(QColor color);
    virtual void SetBlurPasses(int passes);
    // The message filter of the form; Qt events are turned into the follow steps here.
    virtual bool FormWindowProc(QEvent* event);
    virtual void FormSized(Qt::WindowStates states);
    virtual void DrawFormImage(QImage& picture); // shaped forms only: every form here is an opaque rectangle
    virtual void BlurBitmap(QImage& picture, int passes);
    virtual void BuildShadow(int width, int height);
    virtual void BuildShapedShadow(); // shaped forms only: builds the rectangular shadow
    virtual void RefreshFormFrame(std::uint32_t extraFlags);
    virtual void DelayedActivate();
    virtual void DelayedCapture();
    virtual void CaptureFormImage();
    virtual void ArmCaptureTimer();

    // One blur pass of radius r over the colour bytes, in place, rows top to bottom.
    static void BlurPass(QImage& picture, int radius);
    // True while a compositing manager runs on the X display (always true without an X display).
    static bool CompositorRunning();

    // Read-only views for callers and tests.
    QWidget* Form() const { return FForm; }
    int Offset() const { return FOffset; }
    QColor ShadowColor() const { return FShadowColor; }
    int BlurPasses() const { return FBlurPasses; }
    bool Active() const { return FActive; }
    bool Requested() const { return FRequested; }
    bool Shown() const { return FShown; }
    bool Dirty() const { return FDirty; }
    int LastWidth() const { return FLastWidth; }
    int LastHeight() const { return FLastHeight; }
    std::uint32_t PendingFlags() const { return FPendingFlags; }
    const QImage& ShadowBitmap() const { return FShadowBitmap; }
    const QImage& ShadowTemplate() const { return FShadowTemplate; }
    const QImage& FormImage() const { return FFormImage; }
    const QTimer& Timer() const { return FTimer; }
    // The top-level window that shows the picture; created with the shadow, shown only by placement.
    QWidget* ShadowWindow() const;
    bool ShadowWindowVisible() const;
    // How many pictures have been built (a rebuild is the costly step that a pure move avoids).
    int BuildCount() const { return FBuildCount; }
    // How many times the picture was handed to the shadow window.
    int LayerUpdateCount() const { return FLayerUpdateCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    virtual void FormPosChanging(const TWindowPos& pos);
    virtual void FormPosChanged(const TWindowPos& pos);
    virtual void UpdateLayer();
    virtual void ShowShadowWindow(bool show);
    virtual void CheckForm();

private:
    using THandler = void (TFormShadow::*)();

    void MakeTemplate();
    void StartTimer(int intervalMs, THandler handler);
    void OnTimer();
    bool MapShadowWindow();               // shows the hidden window while a compositor runs; true when it did
    void RestackShadowWindow();           // directly beneath the form, when shown
    void PlaceShadowWindow(int x, int y); // beneath the form, the picture's size, not activated
    void ApplyPlacementFlags(std::uint32_t flags);  // show or hide beneath the form, as the flags say
    void FormGone();                                // the attached form is being freed
    TWindowPos FormPlacement() const;               // the form's frame as a placement with no change yet
    void FollowPlacement(const TWindowPos& change); // the position-changing and -changed steps
    bool FormShowing() const;
    bool FormNormal() const;
    void Report(const char* where, const std::exception& error) const;

    QPointer<QWidget> FForm;
    std::uint32_t FPendingFlags = swp::ShowWindow;
    bool FActive = false;
    bool FRequested = false;
    QTimer FTimer;
    THandler FTimerHandler = nullptr;
    int FOffset = 0;
    QColor FShadowColor = Qt::black;
    QImage FShadowBitmap;   // Format_ARGB32_Premultiplied: bytes B, G, R, A
    QImage FShadowTemplate; // 135 x 135, made at the first build
    bool FDirty = true;
    QImage FFormImage; // Format_RGB32: last capture of the form
    int FLastWidth = 0;
    int FLastHeight = 0;
    bool FShown = false;
    WId FFormHandle = 0;
    int FBlurPasses = 2;
    int FBuildCount = 0;
    int FLayerUpdateCount = 0;
    QMetaObject::Connection FDestroyedConnection;
    std::unique_ptr<TShadowWindow> FWindow;
};
