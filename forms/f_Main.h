// The program's main window: the banner, the choice of line and folder, the progress page, and the whole
// download workflow with its questions, the failure prompt and the Install picture.
#pragma once

#include <cstdint>
#include <memory>

#include <QString>
#include <QWidget>

#include "forms/f_MainSeams.h"
#include "public/HttpClientIntf.h"

class QCloseEvent;
class QMouseEvent;
class QShowEvent;
class TFormShadow;

namespace Ui {
class Tfrm_Main;
}

class Tfrm_Main : public QWidget {
    Q_OBJECT

public:
    explicit Tfrm_Main(TMainSeams Seams, QWidget* Parent = nullptr);
    ~Tfrm_Main() override;

    // The whole workflow behind the download pictures; returns when the attempt (and every repetition the
    // user asked for) has ended, or after the process was told to end.
    void StartDownload();
    // The client's progress callback; runs on the user-interface thread.
    void DownloadProgress(const THttpDownloadInfo& Info, bool& Stop);
    void SetProgressPosition(std::int32_t Value);
    void SetProgressTotal(std::int32_t Value);
    void ResetState();
    bool IsOnline() const;
    void KillProcess();

    // Handlers of the stored layout's controls. Public, so that the hidden controls' behaviour can be driven.
    void FormCreate();
    void FormShow();
    void btnSmallClick();
    void btnCloseClick();
    void imgTopMouseDown(QMouseEvent* Event);
    void btnDownloadNowClick();
    void btnDownloadClick();
    void labCustomClick();
    void labBackClick();
    void TS2Show();
    void btnDirClick();
    void edtDirExit();
    void btnInstallClick();

    // What the window holds, for those who look at it from outside.
    bool IsDownloading() const { return FDownloading; }
    bool CancelRequested() const { return FCancelRequested; }
    bool Succeeded() const { return FSucceeded; }
    bool Failed() const { return FFailed; }
    const QString& SaveDir() const { return FSaveDir; }
    const QString& FileName() const { return FFileName; }
    std::int32_t Position() const { return FPosition; }
    std::int32_t Total() const { return FTotal; }
    TFormShadow* Shadow() const { return FShadow; }

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    enum class TAttemptEnd { Done, Again };

    TAttemptEnd DownloadOnce();
    int RunDownload(const QString& Url);
    void RefreshProgress();
    void ShowSpeed(const THttpDownloadInfo& Info);
    void LoadPictures();
    void DescribeControls();

    std::unique_ptr<Ui::Tfrm_Main> ui;
    TMainSeams FSeams;
    TFormShadow* FShadow = nullptr;
    QString FSaveDir;
    QString FFileName;
    bool FCancelRequested = false;
    bool FSucceeded = false;
    bool FFailed = false;
    std::int32_t FPosition = 0;
    std::int32_t FTotal = 100;
    bool FDownloading = false;
    bool FShownOnce = false;
};
