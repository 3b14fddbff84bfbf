// Picture buttons of the title bars: a light control that shows one of five PNG pictures by mouse and
// enabled state, blended over whatever lies beneath it. TPNGImageButtonEx adds a caption and a sticky
// "down" state shared by the buttons of one parent with the same group index.
//
// Pictures are QImage in Format_ARGB32_Premultiplied (bytes B, G, R, A in memory); any other format
// given to a setter is converted on the way in.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <QMenu>
#include <QMouseEvent>

class TPNGImageButton : public QWidget {
    Q_OBJECT
public:
    // Which of the five pictures is shown.
    enum class TPicture { None, Img, Over, Down, Up, Disabled };

    explicit TPNGImageButton(QWidget* parent = nullptr);
    ~TPNGImageButton() override;

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

    const QImage& PngOver() const { return FPngOver; }
    const QImage& PngDown() const { return FPngDown; }
    const QImage& PngUp() const { return FPngUp; }
    const QImage& PngDisabled() const { return FPngDisabled; }
    const QImage& PngImg() const { return FPngImg; }
    void SetPngOver(const QImage& picture);
    void SetPngDown(const QImage& picture);
    void SetPngUp(const QImage& picture);
    void SetPngDisabled(const QImage& picture);
    void SetPngImg(const QImage& picture);
    // Loads a picture from stored PNG bytes; false when the bytes are no picture.
    bool LoadPicture(TPicture which, const QByteArray& pngBytes);

    const QImage& Icon() const { return FIcon; }
    void SetIcon(const QImage& picture);
    int IconOffsetX() const { return FIconOffsetX; }
    int IconOffsetY() const { return FIconOffsetY; }
    void SetIconOffsetX(int value);
    void SetIconOffsetY(int value);

    const QImage& PopupArrow() const { return FPopupArrow; }
    void SetPopupArrow(const QImage& picture);
    int PopupArrowOffsetX() const { return FPopupArrowOffsetX; }
    int PopupArrowOffsetY() const { return FPopupArrowOffsetY; }
    void SetPopupArrowOffsetX(int value);
    void SetPopupArrowOffsetY(int value);

    int FixedHeight() const { return FFixedHeight; }
    int FixedWidth() const { return FFixedWidth; }
    void SetFixedHeight(int value); // negative values are stored as 0
    void SetFixedWidth(int value);

    QWidget* FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget* control); // kept for the user; cleared when that control is freed

    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Tile() const { return FTile; }
    void SetTile(bool value);

    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu);

    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);

    TPicture CurrentPicture() const { return FCurrentPicture; }
    const QImage& Picture(TPicture which) const;

    // Makes PngDisabled a copy of PngImg with every colour value divided by 3 (alpha kept);
    // a palette-based PngImg is copied undimmed.
    void MakeDisabledPicture();

    // The centred rectangle R a picture of the given size is drawn into on a client area (not stretched).
    static QRect TargetRect(QSize client, QSize picture);
    // The three-slice stretch: borders of fixedWidth columns and fixedHeight rows keep their size.
    static QImage StretchFixedBorders(const QImage& picture, QSize client, int fixedWidth, int fixedHeight);
    // Copies src's rectangle s scaled into dst's rectangle d, nearest source pixel, colour and alpha.
    static void ScaledCopy(const QImage& src, QRect s, QImage& dst, QRect d);
    // The button as it paints: its pictures composed over a transparent background.
    QImage Render() const;
    // Presses the button as a click would (the keyboard's Enter or Space, a screen reader's action).
    void Press();

signals:
    void OnClick();
    void OnDblClick();
    void OnMouseDown(QMouseEvent* event);
    void OnMouseUp(QMouseEvent* event);
    void OnMouseEnter();
    void OnMouseLeave();
    void OnMouseMove(QMouseEvent* event);
    void OnPictureChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

    // The steps the subclass extends.
    virtual void PaintTo(QPainter& painter);
    virtual void MouseDown(QMouseEvent* event);
    virtual void MouseUp(QMouseEvent* event);
    virtual void Click();
    virtual void MouseEnter();
    virtual void MouseLeave();
    void PictureChanged(TPicture which);
    void SetCurrentPicture(TPicture which); // repaints on a change
    void ShowNormalPicture();
    QImage& PictureRef(TPicture which);

private:
    void SetPicture(TPicture which, const QImage& picture);
    void EnabledChanged();

    bool FAutoSize = true;
    QImage FPngOver, FPngDown, FPngUp, FPngDisabled, FPngImg;
    bool FPngImgPaletteBased = false;
    QImage FIcon, FPopupArrow;
    int FIconOffsetX = 0, FIconOffsetY = 0;
    int FPopupArrowOffsetX = 0, FPopupArrowOffsetY = 0;
    int FFixedHeight = 0, FFixedWidth = 0;
    QPointer<QWidget> FFocusControl;
    bool FStretch = false, FTile = false;
    QPointer<QMenu> FPopupMenu;
    bool FShowHint = false;
    TPicture FCurrentPicture = TPicture::None;
    bool FPainting = false;
    bool FPressedInside = false;
    bool FFocusByKey = false;
};

class TPNGImageButtonEx : public TPNGImageButton {
    Q_OBJECT
public:
    explicit TPNGImageButtonEx(QWidget* parent = nullptr);

    // Font is the widget's own font (QWidget::font / setFont); the caption colour is the palette's
    // WindowText, and grey while disabled.
    int FontSpace() const { return FFontSpace; }
    void SetFontSpace(int value); // stored only; repaints
    bool Down() const { return FDown; }
    void SetDown(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment value); // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    int CaptionOffsetX() const { return FCaptionOffsetX; }
    int CaptionOffsetY() const { return FCaptionOffsetY; }
    void SetCaptionOffsetX(int value);
    void SetCaptionOffsetY(int value);

    // Where the caption's text box starts, offsets included.
    QPoint CaptionPosition() const;
    // Releases every other button of this parent in the same non-zero group while this one is down.
    void ReleaseGroup();

protected:
    void PaintTo(QPainter& painter) override;
    void MouseDown(QMouseEvent* event) override;
    void MouseUp(QMouseEvent* event) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    int FFontSpace = 0;
    bool FDown = false;
    int FGroupIndex = 0;
    Qt::Alignment FAlignment = Qt::AlignHCenter;
    QString FCaption;
    int FCaptionOffsetX = 0, FCaptionOffsetY = 0;
};
