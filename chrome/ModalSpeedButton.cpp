#include "chrome/ModalSpeedButton.h"

#include "chrome/CjkFont.h"
#include "chrome/Keyboard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>

TModalSpeedButton::TModalSpeedButton(QWidget* parent) : QPushButton(parent) {
    Setup();
}

TModalSpeedButton::TModalSpeedButton(const QString& caption, QWidget* parent) : QPushButton(parent) {
    Setup();
    SetCaption(caption);
}

void TModalSpeedButton::Setup() {
    setFlat(true);
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, true);
    setFont(YaheiFont(12));
    FShortcut = new QShortcut(this);
    FShortcut->setContext(Qt::WindowShortcut);
    FShortcut->setAutoRepeat(false);
    const auto press = [this] {
        if (isVisible() && isEnabled())
            click();
    };
    connect(FShortcut, &QShortcut::activated, this, press);
    // Hidden buttons of the same window may carry the same letter: the visible one is meant.
    connect(FShortcut, &QShortcut::activatedAmbiguously, this, [this] {
        if (TModalSpeedButton* target = FindByAccelerator(window(), Accelerator(text())))
            target->click();
    });
}

void TModalSpeedButton::SetCaption(const QString& caption) {
    QPushButton::setText(caption);
    UpdateShortcut();
}

QChar TModalSpeedButton::Accelerator(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i; // "&&" is a literal "&"
            continue;
        }
        return caption[i + 1].toUpper();
    }
    return {};
}

TModalSpeedButton* TModalSpeedButton::FindByAccelerator(QWidget* root, QChar letter) {
    if (!root || letter.isNull())
        return nullptr;
    letter = letter.toUpper();
    const auto buttons = root->findChildren<TModalSpeedButton*>();
    for (TModalSpeedButton* button : buttons)
        if (button->isVisible() && button->isEnabled() && Accelerator(button->text()) == letter)
            return button;
    return nullptr;
}

void TModalSpeedButton::UpdateShortcut() {
    const QChar letter = Accelerator(text());
    if (letter.isNull() || !letter.isLetterOrNumber())
        FShortcut->setKey(QKeySequence());
    else
        FShortcut->setKey(QKeySequence(QString(letter)));
}

QColor TModalSpeedButton::CurrentFaceColor() const {
    return underMouse() && isEnabled() ? HotTrackColor : FaceColor;
}

void TModalSpeedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CurrentFaceColor());
    if (hasFocus() && FFocusByKey) {
        QColor edge(255, 255, 255, 140);
        painter.setPen(QPen(edge, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
    painter.setPen(isEnabled() ? QColor(Qt::white) : QColor(200, 210, 225));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void TModalSpeedButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    // The mark shows where the keyboard has taken the focus, not where the box put it when it opened.
    FFocusByKey = IsKeyboardFocus(event->reason());
    update();
}

void TModalSpeedButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !(event->modifiers() & ~Qt::KeypadModifier)) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

bool TModalSpeedButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::Enter:
    case QEvent::Leave:
        update();
        break;
    default:
        break;
    }
    return QPushButton::event(event);
}
