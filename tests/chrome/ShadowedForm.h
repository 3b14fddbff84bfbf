// A frameless form the way the program's windows are made: a fixed-size area of one colour in a layout,
// with an in-window shadow around it.
#pragma once

#include "chrome/f_ShadowFrame.h"

#include <QPalette>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <memory>

struct TShadowedForm {
    std::unique_ptr<QWidget> Form;
    QWidget* Area = nullptr;
    TFormShadow* Shadow = nullptr;

    explicit TShadowedForm(QRect area, QColor colour = QColor(200, 100, 50),
                           const std::function<void(TFormShadow&)>& setup = {}) {
        Form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        auto* layout = new QVBoxLayout(Form.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        Area = new QWidget;
        Area->setFixedSize(area.size());
        QPalette palette = Area->palette();
        palette.setColor(QPalette::Window, colour);
        Area->setPalette(palette);
        Area->setAutoFillBackground(true);
        layout->addWidget(Area);
        Shadow = new TFormShadow(Form.get());
        if (setup)
            setup(*Shadow);
        Shadow->SetForm(Form.get());
        Shadow->MoveForm(area.topLeft());
        Form->show();
        Shadow->SetShadowVisible(true);
    }
    bool WaitActive() const {
        return QTest::qWaitFor([&] { return Shadow->Active() && Shadow->BuildCount() > 0; }, 2000);
    }
    bool WaitShown() const {
        return QTest::qWaitFor([&] { return Shadow->ShadowVisible() && Shadow->BuildCount() > 0; }, 2000);
    }
};
