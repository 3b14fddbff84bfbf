#include "DialogScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>

TDialogScript::TDialogScript(std::vector<TAnswer> Answers) : FAnswers(Answers.begin(), Answers.end()) {
    connect(&FTimer, &QTimer::timeout, this, &TDialogScript::Poll);
    FTimer.start(15);
}

void TDialogScript::Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || dialog == FLast.data() || !dialog->isVisible()) {
        return;
    }
    FLast = dialog;
    TSeenDialog seen;
    if (dialog->inherits("Tfrm_MsgDlg")) {
        seen.Kind = QStringLiteral("MsgDlg");
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblMsg"))) {
            seen.Text = label->text();
            if (seen.Text.endsWith(QStringLiteral("  "))) {
                seen.Text.chop(2);
            }
        }
    } else if (dialog->inherits("Tfrm_Info")) {
        seen.Kind = QStringLiteral("Info");
    } else {
        seen.Kind = QString::fromLatin1(dialog->metaObject()->className());
    }
    FSeen.push_back(seen);

    if (FAnswers.empty()) {
        ++FUnexpected;
        if (auto* modal = qobject_cast<QDialog*>(dialog)) {
            modal->reject();
        } else {
            dialog->close();
        }
        return;
    }
    const TAnswer how = FAnswers.front();
    FAnswers.pop_front();
    Answer(dialog, how);
}

void TDialogScript::Answer(QWidget* Dialog, TAnswer How) {
    const auto press = [Dialog](const char* Name) {
        QWidget* control = Dialog->findChild<QWidget*>(QString::fromLatin1(Name));
        if (control == nullptr) {
            qWarning("no control %s on %s", Name, Dialog->metaObject()->className());
            Dialog->close();
            return;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->click();
        } else {
            QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
        }
    };
    switch (How) {
    case TAnswer::Ok:
        press("sBtnLeft");
        break;
    case TAnswer::Cancel:
        press("sBtnRight");
        break;
    case TAnswer::ReLoad:
        press("btnReLoad");
        break;
    case TAnswer::Browser:
        press("btnUseIE");
        break;
    case TAnswer::Close:
        press("btnClose");
        break;
    }
}
