#include "chrome/WindowDrag.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

// Moves a window with the mouse until the button that started the drag is released. Lives on the application
// as an event filter and deletes itself at the end of the drag or when its window goes.
class TManualDrag : public QObject {
public:
    TManualDrag(QWidget* window, QPoint pressGlobal, Qt::MouseButton button)
        : QObject(window), FWindow(window), FButton(button), FStartMouse(pressGlobal),
          FStartWindow(window->pos()) {
        qApp->installEventFilter(this);
    }
    ~TManualDrag() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto* move = static_cast<QMouseEvent*>(event);
            if (!FWindow || !(move->buttons() & FButton)) {
                deleteLater();
                return false;
            }
            FWindow->move(FStartWindow + (move->globalPosition().toPoint() - FStartMouse));
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == FButton)
                deleteLater();
            return false;
        case QEvent::ApplicationDeactivate:
            deleteLater();
            return false;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> FWindow;
    Qt::MouseButton FButton;
    QPoint FStartMouse;
    QPoint FStartWindow;
};

} // namespace

void DragWindow(QWidget* window, QMouseEvent* pressEvent) {
    if (!window || !pressEvent || pressEvent->button() == Qt::NoButton)
        return;
    window = window->window();
    if (window->isMaximized() || window->isFullScreen())
        return;
    // An X11 window manager is asked to move the window as if the first button were held (the request
    // names no other): a move started with another button would go on after its release, until the next
    // left click. Those drags, and every drag without a window manager, follow the mouse here. On Wayland
    // only the compositor can move a window, and it ends the move with the release of any button.
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const bool systemMove = !x11 || pressEvent->button() == Qt::LeftButton;
    if (QWindow* handle = window->windowHandle(); systemMove && handle && handle->startSystemMove())
        return;
    // The window system refuses (no window manager): follow the mouse ourselves. One drag at a time.
    for (QObject* child : window->children())
        if (dynamic_cast<TManualDrag*>(child))
            return;
    new TManualDrag(window, pressEvent->globalPosition().toPoint(), pressEvent->button());
}
