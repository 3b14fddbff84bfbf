// The soft drop shadow of a borderless window, drawn by the window itself: the window is the form's area
// plus a transparent margin of 16 pixels on every side, and the shadow is painted into that margin. So
// each window is one surface on every desktop (a Wayland compositor has no global positions and stacks
// no window of a client beneath another), the shadow always lies directly beneath its form and moves,
// hides and minimises with it, and nothing has to follow anything.
//
// Only the form's area takes the mouse: a click on the band reaches whatever lies beneath the window.
// On X11 the band needs a compositing manager for its alpha; while none runs, the window is cut to the
// form's area, so that the band is not painted black, and the form simply has no shadow.
//
// Use: create it in the form's constructor with the form as owner, call SetForm(form), and call
// SetShadowVisible(true) when the form is shown. The form keeps its content in a layout (or places it
// itself) within contentsRect(): SetForm gives the form its margins. The form owns the shadow.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>

// ProductTable[a][b] = a * b / 255, truncating; shared by every shadow, filled before first use.
using TProductTable = std::array<std::array<std::uint8_t, 256>, 256>;
const TProductTable& ProductTable();

class TShadowLayer;

class TFormShadow : public QObject {
    Q_OBJECT
public:
    static constexpr int TemplateSize = 135;
    static constexpr int Margin = 16;

    explicit TFormShadow(QWidget* owner);
    ~TFormShadow() override;
    TFormShadow(const TFormShadow&) = delete;
    TFormShadow& operator=(const TFormShadow&) = delete;

    // Switches the shadow on (20 ms later) or off (at once). A repeated value changes nothing.
    virtual void SetShadowVisible(bool visible);
    // Attaches the shadow to a top-level form (or detaches it with none): the form becomes translucent and
    // gets the margins around its area. A form that is not laid out keeps its area's size: it grows.
    virtual void SetForm(QWidget* form);
    // Shifts the shadow to the right and downwards, in pixels, within the margin.
    virtual void SetOffset(int offset);
    // The colour goes into the template, which is made once: set it before the shadow is first shown.
    virtual void SetShadowColor(QColor color);
    virtual void SetBlurPasses(int passes);
    // Runs the blur pass with radius 1, 2, ... passes over the picture.
    virtual void BlurBitmap(QImage& picture, int passes);
    // Builds the picture for a form area of width x height logical pixels at the form's pixel density.
    virtual void BuildShadow(int width, int height);
    // Timer handler: the request of SetShadowVisible takes effect.
    virtual void DelayedActivate();

    // One blur pass of radius r over the colour bytes, in place, rows top to bottom.
    static void BlurPass(QImage& picture, int radius);
    // True while a compositing manager runs on the X display (always true without an X display).
    static bool CompositorRunning();
    // Where a form whose area should lie at areaPos has to be moved to (its window's top-left corner).
    QPoint WindowPosFor(QPoint areaPos) const;
    // Moves the form so that its area lies at areaPos on the screen (a wish, on Wayland).
    void MoveForm(QPoint areaPos);

    // Read-only views for callers and tests.
    QWidget* Form() const { return FForm; }
    // The form's area in the form's own coordinates.
    QRect FormArea() const;
    int Offset() const { return FOffset; }
    QColor ShadowColor() const { return FShadowColor; }
    int BlurPasses() const { return FBlurPasses; }
    bool Active() const { return FActive; }
    bool Requested() const { return FRequested; }
    bool Dirty() const { return FDirty; }
    int LastWidth() const { return FLastWidth; }
    int LastHeight() const { return FLastHeight; }
    // The picture (device pixels, with its device pixel ratio) and the template it is assembled from.
    const QImage& ShadowBitmap() const { return FShadowBitmap; }
    const QImage& ShadowTemplate() const { return FShadowTemplate; }
    const QTimer& Timer() const { return FTimer; }
    // The child of the form that paints the picture beneath the form's area.
    QWidget* ShadowLayer() const;
    // True while the shadow is painted around the form.
    bool ShadowVisible() const;
    // How many pictures have been built.
    int BuildCount() const { return FBuildCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TShadowLayer;

    void MakeTemplate(double scale);
    void FormChanged(); // place the layer, cut the window, rebuild when the area or the density changed
    void UpdateWindowShape();
    void UpdateLayerVisibility();
    void EnsurePicture(); // the picture fits the form's area and density
    void FormGone();

    QPointer<QWidget> FForm;
    bool FActive = false;
    bool FRequested = false;
    QTimer FTimer;
    int FOffset = 0;
    QColor FShadowColor = Qt::black;
    QImage FShadowBitmap;   // Format_ARGB32_Premultiplied: bytes B, G, R, A
    QImage FShadowTemplate; // 135 x 135 at scale 1; made at the first build, again for another density
    double FTemplateScale = 0;
    bool FDirty = true;
    int FLastWidth = 0;
    int FLastHeight = 0;
    int FBlurPasses = 2;
    int FBuildCount = 0;
    QMetaObject::Connection FDestroyedConnection;
    QPointer<TShadowLayer> FLayer;
};
