// The program's own message box: a skinned, borderless, always-on-top window sized to its message, with
// an optional fold-out detail pane and an optional check box. ShowMsgDlg is the only way the program asks
// or tells the user something; the system's message box is never used.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QMouseEvent;
class QPushButton;
class QWidget;
class TFormShadow;

namespace Ui {
class Tfrm_MsgDlg;
} // namespace Ui

// The kind of box: its title, icon and buttons. Any value above mbkYesNo2 shows the stored title "标题",
// no icon and no button.
enum TMsgDlgKind : std::uint8_t {
    mbkInformation = 0, // "提示信息", OK
    mbkError = 1,       // "错误信息", OK
    mbkWarning = 2,     // "警告信息", OK
    mbkOkCancel = 3,    // "确认信息", OK and Cancel
    mbkYesNoCancel = 4, // "确认信息", Yes, No and Cancel
    mbkYesNo = 5,       // "确认信息", Yes and No
    mbkYesNo2 = 6,      // the same as mbkYesNo
};

// Shows the box modally and returns which way it was closed:
//   1  the left button with the check box clear, or any button of the kinds 0 to 2;
//   10 the left button with the check box ticked (kinds 3 to 6);
//   2  the centre button (kind 4 only), whatever the check box;
//   3  the right button with the check box clear, or the box dismissed (Esc, close image, system close);
//   30 the right button with the check box ticked.
// A detail text that is not blank offers the detail pane; a check-box caption that is not blank shows the
// check box, starting in checkState. The window is freed before the call returns.
int ShowMsgDlg(std::uint8_t kind, const QString& message, const QString& detail = QString(),
               bool checkState = false, const QString& checkCaption = QString());

class Tfrm_MsgDlg : public QDialog {
    Q_OBJECT
public:
    // Modal results: a button closed the box, or it was dismissed without one.
    static constexpr int mrButton = 1;
    static constexpr int mrDismissed = 2;

    // Height of the detail pane when it is open.
    static constexpr int DetailHeight = 150;

    explicit Tfrm_MsgDlg(QWidget* parent = nullptr);
    ~Tfrm_MsgDlg() override;
    Tfrm_MsgDlg(const Tfrm_MsgDlg&) = delete;
    Tfrm_MsgDlg& operator=(const Tfrm_MsgDlg&) = delete;

    // Fills and arranges the box for one message: everything ShowMsgDlg does before showing it.
    void Prepare(std::uint8_t kind, const QString& message, const QString& detail, bool checkState,
                 const QString& checkCaption);
    // The function result for a modal result of this box.
    int ResultFor(int modalResult) const;

    std::uint8_t Kind() const { return FKind; }
    bool HasDetail() const { return FHasDetail; }
    TFormShadow* Shadow() const { return FShadow; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    // Handlers of the stored layout.
    void FormCreate();
    void FormShow();
    void sBtnLeftClick();
    void sBtnCenterClick();
    void sBtnRightClick();
    void sBtnDetailClick();
    bool FormKeyDown(QKeyEvent* event); // true when the key was the box's own
    void Image2Click();
    void Image1MouseDown(QMouseEvent* event);

    void LoadPictures(); // for the window's pixel density

    // Arranging.
    void FitMessage();
    void SetupKind();
    void SetFormHeight();
    void CentreOnScreen();
    // The form's area (the box without its shadow's margins); setting it resizes the window.
    int AreaWidth() const;
    int AreaHeight() const;
    void SetAreaSize(int width, int height);
    void AlignControls(); // docks the panels to the form's current size, as their stored anchors say
    int ButtonRowWidth() const;
    std::array<QPushButton*, 4> Buttons() const; // left, centre, right, detail: the tab order // room the
                                                 // shown buttons need, with their gaps and the outer margins

    std::unique_ptr<Ui::Tfrm_MsgDlg> ui;
    std::uint8_t FKind = 0;
    bool FHasDetail = false;
    int FResult = 0;
    TFormShadow* FShadow = nullptr; // owned as a child object of the window
    int FMsgPanelHeight = 0;        // stored height of pnlMsg, grown by a tall message
    int FCloseRightGap = 0;         // distance of the close image from the right edge of the title bar
};
