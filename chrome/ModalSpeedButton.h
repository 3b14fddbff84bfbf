// The message box's push button: a flat face of its own colour, the hot-track colour under the mouse, a
// white caption and a hand cursor. It is clicked by the mouse, by Enter or Space while it has the focus,
// and by typing the letter marked with "&" in its caption without a modifier, while its window is active
// and the button is visible and enabled.
#pragma once

#include <QColor>
#include <QPushButton>

class QShortcut;

class TModalSpeedButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr QColor FaceColor{66, 139, 202};
    static constexpr QColor HotTrackColor{14, 97, 185};

    explicit TModalSpeedButton(QWidget* parent = nullptr);
    explicit TModalSpeedButton(const QString& caption, QWidget* parent = nullptr);

    // The caption; "&" marks the accelerator letter, "&&" is a literal "&". setText is the same.
    void SetCaption(const QString& caption);
    void setText(const QString& caption) { SetCaption(caption); }
    // The marked letter of a caption, upper case; a null QChar when there is none.
    static QChar Accelerator(const QString& caption);
    // The visible, enabled button among root's descendants whose marked letter is the given one.
    static TModalSpeedButton* FindByAccelerator(QWidget* root, QChar letter);
    // The colour the face is painted with now.
    QColor CurrentFaceColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Setup();
    void UpdateShortcut();

    QShortcut* FShortcut = nullptr;
    bool FFocusByKey = false;
};
