#include "chrome/ProgressPanel.h"

#include "chrome/Accessibility.h"

#include <QAccessible>

TProgressPanel::TProgressPanel(QWidget* parent) : QFrame(parent) {
    InstallChromeAccessibility();
}

void TProgressPanel::SetValue(int value) {
    if (value == FValue)
        return;
    FValue = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}
