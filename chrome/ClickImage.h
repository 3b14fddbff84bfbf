// A PNG picture that can be clicked: the windows' pictures with an OnClick handler (download, install,
// folder, links) and the banner that drags its window.
#pragma once

#include <QImage>
#include <QLabel>
#include <QMouseEvent>

class TClickImage : public QLabel {
    Q_OBJECT
public:
    explicit TClickImage(QWidget* parent = nullptr);

    // The normal picture and, optionally, the one shown while the mouse is over the control.
    void SetPictures(const QImage& normal, const QImage& hover = {});
    const QImage& Normal() const { return FNormal; }
    const QImage& Hover() const { return FHover; }
    // Stretched: the picture fills the control. Not stretched: drawn at 1:1 from the top-left and
    // clipped to the control's width (a progress fill grows by widening the control).
    void SetStretch(bool value);
    bool Stretch() const { return FStretch; }
    // The picture drawn now.
    const QImage& CurrentPicture() const;
    bool Hovered() const { return FHovered; }

    // Makes the picture a button for the keyboard and screen readers: Tab reaches it, Enter and Space
    // press it, and a screen reader hears a push button with this name (the picture's caption).
    void SetPressable(const QString& name);
    bool Pressable() const { return FPressable; }
    // The colour of the dotted mark that shows the keyboard focus (white, for the blue buttons).
    void SetFocusMarkColor(QColor color) { FFocusMarkColor = color; }
    // Presses the picture as a click would.
    void Press();

signals:
    void OnClick();                       // left button released inside after a left press
    void OnMouseDown(QMouseEvent* event); // any button pressed

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override;

private:
    QImage FNormal;
    QImage FHover;
    bool FStretch = true;
    bool FHovered = false;
    bool FPressed = false;
    bool FPressable = false;
    bool FFocusByKey = false;
    QColor FFocusMarkColor = Qt::white;
};
