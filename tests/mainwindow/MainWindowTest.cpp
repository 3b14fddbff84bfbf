// The main window against real servers on loopback (nginx and the fault server), with the real client, the
// real message box and failure prompt answered from timers, and the window's outside effects replaced.
#include <gtest/gtest.h>

#include "chrome/f_ShadowFrame.h"

#include <QAccessible>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "DialogScript.h"
#include "chrome/ClickImage.h"
#include "forms/f_Main.h"
#include "public/HttpClientImpl.h"
#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/Signing.h"
#include "tests/support/TempDir.h"

using testsupport::BinaryPattern;
using testsupport::TFaultServer;
using testsupport::TNginxServer;

// Readable QString values in failure messages.
void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

const QString KName = QStringLiteral("Keltrima（山东）（完整安装包）.exe");

std::string ReadAll(const QString& Path) {
    std::ifstream in(Path.toStdString(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const QString& Path, const std::string& Content) {
    std::ofstream out(Path.toStdString(), std::ios::binary | std::ios::trunc);
    out << Content;
}

// Compares file contents without printing them.
::testing::AssertionResult SameBytes(const std::string& Actual, const std::string& Expected) {
    if (Actual == Expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t first = 0;
    while (first < Actual.size() && first < Expected.size() && Actual[first] == Expected[first]) {
        ++first;
    }
    return ::testing::AssertionFailure() << Actual.size() << " bytes instead of " << Expected.size()
                                         << ", first difference at byte " << first;
}

std::string NginxUrl(const TNginxServer& Server) {
    return Server.BaseUrl() + "/uploads/" + KName.toStdString();
}

// A fault-server script whose every answer is the same (HEAD and GET alike).
std::string OneAnswer(const std::string& BodyFile, const std::string& Extra) {
    return R"({"responses": [{"body_file": ")" + BodyFile +
           R"(", "last_modified": "Tue, 01 Dec 2026 10:00:00 GMT")" + Extra + "}]}";
}

class MainWindowTest : public ::testing::Test {
public:
    void SetUp() override { ASSERT_TRUE(FSave.isValid()); }

    // A shown window for the two mirrors, saving into the test's folder (chosen with the folder picker), with
    // the maker's key when one is given.
    std::unique_ptr<Tfrm_Main> Window(const std::string& Dx, const std::string& Lt,
                                      std::optional<platform::TEd25519Key> Key = std::nullopt) {
        TMainSeams seams;
        seams.MirrorDX = QString::fromStdString(Dx);
        seams.MirrorLT = QString::fromStdString(Lt);
        seams.InstallerKey = Key;
        seams.IsOnline = [this] { return FOnline; };
        seams.OpenWithShell = [this](const QUrl& Target) {
            FOpened.push_back(Target);
            return !Target.isLocalFile() || QFileInfo(Target.toLocalFile()).isFile();
        };
        seams.PickFolder = [this](QWidget*, const QString& Title) {
            FPickerTitle = Title;
            return FPicked;
        };
        seams.KillProcess = [this] { ++FKills; };
        seams.WriteLog = [this](const std::string& Line) { FLog.push_back(Line); };
        auto window = std::make_unique<Tfrm_Main>(seams);
        window->show();
        FPicked = FSave.path();
        window->labCustomClick();
        window->btnDirClick();
        window->labBackClick();
        FPicked.clear();
        return window;
    }

    template <class T>
    static T* Child(Tfrm_Main& Window, const char* Name) {
        T* child = Window.findChild<T*>(QString::fromLatin1(Name));
        EXPECT_NE(child, nullptr) << Name;
        return child;
    }

    static QWidget* Page(Tfrm_Main& Window) { return Child<QStackedWidget>(Window, "PC")->currentWidget(); }
    static QString PageName(Tfrm_Main& Window) { return Page(Window)->objectName(); }

    static void ClickDownloadNow(Tfrm_Main& Window) {
        auto* picture = Child<TClickImage>(Window, "btnDownloadNow");
        QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, picture->rect().center());
    }

    QString Target() const { return FSave.path() + QLatin1Char('/') + KName; }

    // The window's log lines, as the log sink received them.
    std::size_t LogMark() const { return FLog.size(); }
    std::vector<std::string> LogLinesSince(std::size_t Mark) const {
        return {FLog.begin() + static_cast<std::ptrdiff_t>(std::min(Mark, FLog.size())), FLog.end()};
    }

    QTemporaryDir FSave;
    std::vector<std::string> FLog;
    bool FOnline = true;
    std::vector<QUrl> FOpened;
    QString FPicked;
    QString FPickerTitle;
    int FKills = 0;
};

// ---------------------------------------------------------------------------------------------------------
// The progress display

TEST_F(MainWindowTest, ProgressTextAndBarWidthForATableOfPositions) {
    auto window = Window("http://127.0.0.1:1/a.exe", "http://127.0.0.1:1/a.exe");
    auto* text = Child<QLabel>(*window, "labProcess");
    auto* fill = Child<QWidget>(*window, "imgProcessInner");
    ASSERT_EQ(Child<QWidget>(*window, "imgProcessOuter")->width(), 551);
    EXPECT_EQ(text->text(), QStringLiteral("正在下载（0%）")); // the stored caption until the first report

    struct TStep {
        const char* What;
        bool Reset;
        std::int32_t Total; // applied first; 0 is ignored
        std::int32_t Position;
        const char* Text;
        int Width;
    };
    const TStep steps[] = {
        {"after a reset the total is 100", true, 0, 0, "正在下载(0%)", 0},
        {"a total of 0 keeps the reset total", false, 0, 50, "正在下载(50%)", 275},
        {"half a percent step rounds up", false, 200, 1, "正在下载(1%)", 5},
        {"just below half rounds down", false, 1000000, 4999, "正在下载(0%)", 0},
        {"50 % of 551 is 275", false, 1000, 500, "正在下载(50%)", 275},
        {"a total of 0 keeps the previous total", false, 0, 250, "正在下载(25%)", 137},
        {"complete", false, 3000000, 3000000, "正在下载(100%)", 551},
        {"no upper clamp", false, 100, 150, "正在下载(150%)", 826},
        {"a reset restores the total of 100", true, 0, 7, "正在下载(7%)", 38},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.What);
        if (step.Reset) {
            window->ResetState();
        }
        window->SetProgressTotal(step.Total);
        window->SetProgressPosition(step.Position);
        EXPECT_EQ(text->text(), QString::fromUtf8(step.Text));
        EXPECT_EQ(fill->width(), step.Width);
        EXPECT_EQ(fill->height(), 19);
    }

    // A report takes the low 32 bits of its 64-bit position and size.
    THttpDownloadInfo info;
    info.Status = dsProgress;
    info.Position = (std::int64_t{1} << 32) + 250;
    info.Size = (std::int64_t{1} << 32) + 1000;
    bool stop = true;
    window->DownloadProgress(info, stop);
    EXPECT_FALSE(stop);
    EXPECT_EQ(window->Position(), 250);
    EXPECT_EQ(window->Total(), 1000);
    EXPECT_EQ(text->text(), QStringLiteral("正在下载(25%)"));
}

// ---------------------------------------------------------------------------------------------------------
// The log lines of the progress callback

TEST_F(MainWindowTest, FailureAndErrorReportsGoToTheLog) {
    auto window = Window("http://127.0.0.1:1/a.exe", "http://127.0.0.1:1/a.exe");
    const std::size_t mark = LogMark();
    THttpDownloadInfo info;
    bool stop = false;
    info.Status = dsFail;
    info.Message = "发送下载请求失败!";
    window->DownloadProgress(info, stop);
    info.Status = dsError;
    info.Message = "意外的错误";
    window->DownloadProgress(info, stop);
    info.Status = dsEnd; // not logged
    info.Message = "";
    window->DownloadProgress(info, stop);
    info.Status = dsFail; // a report without a text keeps its prefix
    info.Message = nullptr;
    window->DownloadProgress(info, stop);

    EXPECT_EQ(LogLinesSince(mark),
              (std::vector<std::string>{"下载失败dsFail： 发送下载请求失败!", "下载失败dsError: 意外的错误",
                                        "下载失败dsFail： "}));
}

// ---------------------------------------------------------------------------------------------------------
// Start-up state

TEST_F(MainWindowTest, ShownWindowMakesAndTakesTheDefaultSaveFolder) {
    TMainSeams seams;
    seams.MirrorDX = seams.MirrorLT = QStringLiteral("http://127.0.0.1:1/a.exe");
    const QString folder = FSave.path() + QStringLiteral("/下载/Keltrima/");
    seams.DefaultSaveDir = folder;
    Tfrm_Main window(seams);
    EXPECT_TRUE(window.SaveDir().isEmpty());
    window.show();
    EXPECT_EQ(window.SaveDir(), folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(PageName(window), QStringLiteral("TS1"));
    EXPECT_TRUE(Child<QRadioButton>(window, "rdbDX")->isChecked());
    EXPECT_FALSE(Child<QRadioButton>(window, "RdbLT")->isChecked());
    EXPECT_TRUE(Child<QWidget>(window, "btnClose")->isHidden());
    EXPECT_TRUE(Child<QWidget>(window, "labCustom")->isHidden());
    EXPECT_TRUE(Child<QWidget>(window, "btnInstall")->isHidden());
    // The form's area has the stored size and place; the window adds the shadow's margins around it.
    EXPECT_EQ(window.Shadow()->FormArea().size(), QSize(620, 416));
    EXPECT_EQ(window.pos() + window.Shadow()->FormArea().topLeft(), QPoint(428, 161));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Keltrima"));
}

TEST_F(MainWindowTest, FolderPickerSetsTheFolderWithATrailingDelimiterAndCancelKeepsIt) {
    auto window = Window("http://127.0.0.1:1/a.exe", "http://127.0.0.1:1/a.exe");
    EXPECT_EQ(FPickerTitle, QStringLiteral("请选择目录"));
    EXPECT_EQ(window->SaveDir(), FSave.path() + QLatin1Char('/'));
    window->labCustomClick();
    EXPECT_EQ(Child<QLineEdit>(*window, "edtDir")->text(), FSave.path() + QLatin1Char('/'));
    window->btnDirClick(); // cancelled: FPicked is empty
    EXPECT_EQ(window->SaveDir(), FSave.path() + QLatin1Char('/'));
    EXPECT_EQ(Child<QLineEdit>(*window, "edtDir")->text(), FSave.path() + QLatin1Char('/'));
}

// ---------------------------------------------------------------------------------------------------------
// The refusals before a download, each from its real cause

TEST_F(MainWindowTest, EachRefusalShowsItsMessageAndStartsNothing) {
    TNginxServer server;
    server.AddFile("uploads/" + KName.toStdString(), "content");
    const std::string good = NginxUrl(server);
    struct TCase {
        const char* What;
        std::string Dx;
        std::function<void(MainWindowTest&, Tfrm_Main&)> Arrange;
        const char* Message;
        const char* Page;
    };
    const TCase cases[] = {
        {"the folder box is empty", good,
         [](MainWindowTest&, Tfrm_Main& W) {
             W.labCustomClick();
             Child<QLineEdit>(W, "edtDir")->clear();
         },
         "请选择保存路径。", "TS2"},
        {"neither line is checked", good,
         [](MainWindowTest&, Tfrm_Main& W) {
             for (const char* name : {"rdbDX", "RdbLT"}) {
                 auto* line = Child<QRadioButton>(W, name);
                 line->setAutoExclusive(false);
                 line->setChecked(false);
             }
         },
         "找不到下载文件。", "TS1"},
        {"the address cannot be parsed", "no address at all", nullptr, "解析URL失败！", "TS1"},
        {"the address has no file name", server.BaseUrl() + "/uploads/", nullptr, "不存在下载文件！", "TS1"},
        {"no connection", good, [](MainWindowTest& T, Tfrm_Main&) { T.FOnline = false; },
         "网络异常，请检查网络后重试！", "TS1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        FOnline = true;
        auto window = Window(c.Dx, good);
        if (c.Arrange) {
            c.Arrange(*this, *window);
        }
        const std::size_t mark = LogMark();
        TDialogScript script({TAnswer::Ok});
        window->StartDownload();
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].Kind, QStringLiteral("MsgDlg"));
        EXPECT_EQ(script.Seen()[0].Text, QString::fromUtf8(c.Message));
        EXPECT_EQ(PageName(*window), QString::fromLatin1(c.Page));
        EXPECT_TRUE(LogLinesSince(mark).empty());
        EXPECT_FALSE(QFileInfo::exists(Target()));
    }
    EXPECT_EQ(FKills, 0);
}

// ---------------------------------------------------------------------------------------------------------
// Downloads

TEST_F(MainWindowTest, DownloadsFromTheChosenLine) {
    TNginxServer dx;
    TNginxServer lt;
    const std::string dxContent = BinaryPattern(300000, 1);
    const std::string ltContent = BinaryPattern(200000, 2);
    dx.AddFile("uploads/" + KName.toStdString(), dxContent);
    lt.AddFile("uploads/" + KName.toStdString(), ltContent);

    for (const bool second : {false, true}) {
        SCOPED_TRACE(second ? "联通" : "电信");
        QFile::remove(Target());
        auto window = Window(NginxUrl(dx), NginxUrl(lt));
        if (second) {
            Child<QRadioButton>(*window, "RdbLT")->setChecked(true);
        }
        TDialogScript script({});
        ClickDownloadNow(*window);
        EXPECT_TRUE(script.Seen().empty());
        EXPECT_TRUE(SameBytes(ReadAll(Target()), second ? ltContent : dxContent));
        EXPECT_EQ(window->FileName(), Target());
        EXPECT_TRUE(window->Succeeded());
        EXPECT_EQ(PageName(*window), QStringLiteral("TS3"));
        EXPECT_FALSE(Child<QWidget>(*window, "btnInstall")->isHidden());
        EXPECT_EQ(Child<QLabel>(*window, "labProcess")->text(), QStringLiteral("正在下载(100%)"));
        EXPECT_EQ(Child<QWidget>(*window, "imgProcessInner")->width(), 551);
        EXPECT_FALSE(QFileInfo::exists(Target() + QStringLiteral(".tmp")));
        EXPECT_FALSE(QFileInfo::exists(Target() + QStringLiteral(".sdc")));
    }
}

// With the maker's key only the signed installer is offered: one changed byte ends in the failure prompt,
// with the signature text in the log, no file under the installer's name and no Install picture.
TEST_F(MainWindowTest, OnlyASignedInstallerIsOffered) {
    const testsupport::TSigningKey signer;
    const std::string signedBytes = BinaryPattern(300000, 3);
    std::string changedBytes = signedBytes;
    changedBytes[150000] = static_cast<char>(changedBytes[150000] ^ 0x20);
    for (const bool changed : {false, true}) {
        SCOPED_TRACE(changed ? "one byte changed on the way" : "as signed");
        QFile::remove(Target());
        TNginxServer mirror;
        mirror.AddFile("uploads/" + KName.toStdString(), changed ? changedBytes : signedBytes);
        mirror.AddFile("uploads/" + KName.toStdString() + ".sig", signer.SignatureFile(signedBytes));
        auto window =
            Window(NginxUrl(mirror), NginxUrl(mirror), platform::ParseEd25519Key(signer.PublicKeyBase64()));
        const std::size_t mark = LogMark();
        TDialogScript script(changed ? std::vector<TAnswer>{TAnswer::Close} : std::vector<TAnswer>{});
        ClickDownloadNow(*window);
        EXPECT_EQ(window->Succeeded(), !changed);
        EXPECT_EQ(Child<QWidget>(*window, "btnInstall")->isHidden(), changed);
        if (changed) {
            ASSERT_EQ(script.Seen().size(), 1u);
            EXPECT_EQ(script.Seen()[0].Kind, QStringLiteral("Info")); // the failure prompt
            EXPECT_FALSE(QFileInfo::exists(Target()));
            const auto lines = LogLinesSince(mark);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "下载失败dsFail： 安装包签名校验失败！"),
                      lines.end());
        } else {
            EXPECT_TRUE(script.Seen().empty());
            EXPECT_TRUE(SameBytes(ReadAll(Target()), signedBytes));
        }
    }
}

TEST_F(MainWindowTest, ExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    const std::string content = BinaryPattern(120000, 3);
    testsupport::TTempDir bodies;
    const std::string body = bodies.Write("body", content);
    TFaultServer mirror(OneAnswer(body, ""));
    const std::string url = mirror.BaseUrl() + "/uploads/" + KName.toStdString();

    WriteAll(Target(), "an older file");
    {
        auto window = Window(url, url);
        TDialogScript script({TAnswer::Cancel});
        ClickDownloadNow(*window);
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].Text, Target() + QStringLiteral("已存在，需要重新下载吗？"));
        EXPECT_EQ(ReadAll(Target()), "an older file");
        EXPECT_EQ(PageName(*window), QStringLiteral("TS1"));
        EXPECT_TRUE(mirror.Requests().empty());
    }
    {
        auto window = Window(url, url);
        TDialogScript script({TAnswer::Ok});
        ClickDownloadNow(*window);
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_TRUE(SameBytes(ReadAll(Target()), content));
        EXPECT_TRUE(window->Succeeded());
    }
}

TEST_F(MainWindowTest, FailurePromptAnswers) {
    // Nothing listens on a port just found free: every attempt fails to connect.
    const std::string dead = "http://127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()) +
                             "/uploads/" + KName.toStdString();
    const std::string alsoDead = "http://127.0.0.2:" + std::to_string(testsupport::FreeLoopbackPort()) +
                                 "/uploads/" + KName.toStdString();

    {
        SCOPED_TRACE("closed: back to the start page, nothing else");
        auto window = Window(dead, alsoDead);
        const std::size_t mark = LogMark();
        TDialogScript script({TAnswer::Close});
        ClickDownloadNow(*window);
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].Kind, QStringLiteral("Info"));
        EXPECT_EQ(PageName(*window), QStringLiteral("TS1"));
        EXPECT_FALSE(window->Failed()); // reset
        EXPECT_EQ(FKills, 0);
        EXPECT_TRUE(FOpened.empty());
        const auto lines = LogLinesSince(mark);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind("下载失败dsFail： ", 0), 0u) << lines[0];
    }
    {
        SCOPED_TRACE("browser: the first mirror's address, even on the second line, then the end");
        auto window = Window(dead, alsoDead);
        Child<QRadioButton>(*window, "RdbLT")->setChecked(true);
        TDialogScript script({TAnswer::Browser});
        ClickDownloadNow(*window);
        ASSERT_EQ(script.Seen().size(), 1u);
        ASSERT_EQ(FOpened.size(), 1u);
        EXPECT_EQ(FOpened[0], QUrl(QString::fromStdString(dead)));
        EXPECT_EQ(FKills, 1);
        FOpened.clear();
        FKills = 0;
    }
    {
        SCOPED_TRACE("download again: a second attempt with the state reset");
        auto window = Window(dead, alsoDead);
        const std::size_t mark = LogMark();
        TDialogScript script({TAnswer::ReLoad, TAnswer::Close});
        ClickDownloadNow(*window);
        EXPECT_EQ(script.Seen().size(), 2u);
        EXPECT_EQ(script.Unexpected(), 0);
        const auto lines = LogLinesSince(mark);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& L) { return L.rfind("下载失败dsFail： ", 0) == 0; }),
                  2);
        EXPECT_EQ(PageName(*window), QStringLiteral("TS1"));
        EXPECT_EQ(FKills, 0);
    }
}

// A download that a close request of the window stops at a third of the file, with the answer given.
class StopTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        FContent = BinaryPattern(600000, 4);
        FBody = FBodies.Write("body", FContent);
        // About 400 KB/s: a second and a half for the whole file.
        FServer = std::make_unique<TFaultServer>(
            OneAnswer(FBody, R"(, "trickle": {"bytes": 8192, "delay_ms": 20})"));
        FUrl = FServer->BaseUrl() + "/uploads/" + KName.toStdString();
    }

    // Asks the window to close once a third of the file is in.
    void CloseWhenAThirdIsIn(Tfrm_Main& Window, QTimer& Timer) {
        QObject::connect(&Timer, &QTimer::timeout, &Window, [&Window, &Timer, this] {
            if (Window.IsDownloading() &&
                Window.Position() > static_cast<std::int32_t>(FContent.size() / 3)) {
                Timer.stop();
                Window.close();
                FCloseSeen = Window.CancelRequested() && Window.isVisible();
            }
        });
        Timer.start(5);
    }

    testsupport::TTempDir FBodies;
    std::string FContent;
    std::string FBody;
    std::unique_ptr<TFaultServer> FServer;
    std::string FUrl;
    bool FCloseSeen = false;
};

TEST_F(StopTest, ClosingDuringADownloadAsksAndEndsTheProgramWhenConfirmed) {
    auto window = Window(FUrl, FUrl);
    QTimer timer;
    CloseWhenAThirdIsIn(*window, timer);
    TDialogScript script({TAnswer::Ok});
    ClickDownloadNow(*window);
    EXPECT_TRUE(FCloseSeen);
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].Text,
              QStringLiteral("当前下载还没有完成，如果关闭软件，需要重新下载，确定关闭软件吗？"));
    EXPECT_EQ(FKills, 1);
    EXPECT_FALSE(window->IsDownloading());
    EXPECT_FALSE(QFileInfo::exists(Target()));
    EXPECT_TRUE(QFileInfo::exists(Target() + QStringLiteral(".tmp")));
}

TEST_F(StopTest, ClosingDuringADownloadAndDecliningDownloadsAgainFromWhereItStopped) {
    auto window = Window(FUrl, FUrl);
    QTimer timer;
    CloseWhenAThirdIsIn(*window, timer);
    TDialogScript script({TAnswer::Cancel});
    ClickDownloadNow(*window);
    EXPECT_TRUE(FCloseSeen);
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(FKills, 0);
    EXPECT_TRUE(window->Succeeded());
    EXPECT_TRUE(SameBytes(ReadAll(Target()), FContent));
    // The second attempt continued the temporary file.
    std::vector<std::string> ranges;
    for (const auto& request : FServer->Requests()) {
        if (request.Method == "GET") {
            ranges.push_back(request.Header("Range"));
        }
    }
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], "");
    ASSERT_EQ(ranges[1].rfind("bytes=", 0), 0u) << ranges[1];
    EXPECT_GT(std::stoll(ranges[1].substr(6)), static_cast<long long>(FContent.size() / 3));
}

TEST_F(MainWindowTest, InstallStartsTheFileAndEndsOrSaysItCannot) {
    TNginxServer server;
    server.AddFile("uploads/" + KName.toStdString(), BinaryPattern(50000, 5));
    auto window = Window(NginxUrl(server), NginxUrl(server));
    {
        TDialogScript script({});
        ClickDownloadNow(*window);
        ASSERT_TRUE(window->Succeeded());
    }
    auto* install = Child<TClickImage>(*window, "btnInstall");

    QFile::remove(Target()); // gone meanwhile: it cannot be started
    {
        TDialogScript script({TAnswer::Ok});
        QTest::mouseClick(install, Qt::LeftButton, Qt::NoModifier, install->rect().center());
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].Text, QStringLiteral("无法自动打开下载的文件。"));
        EXPECT_EQ(FKills, 0);
        EXPECT_FALSE(install->isHidden());
        EXPECT_EQ(PageName(*window), QStringLiteral("TS3"));
    }

    WriteAll(Target(), "installer");
    {
        TDialogScript script({});
        QTest::mouseClick(install, Qt::LeftButton, Qt::NoModifier, install->rect().center());
        EXPECT_TRUE(script.Seen().empty());
        ASSERT_EQ(FOpened.size(), 2u);
        EXPECT_EQ(FOpened[1], QUrl::fromLocalFile(Target()));
        EXPECT_EQ(FKills, 1);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Responsiveness while the server stalls

TEST_F(MainWindowTest, WindowKeepsServingEventsWhileTheServerStalls) {
    testsupport::TTempDir bodies;
    const std::string body = bodies.Write("body", BinaryPattern(400000, 6));
    TFaultServer server(OneAnswer(body, R"(, "stall_after": 100000, "stall_ms": 3000)"));
    const std::string url = server.BaseUrl() + "/uploads/" + KName.toStdString();
    auto window = Window(url, url);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    qint64 firstTick = -1;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (window->IsDownloading()) {
            if (firstTick < 0) {
                firstTick = now;
            } else {
                longestGap = std::max(longestGap, now - last);
            }
        }
        last = now;
    });
    clock.start();
    ticker.start(10);

    TDialogScript script({TAnswer::Close}); // the cut-off body fails
    QElapsedTimer download;
    download.start();
    ClickDownloadNow(*window);
    const qint64 took = download.elapsed();
    ticker.stop();

    EXPECT_GE(took, 3000) << "the server did not stall";
    ASSERT_GE(firstTick, 0);
    std::printf("longest gap between UI timer ticks during a %lld ms download with a 3 s stall: %lld ms\n",
                static_cast<long long>(took), static_cast<long long>(longestGap));
    // A window served only inside progress reports would miss the whole 3 s stall. The goal for the figure
    // printed above is below 100 ms; the bound checked here is looser so that a busy machine cannot fail the
    // test, while a window that waits on the network still does.
    EXPECT_LT(longestGap, 1000);
    EXPECT_EQ(script.Seen().size(), 1u);
}

// ---------------------------------------------------------------------------------------------------------
// Keyboard, screen readers and the speed line

// The control that has the keyboard focus after pressing Tab until it is the wanted one (at most ten times).
QWidget* TabTo(Tfrm_Main& Window, QWidget* Wanted) {
    for (int i = 0; i < 10 && QApplication::focusWidget() != Wanted; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &Window, Qt::Key_Tab);
    }
    return QApplication::focusWidget();
}

// A window just opened: the first Enter or Space goes to the download picture, not to the minimise button.
TEST_F(MainWindowTest, TheFirstKeyPressStartsTheDownload) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        TMainSeams seams;
        seams.MirrorDX = seams.MirrorLT = QStringLiteral("http://127.0.0.1:1/a.exe");
        seams.DefaultSaveDir = FSave.path() + QLatin1Char('/');
        seams.IsOnline = [] { return false; }; // the attempt ends at once with its message
        Tfrm_Main window(seams);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        TDialogScript script({TAnswer::Ok});
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_FALSE(window.isMinimized());
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].Text, QStringLiteral("网络异常，请检查网络后重试！"));
    }
}

TEST_F(MainWindowTest, KeyboardAloneDownloadsAndInstalls) {
    TNginxServer mirror;
    const std::string content = BinaryPattern(200000, 3);
    mirror.AddFile("uploads/" + KName.toStdString(), content);
    auto window = Window(NginxUrl(mirror), NginxUrl(mirror));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    auto* download = Child<TClickImage>(*window, "btnDownloadNow");
    ASSERT_EQ(TabTo(*window, download), download);
    TDialogScript script({});
    QTest::keyClick(download, Qt::Key_Return); // returns when the download has ended
    EXPECT_TRUE(script.Seen().empty());
    EXPECT_TRUE(SameBytes(ReadAll(Target()), content));
    ASSERT_TRUE(window->Succeeded());

    auto* install = Child<TClickImage>(*window, "btnInstall");
    ASSERT_TRUE(install->isVisible());
    ASSERT_EQ(TabTo(*window, install), install);
    QTest::keyClick(install, Qt::Key_Space);
    ASSERT_EQ(FOpened.size(), 1u);
    EXPECT_EQ(FOpened[0], QUrl::fromLocalFile(Target()));
    EXPECT_EQ(FKills, 1);
}

TEST_F(MainWindowTest, ScreenReaderHearsNamedButtonsAndTheProgress) {
    auto window = Window("http://127.0.0.1:1/a.exe", "http://127.0.0.1:1/a.exe");
    // Every picture button is a push button named after its caption, and Tab reaches it.
    const std::pair<const char*, const char*> buttons[] = {
        {"btnDownloadNow", "立即下载"}, {"btnDownload", "开始下载"}, {"btnDir", "浏览"},
        {"btnInstall", "立即安装"},     {"labCustom", "自定义下载"}, {"labBack", "返回"},
        {"btnSmall", "最小化"},         {"btnClose", "关闭"},
    };
    for (const auto& [name, caption] : buttons) {
        SCOPED_TRACE(name);
        QWidget* control = Child<QWidget>(*window, name);
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->role(), QAccessible::Button);
        EXPECT_EQ(reader->text(QAccessible::Name), QString::fromUtf8(caption));
        EXPECT_TRUE(reader->actionInterface() != nullptr && reader->actionInterface()->actionNames().contains(
                                                                QAccessibleActionInterface::pressAction()));
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus);
    }
    // The screen reader's press action presses the picture.
    int pressed = 0;
    QObject::connect(Child<TClickImage>(*window, "btnDir"), &TClickImage::OnClick, [&] { ++pressed; });
    QAccessible::queryAccessibleInterface(Child<QWidget>(*window, "btnDir"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pressed, 1);

    // The progress bar tells its value in percent.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Child<QWidget>(*window, "Panel1"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    ASSERT_NE(bar->valueInterface(), nullptr);
    window->SetProgressTotal(1000);
    window->SetProgressPosition(420);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 42);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
    EXPECT_EQ(bar->text(QAccessible::Value), QStringLiteral("42%"));
}

TEST_F(MainWindowTest, SpeedLineShowsTheTextsOfTheLastReport) {
    auto window = Window("http://127.0.0.1:1/a.exe", "http://127.0.0.1:1/a.exe");
    auto* speed = Child<QLabel>(*window, "labSpeed");
    EXPECT_TRUE(speed->text().isEmpty());
    THttpDownloadInfo info;
    info.Status = dsProgress;
    info.Position = 250;
    info.Size = 1000;
    info.Speed = 1572864;
    info.SpeedText.Assign(FormatSpeed(1572864));
    info.RemainTime = 10000;
    info.RemainTimeText.Assign(FormatRemainTime(10000));
    bool stop = false;
    window->DownloadProgress(info, stop);
    EXPECT_EQ(speed->text(), QStringLiteral("1.50MB/s  剩余 00:00:10"));
    // The percentage and the bar stay as they are.
    EXPECT_EQ(Child<QLabel>(*window, "labProcess")->text(), QStringLiteral("正在下载(25%)"));
    EXPECT_EQ(Child<QWidget>(*window, "imgProcessInner")->width(), 137);
    // The line sits under the bar, inside its panel.
    auto* track = Child<QWidget>(*window, "imgProcessOuter");
    EXPECT_EQ(speed->parentWidget(), track->parentWidget());
    EXPECT_GE(speed->y(), track->y() + track->height());

    info.SpeedText.Assign(FormatSpeed(2621440));
    info.RemainTimeText.Assign(FormatRemainTime(83000));
    window->DownloadProgress(info, stop);
    EXPECT_EQ(speed->text(), QStringLiteral("2.50MB/s  剩余 00:01:23"));

    // A new attempt's first reports come before its first measurement: no speed and no time left yet, so
    // the line is empty again instead of showing "0.00B/s  剩余 00:00:00"; a speed unknown for the time
    // left still shows.
    info.Speed = 0;
    info.SpeedText.Assign(FormatSpeed(0));
    info.RemainTime = 0;
    info.RemainTimeText.Assign(FormatRemainTime(0));
    window->DownloadProgress(info, stop);
    EXPECT_TRUE(speed->text().isEmpty());
    info.Speed = 1024;
    info.SpeedText.Assign(FormatSpeed(1024));
    info.RemainTime = -1;
    info.RemainTimeText.Assign(FormatRemainTime(-1));
    window->DownloadProgress(info, stop);
    EXPECT_EQ(speed->text(), QStringLiteral("1024.00B/s  剩余 --:--:--"));
}

} // namespace
