// The download failure prompt: a small modal window shown after a download has failed, offering to
// download again or to fetch the installation package with the web browser. It only reports the choice.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class QMouseEvent;
class TFormShadow;

namespace Ui {
class Tfrm_Info;
} // namespace Ui

// Shows a fresh prompt modally and returns the user's choice: 0 closed (the close button or any other way
// of closing the window), 1 use the browser, 2 download again.
int ShowFailPrompt();

class Tfrm_Info : public QDialog {
    Q_OBJECT
public:
    static constexpr int frClosed = 0;
    static constexpr int frUseBrowser = 1;
    static constexpr int frDownloadAgain = 2;

    // The stored screen place of the window (left, top), as the layout gives it.
    static constexpr int StoredLeft = 482;
    static constexpr int StoredTop = 281;

    explicit Tfrm_Info(QWidget* parent = nullptr);
    ~Tfrm_Info() override;
    Tfrm_Info(const Tfrm_Info&) = delete;
    Tfrm_Info& operator=(const Tfrm_Info&) = delete;

    int Result() const { return FResult; }
    TFormShadow* Shadow() const { return FShadow; }

    // Where a window of the given size shows: at the stored place, moved in as far as needed to lie
    // whole within the screen area (its top-left corner stays inside when the window is larger).
    static QPoint PlaceOnScreen(QPoint stored, QSize size, QRect area);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Handlers of the stored layout.
    void FormCreate();
    void FormShow();
    void btnReLoadClick();
    void btnUseIEClick();
    void btnCloseClick();
    void pnl_TitileMouseDown(QMouseEvent* event);

    void KeepOnScreen();
    void LoadPictures(); // for the window's pixel density

    std::unique_ptr<Ui::Tfrm_Info> ui;
    int FResult = frClosed;
    TFormShadow* FShadow = nullptr; // owned as a child object of the window
};
