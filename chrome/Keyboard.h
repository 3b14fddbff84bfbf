// What the picture controls share for the keyboard: the keys that press a focused control, and the dotted
// mark that shows which one has the focus.
#pragma once

#include <QColor>
#include <QKeyEvent>
#include <QPainter>
#include <QRect>

// Enter (either key) or Space, without a modifier and not repeated by a held key.
inline bool IsPressKey(const QKeyEvent* event) {
    const int key = event->key();
    return (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
           !event->isAutoRepeat() && !(event->modifiers() & ~Qt::KeypadModifier);
}

// True when the keyboard moved the focus (Tab, Shift+Tab, a shortcut).
inline bool IsKeyboardFocus(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

// A one-pixel dotted frame a few pixels inside the control's edge.
inline void DrawFocusMark(QPainter& painter, QRect area, QColor color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(3, 3, -4, -4));
    painter.restore();
}
