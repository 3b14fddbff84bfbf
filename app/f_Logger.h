// The log writer: time-stamped, levelled lines appended to a daily-named file in a fixed folder beside the
// program, each message optionally echoed into a display control.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include <QDateTime>
#include <QPointer>
#include <QWidget>

// What the constructor raises when the log folder cannot be made.
inline constexpr const char* KLogFolderError = "日志路径错误，日志类对象不能被创建";

// Level tags put before the message in the file; 4 and above have none, below 0 is shown only.
enum TLogLevel : std::int32_t {
    llInformation = 0,
    llNotice = 1,
    llWarning = 2,
    llError = 3,
};

// Appends one line per message to "<program>_<yyyymmdd>.log" in its folder.
//
// Every line goes to the operating system by its own write(2) while the file is open, so a line survives an
// abrupt end of the process. The file is opened anew for every line: a file that this writer has just created
// is held exclusively (an exclusive flock) until the next line reopens it with sharing (a shared flock), and
// a file held exclusively by another open makes Write raise.
//
// Containers served (any other widget makes Write raise "日志容器类型不支持:" + its class name):
//   QPlainTextEdit  the text as a new last line; cleared when that line's index reaches 1000
//   QListWidget     the text as a new last item; cleared when that item's index reaches 1000
//   QTreeWidget     a new item, column 0 the date and time, column 1 the message; all items removed when the
//                   count reaches 1000. When the widget carries a dynamic property "ImageList" holding a
//                   QList<QIcon> with more than Level entries, the item shows the icon at index Level.
// Each of them is then scrolled one line down.
class TLogger {
public:
    // Container may be null; a destroyed container is no longer shown to. An empty Folder (after trimming
    // blanks and control characters) means "Keltrima/Log/" beside the executable; any other Folder is used as
    // given, so it should end with "/". ProgramFile names the program whose base name starts the log file's
    // name and whose folder holds the default log folder; empty means the running executable. Raises
    // std::runtime_error("日志路径错误，日志类对象不能被创建") when the folder cannot be created.
    explicit TLogger(QWidget* Container, const std::string& Folder, const std::string& ProgramFile = {});
    virtual ~TLogger();

    TLogger(const TLogger&) = delete;
    TLogger& operator=(const TLogger&) = delete;

    // Shows Message in the container, then (for Level >= 0) appends the line
    // "hh:nn:ss.zzz" + " " + tag + Message + CR LF. A message is cut at its first zero byte; the line end
    // stays. Raises std::system_error when the file cannot be opened or written, and std::runtime_error for
    // an unsupported container (then nothing is written). The logger holds no file after a failure, and the
    // next Write tries again.
    void Write(const std::string& Message, std::int32_t LogLevel = llInformation);

    const std::string& GetFolder() const { return FFolder; }
    // Empty until the first line goes to the file; fixed from then on, also past midnight.
    std::string GetFileName() const;

protected:
    // The clock of the time stamps and of the file's date; tests replace it.
    virtual QDateTime Now() const { return QDateTime::currentDateTime(); }

private:
    // The open log file's descriptor, closed on destruction.
    class TFileHandle {
    public:
        TFileHandle() = default;
        ~TFileHandle() { Close(); }
        TFileHandle(const TFileHandle&) = delete;
        TFileHandle& operator=(const TFileHandle&) = delete;
        void Reset(int Fd) {
            Close();
            FFd = Fd;
        }
        void Close();
        int Get() const { return FFd; }

    private:
        int FFd = -1;
    };

    void ShowInContainer(const QDateTime& When, const std::string& Message, std::int32_t LogLevel);
    void WriteToFile(const QDateTime& When, const std::string& Message, std::int32_t LogLevel);

    mutable std::recursive_mutex FLock;
    TFileHandle FFile;
    QPointer<QWidget> FContainer; // forgotten when the control is destroyed first
    std::string FFolder;
    std::string FFileName;
    std::string FProgramName; // the program file's name without its extension
};
