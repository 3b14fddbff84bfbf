// Answers the program's modal windows (message box and failure prompt) from a timer, in the order given,
// and records what each one said.
#pragma once

#include <deque>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

enum class TAnswer {
    Ok,      // the message box's left button ("确定(&O)")
    Cancel,  // its right button ("取消")
    ReLoad,  // the failure prompt's re-download picture (2)
    Browser, // its browser link (1)
    Close,   // its close button (0)
};

struct TSeenDialog {
    QString Kind; // "MsgDlg" or "Info"
    QString Text; // the message box's text without the two blanks it appends; empty for the prompt
};

class TDialogScript : public QObject {
    Q_OBJECT

public:
    explicit TDialogScript(std::vector<TAnswer> Answers);

    const std::vector<TSeenDialog>& Seen() const { return FSeen; }
    // Dialogs that came when no answer was left (they were dismissed).
    int Unexpected() const { return FUnexpected; }
    bool Exhausted() const { return FAnswers.empty(); }

private:
    void Poll();
    void Answer(QWidget* Dialog, TAnswer How);

    QTimer FTimer;
    std::deque<TAnswer> FAnswers;
    std::vector<TSeenDialog> FSeen;
    QPointer<QWidget> FLast;
    int FUnexpected = 0;
};
