// Dragging a borderless window by its title bar or banner.
#pragma once

class QMouseEvent;
class QWidget;

// Call from a mouse press handler: asks the window system to move the window with the mouse, and where
// it refuses (no window manager), moves the window itself until the button is released.
void DragWindow(QWidget* window, QMouseEvent* pressEvent);
