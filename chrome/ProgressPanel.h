// The panel that holds the progress bar's track and fill pictures: for a screen reader it is the progress
// bar, with the value the window shows in percent.
#pragma once

#include <QFrame>

class TProgressPanel : public QFrame {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);

    // The value in percent (may pass 100 when a server sends more than it announced).
    int Value() const { return FValue; }
    void SetValue(int value);

private:
    int FValue = 0;
};
