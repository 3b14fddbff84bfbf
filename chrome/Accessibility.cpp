#include "chrome/Accessibility.h"

#include "chrome/ClickImage.h"
#include "chrome/PNGImageButton.h"
#include "chrome/ProgressPanel.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace {

// A picture button: role, name and the press action. A picture that is not pressed (a banner, a title
// bar, the progress pictures) stays a graphic, or a text where it shows one. The role is asked each time:
// a control may be described before the window makes it a button.
class TPictureButtonAccessible : public QAccessibleWidget {
public:
    explicit TPictureButtonAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Button) {}

    QAccessible::Role role() const override {
        auto* image = qobject_cast<TClickImage*>(widget());
        if (!image || image->Pressable())
            return QAccessible::Button;
        return image->text().isEmpty() ? QAccessible::Graphic : QAccessible::StaticText;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            if (!widget()->accessibleName().isEmpty())
                return widget()->accessibleName();
            if (auto* ex = qobject_cast<TPNGImageButtonEx*>(widget()))
                return ex->Caption();
            if (auto* image = qobject_cast<TClickImage*>(widget()))
                return image->text();
            return {};
        }
        if (kind == QAccessible::Description && widget()->accessibleDescription().isEmpty())
            return widget()->toolTip();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        if (role() != QAccessible::Button)
            return QAccessibleWidget::actionNames();
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action != pressAction() || role() != QAccessible::Button) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (auto* image = qobject_cast<TClickImage*>(widget()))
            image->Press();
        else if (auto* button = qobject_cast<TPNGImageButton*>(widget()))
            button->Press();
    }
};

class TProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TProgressAccessible(TProgressPanel* panel)
        : QAccessibleWidget(panel, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return QStringLiteral("%1%").arg(Panel()->Value());
        return QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override { return Panel()->Value(); }
    void setCurrentValue(const QVariant&) override {} // shown, not set, by the user
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    TProgressPanel* Panel() const { return static_cast<TProgressPanel*>(widget()); }
};

QAccessibleInterface* Describe(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("TProgressPanel"))
        return new TProgressAccessible(static_cast<TProgressPanel*>(widget));
    // A borderless form made of a plain widget is a window for a screen reader, not a filler.
    if (className == QLatin1String("QWidget") && widget->isWindow() && !widget->inherits("QDialog"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("TPNGImageButton") || className == QLatin1String("TPNGImageButtonEx") ||
        className == QLatin1String("TClickImage"))
        return new TPictureButtonAccessible(widget);
    return nullptr;
}

} // namespace

void InstallChromeAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Describe);
        return true;
    }();
    (void)installed;
}
