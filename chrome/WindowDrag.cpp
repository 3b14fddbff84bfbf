#include "chrome/WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

// Moves a window with the mouse until the left button is released. Lives on the application as an
// event filter and deletes itself at the end of the drag or when its window goes.
class TManualDrag : public QObject {
public:
    TManualDrag(QWidget* window, QPoint pressGlobal)
        : QObject(window), FWindow(window), FStartMouse(pressGlobal), FStartWindow(window->pos()) {
        qApp->installEventFilter(this);
    }
    ~TManualDrag() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto* move = static_cast<QMouseEvent*>(event);
            if (!FWindow || !(move->buttons() & Qt::LeftButton)) {
                deleteLater();
                return false;
            }
            FWindow->move(FStartWindow + (move->globalPosition().toPoint() - FStartMouse));
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
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
    QPoint FStartMouse;
    QPoint FStartWindow;
};

} // namespace

void DragWindow(QWidget* window, QMouseEvent* pressEvent) {
    if (!window || !pressEvent || pressEvent->button() != Qt::LeftButton)
        return;
    window = window->window();
    if (window->isMaximized() || window->isFullScreen())
        return;
    if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove())
        return;
    // The window system refuses (no window manager): follow the mouse ourselves. One drag at a time.
    for (QObject* child : window->children())
        if (dynamic_cast<TManualDrag*>(child))
            return;
    new TManualDrag(window, pressEvent->globalPosition().toPoint());
}
