// The log writer against real files in a temporary folder standing for the program's folder, and real
// widgets under the offscreen platform.
#include "app/f_Logger.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A logger whose clock the test sets.
class TClockedLogger : public TLogger {
public:
    using TLogger::TLogger;
    QDateTime FNow{QDate(2024, 3, 5), QTime(9, 5, 3, 7)};

protected:
    QDateTime Now() const override { return FNow; }
};

std::string ReadFile(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Entries(const fs::path& Dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// An open of the file held with an exclusive flock: what another program holding the file looks like.
class THeldFile {
public:
    explicit THeldFile(const fs::path& Path) : FFd(::open(Path.c_str(), O_RDWR | O_CLOEXEC)) {
        EXPECT_GE(FFd, 0) << Path;
        EXPECT_EQ(::flock(FFd, LOCK_EX | LOCK_NB), 0);
    }
    ~THeldFile() { Release(); }
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;
    void Release() {
        if (FFd >= 0) {
            ::close(FFd);
            FFd = -1;
        }
    }

private:
    int FFd;
};

class LoggerTest : public ::testing::Test {
protected:
    QTemporaryDir FTemp;
    fs::path FProgramDir = FTemp.path().toStdString();
    // The program file the logger names its files after; it need not exist.
    std::string FProgram = (FProgramDir / "setup.exe").string();
    fs::path FDefaultFolder = FProgramDir / "Keltrima" / "Log";

    fs::path LogFile(const char* Date = "20240305") const {
        return FDefaultFolder / (std::string("setup_") + Date + ".log");
    }
};

TEST_F(LoggerTest, EmptyFolderMeansKeltrimaLogBesideTheProgramAndNoFileUntilTheFirstWrite) {
    for (const std::string& folder : {std::string(), std::string(" \t\r\n")}) {
        SCOPED_TRACE("folder \"" + folder + "\"");
        fs::remove_all(FProgramDir / "Keltrima");
        TClockedLogger logger(nullptr, folder, FProgram);
        EXPECT_EQ(logger.GetFolder(), FDefaultFolder.string() + "/");
        ASSERT_TRUE(fs::is_directory(FDefaultFolder));
        EXPECT_TRUE(Entries(FDefaultFolder).empty());
        EXPECT_EQ(logger.GetFileName(), "");

        logger.Write("下载失败dsFail： 发送下载请求失败!", llInformation);
        EXPECT_EQ(logger.GetFileName(), "setup_20240305.log");
        // Read while the logger still holds the file: the line went to the system at once.
        EXPECT_EQ(ReadFile(LogFile()), "09:05:03.007 [Information] 下载失败dsFail： 发送下载请求失败!\r\n");
    }
}

TEST_F(LoggerTest, TheFirstWriteFixesTheFileAlsoPastMidnightAndANewRunStartsItsOwnDay) {
    {
        TClockedLogger logger(nullptr, "", FProgram);
        logger.FNow = QDateTime(QDate(2024, 3, 5), QTime(23, 59, 59, 999));
        logger.Write("first", llInformation);
        logger.FNow = QDateTime(QDate(2024, 3, 6), QTime(0, 0, 0, 1));
        logger.Write("second", llInformation);
        EXPECT_EQ(ReadFile(LogFile()),
                  "23:59:59.999 [Information] first\r\n00:00:00.001 [Information] second\r\n");
        EXPECT_FALSE(fs::exists(LogFile("20240306")));
    }
    TClockedLogger nextRun(nullptr, "", FProgram);
    nextRun.FNow = QDateTime(QDate(2024, 3, 6), QTime(8, 0, 0, 0));
    nextRun.Write("next run", llInformation);
    EXPECT_EQ(ReadFile(LogFile("20240306")), "08:00:00.000 [Information] next run\r\n");
    // The earlier file is only ever appended to, never touched by a later run.
    EXPECT_EQ(ReadFile(LogFile()),
              "23:59:59.999 [Information] first\r\n00:00:00.001 [Information] second\r\n");
}

TEST_F(LoggerTest, LevelTags) {
    struct TCase {
        std::int32_t Level;
        const char* Line; // nullptr: nothing reaches the file
    };
    const TCase cases[] = {
        {0, "09:05:03.007 [Information] m\r\n"},
        {1, "09:05:03.007 [Notice] m\r\n"},
        {2, "09:05:03.007 [Warning] m\r\n"},
        {3, "09:05:03.007 [Error] m\r\n"},
        {4, "09:05:03.007 m\r\n"},
        {7, "09:05:03.007 m\r\n"},
        {-1, nullptr},
        {INT32_MIN, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.Level));
        fs::remove_all(FProgramDir / "Keltrima");
        QPlainTextEdit box;
        TClockedLogger logger(&box, "", FProgram);
        logger.Write("m", c.Level);
        // Every level is shown, without its tag.
        EXPECT_EQ(box.toPlainText().toStdString(), "2024/03/05 09:05:03.007 m");
        if (c.Line != nullptr) {
            EXPECT_EQ(ReadFile(LogFile()), c.Line);
        } else {
            EXPECT_TRUE(Entries(FDefaultFolder).empty());
            EXPECT_EQ(logger.GetFileName(), "");
        }
    }
}

TEST_F(LoggerTest, AFolderWithoutTrailingDelimiterGluesTheFileNameToIt) {
    const std::string folder = (FProgramDir / "logs").string();
    TClockedLogger logger(nullptr, folder, FProgram);
    EXPECT_TRUE(fs::is_directory(folder));
    logger.Write("x", llInformation);
    EXPECT_EQ(ReadFile(FProgramDir / "logssetup_20240305.log"), "09:05:03.007 [Information] x\r\n");
    EXPECT_TRUE(Entries(folder).empty());
}

// Without a program file given, the running executable names the file.
TEST_F(LoggerTest, TheRunningProgramNamesTheFile) {
    TLogger logger(nullptr, FProgramDir.string() + "/");
    logger.Write("hello", llInformation);
    const std::string name = "test_log_" + QDate::currentDate().toString("yyyyMMdd").toStdString() + ".log";
    EXPECT_EQ(logger.GetFileName(), name);
    EXPECT_TRUE(fs::exists(FProgramDir / name));
}

TEST_F(LoggerTest, AGivenFolderIsCreatedWithItsParents) {
    const fs::path folder = FProgramDir / "a" / "b" / "c";
    TClockedLogger logger(nullptr, folder.string() + "/", FProgram);
    logger.Write("deep", llError);
    EXPECT_EQ(ReadFile(folder / "setup_20240305.log"), "09:05:03.007 [Error] deep\r\n");
}

TEST_F(LoggerTest, AFolderThatCannotBeCreatedRaisesThePathError) {
    // A plain file where a parent folder is expected stops root too.
    std::ofstream(FProgramDir / "blocker") << "not a folder";
    for (const std::string& folder :
         {(FProgramDir / "blocker" / "Log").string() + "/", (FProgramDir / "blocker").string()}) {
        SCOPED_TRACE(folder);
        try {
            TLogger logger(nullptr, folder, FProgram);
            ADD_FAILURE() << "the logger was created";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "日志路径错误，日志类对象不能被创建");
        }
    }
}

TEST_F(LoggerTest, AnUnsupportedContainerRaisesOnEveryWriteAndNothingIsWritten) {
    QLabel label;
    TClockedLogger logger(&label, "", FProgram);
    for (std::int32_t level : {0, 3, -1}) {
        SCOPED_TRACE(level);
        try {
            logger.Write("lost", level);
            ADD_FAILURE() << "Write did not raise";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "日志容器类型不支持:QLabel");
        }
    }
    EXPECT_TRUE(Entries(FDefaultFolder).empty());
    EXPECT_EQ(logger.GetFileName(), "");
    EXPECT_TRUE(label.text().isEmpty());
}

// The text box and the line list clear when the new line's index reaches 1000; the list view when its
// count does, one message earlier.
TEST_F(LoggerTest, ContainerLimits) {
    QPlainTextEdit box;
    QListWidget list;
    QTreeWidget view;
    struct TCase {
        const char* Name;
        QWidget* Container;
        std::function<int()> Lines;
        int KeptAfter; // messages the container still shows in full; the next one clears it
    };
    const TCase cases[] = {
        {"text box", &box, [&] { return box.toPlainText().isEmpty() ? 0 : box.document()->blockCount(); },
         1000},
        {"line list", &list, [&] { return list.count(); }, 1000},
        {"list view", &view, [&] { return view.topLevelItemCount(); }, 999},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(FProgramDir / "Keltrima");
        TClockedLogger logger(c.Container, "", FProgram);
        for (int i = 1; i <= c.KeptAfter; ++i) {
            logger.Write("message " + std::to_string(i), -1);
        }
        ASSERT_EQ(c.Lines(), c.KeptAfter);
        logger.Write("the one too many", -1);
        EXPECT_EQ(c.Lines(), 0);
        logger.Write("after", -1);
        EXPECT_EQ(c.Lines(), 1);
    }
    EXPECT_EQ(box.toPlainText().toStdString(), "2024/03/05 09:05:03.007 after");
    EXPECT_EQ(list.item(0)->text().toStdString(), "2024/03/05 09:05:03.007 after");
}

TEST_F(LoggerTest, AContainerDestroyedBeforeTheLoggerIsNoLongerShownTo) {
    auto* list = new QListWidget;
    TClockedLogger logger(list, "", FProgram);
    logger.Write("shown", 0);
    delete list;
    logger.Write("file only", 0);
    EXPECT_EQ(ReadFile(LogFile()),
              "09:05:03.007 [Information] shown\r\n09:05:03.007 [Information] file only\r\n");
}

TEST_F(LoggerTest, TheListViewShowsDateAndMessageAndTheLevelsImage) {
    QTreeWidget view;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    QPixmap blue(16, 16);
    blue.fill(Qt::blue);
    view.setProperty("ImageList", QVariant::fromValue(QList<QIcon>{QIcon(red), QIcon(blue)}));
    TClockedLogger logger(&view, "", FProgram);
    logger.Write("zero", 0);
    logger.Write("one", 1);
    logger.Write("three", 3);
    logger.Write("hidden", -1);
    ASSERT_EQ(view.topLevelItemCount(), 4);
    EXPECT_EQ(view.topLevelItem(0)->text(0).toStdString(), "2024/03/05 09:05:03.007");
    EXPECT_EQ(view.topLevelItem(0)->text(1).toStdString(), "zero");
    EXPECT_EQ(view.topLevelItem(0)->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(view.topLevelItem(1)->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_TRUE(view.topLevelItem(2)->icon(0).isNull()); // only two images: none for level 3
    EXPECT_TRUE(view.topLevelItem(3)->icon(0).isNull());
    EXPECT_EQ(view.topLevelItem(3)->text(1).toStdString(), "hidden");
}

// Each message scrolls the control one line down, so a view that follows the log keeps its last line in
// sight.
TEST_F(LoggerTest, EveryMessageScrollsOneLineDown) {
    QPlainTextEdit box;
    QListWidget list;
    QTreeWidget view;
    for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{&box, &list, &view}) {
        SCOPED_TRACE(area->metaObject()->className());
        area->resize(300, 120);
        area->show();
        TClockedLogger logger(area, "", FProgram);
        QScrollBar* bar = area->verticalScrollBar();
        for (int i = 0; i < 40; ++i) {
            logger.Write("line " + std::to_string(i), -1);
            QApplication::processEvents();
        }
        EXPECT_GT(bar->maximum(), 0);
        const int before = bar->value();
        EXPECT_EQ(before, bar->maximum()) << "the last line is out of sight";
        bar->setValue(0);
        logger.Write("one more", -1);
        QApplication::processEvents();
        EXPECT_EQ(bar->value(), bar->singleStep()) << "was at " << before;
    }
}

TEST_F(LoggerTest, AFileHeldByAnotherOpenMakesWriteRaiseAndTheNextWriteSucceeds) {
    {
        TClockedLogger earlierRun(nullptr, "", FProgram);
        earlierRun.Write("one", 0);
    }
    TClockedLogger logger(nullptr, "", FProgram);
    {
        THeldFile other(LogFile());
        EXPECT_THROW(logger.Write("lost", 0), std::system_error);
        EXPECT_EQ(logger.GetFileName(), "setup_20240305.log");
    }
    logger.Write("two", 0);
    // While the logger has the file open, nobody else can hold it exclusively.
    const int fd = ::open(LogFile().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    logger.Write("three", 0);
    EXPECT_EQ(ReadFile(LogFile()), "09:05:03.007 [Information] one\r\n09:05:03.007 [Information] two\r\n"
                                   "09:05:03.007 [Information] three\r\n");
}

// A file this logger has just created is its own until its next line reopens it with sharing.
TEST_F(LoggerTest, AFreshlyCreatedFileIsHeldExclusivelyUntilTheNextLine) {
    TClockedLogger first(nullptr, "", FProgram);
    TClockedLogger second(nullptr, "", FProgram);
    first.Write("created", 0);
    EXPECT_THROW(second.Write("refused", 0), std::system_error);
    first.Write("shared now", 0);
    second.Write("allowed", 0);
    first.Write("both", 0);
    EXPECT_EQ(ReadFile(LogFile()),
              "09:05:03.007 [Information] created\r\n09:05:03.007 [Information] shared now\r\n"
              "09:05:03.007 [Information] allowed\r\n09:05:03.007 [Information] both\r\n");
}

TEST_F(LoggerTest, AFileThatCannotBeOpenedRaisesAndTheLoggerTriesAgainNextTime) {
    TClockedLogger logger(nullptr, "", FProgram);
    fs::create_directories(LogFile()); // a folder where the file is expected
    EXPECT_THROW(logger.Write("lost", 0), std::system_error);
    fs::remove(LogFile());
    logger.Write("found", 0);
    EXPECT_EQ(ReadFile(LogFile()), "09:05:03.007 [Information] found\r\n");
}

TEST_F(LoggerTest, AZeroByteCutsTheMessageButKeepsTheLineEnd) {
    QPlainTextEdit box;
    TClockedLogger logger(&box, "", FProgram);
    logger.Write(std::string("before\0after", 12), 0);
    logger.Write("next", 0);
    EXPECT_EQ(ReadFile(LogFile()),
              "09:05:03.007 [Information] before\r\n09:05:03.007 [Information] next\r\n");
    EXPECT_EQ(box.toPlainText().toStdString(),
              "2024/03/05 09:05:03.007 before\n2024/03/05 09:05:03.007 next");
}

// A control's handler that logs while it is being shown a message re-enters the lock on the same thread.
TEST_F(LoggerTest, WriteMayBeReenteredFromTheContainer) {
    QListWidget list;
    TClockedLogger logger(&list, "", FProgram);
    bool inside = false;
    QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, [&] {
        if (!inside) {
            inside = true;
            logger.Write("nested", llNotice);
        }
    });
    logger.Write("outer", llInformation);
    EXPECT_EQ(list.count(), 2);
    // The nested message reached the file first: the outer one was still being shown.
    EXPECT_EQ(ReadFile(LogFile()), "09:05:03.007 [Notice] nested\r\n09:05:03.007 [Information] outer\r\n");
}

TEST_F(LoggerTest, LinesFromSeveralThreadsNeverInterleave) {
    TLogger logger(nullptr, "", FProgram);
    const int threads = 4;
    const int lines = 150;
    const std::string payload(300, 'x');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                logger.Write(std::to_string(t) + payload, llWarning);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    std::ifstream in(FDefaultFolder / logger.GetFileName(), std::ios::binary);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        // "hh:nn:ss.zzz [Warning] " + digit + payload + CR
        ASSERT_EQ(line.size(), 23 + 1 + payload.size() + 1) << line;
        EXPECT_EQ(line.substr(12, 11), " [Warning] ");
        EXPECT_EQ(line.substr(24, payload.size()), payload);
        EXPECT_EQ(line.back(), '\r');
    }
    EXPECT_EQ(count, threads * lines);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
