#include "app/f_Logger.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QIcon>
#include <QList>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kContainerError = "日志容器类型不支持:";
constexpr const char* kDefaultSubFolder = "Keltrima/Log/";
// Lines a container keeps before it is emptied.
constexpr int kContainerLimit = 1000;

std::string RunningExecutable() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

// Blanks and control characters (everything up to U+0020) are trimmed from both ends.
bool IsBlank(const std::string& Text) {
    for (unsigned char c : Text) {
        if (c > ' ') {
            return false;
        }
    }
    return true;
}

const char* LevelTag(std::int32_t Level) {
    switch (Level) {
    case llInformation:
        return "[Information] ";
    case llNotice:
        return "[Notice] ";
    case llWarning:
        return "[Warning] ";
    case llError:
        return "[Error] ";
    default:
        return "";
    }
}

void ScrollOneLineDown(QAbstractScrollArea* Area) {
    // Item views lay out new rows later; without the layout now, the step is clamped to the old range and
    // a shown view falls one line behind with every message. A hidden one is laid out when it is shown.
    auto* view = qobject_cast<QAbstractItemView*>(Area);
    if (view != nullptr && view->isVisible()) {
        view->doItemsLayout();
    }
    Area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

} // namespace

void TLogger::TFileHandle::Close() {
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

TLogger::TLogger(QWidget* Container, const std::string& Folder, const std::string& ProgramFile)
    : FContainer(Container) {
    const std::filesystem::path program = ProgramFile.empty() ? RunningExecutable() : ProgramFile;
    FProgramName = program.stem().string();

    if (IsBlank(Folder)) {
        std::string dir = program.parent_path().string();
        if (!dir.empty() && dir.back() != '/') {
            dir += '/';
        }
        FFolder = dir + kDefaultSubFolder;
    } else {
        // Used as given: without a trailing "/" the file name is glued to the last component.
        FFolder = Folder;
    }

    std::error_code ec;
    if (!std::filesystem::is_directory(FFolder, ec)) {
        std::filesystem::create_directories(FFolder, ec);
        if (!std::filesystem::is_directory(FFolder, ec)) {
            throw std::runtime_error(KLogFolderError);
        }
    }
}

TLogger::~TLogger() = default;

std::string TLogger::GetFileName() const {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FFileName;
}

void TLogger::Write(const std::string& Message, std::int32_t LogLevel) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    const QDateTime when = Now();
    // A zero byte ends the message; the line still gets its end.
    const std::string message = Message.substr(0, Message.find('\0'));

    ShowInContainer(when, message, LogLevel);
    if (LogLevel < 0) {
        return;
    }
    WriteToFile(when, message, LogLevel);
}

void TLogger::ShowInContainer(const QDateTime& When, const std::string& Message, std::int32_t LogLevel) {
    QWidget* const container = FContainer.data();
    if (container == nullptr) {
        return;
    }
    const QString stamp = When.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss.zzz"));
    const QString text = stamp + QLatin1Char(' ') + QString::fromStdString(Message);

    if (auto* edit = qobject_cast<QPlainTextEdit*>(container)) {
        edit->appendPlainText(text);
        const int index = edit->document()->blockCount() - 1;
        ScrollOneLineDown(edit);
        if (index >= kContainerLimit) {
            edit->clear();
        }
    } else if (auto* list = qobject_cast<QListWidget*>(container)) {
        list->addItem(text);
        const int index = list->count() - 1;
        ScrollOneLineDown(list);
        if (index >= kContainerLimit) {
            list->clear();
        }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(container)) {
        if (tree->columnCount() < 2) {
            tree->setColumnCount(2);
        }
        auto* item = new QTreeWidgetItem(tree);
        item->setText(0, stamp);
        item->setText(1, QString::fromStdString(Message));
        const auto images = tree->property("ImageList").value<QList<QIcon>>();
        if (LogLevel >= 0 && LogLevel < images.size()) {
            item->setIcon(0, images.at(LogLevel));
        }
        ScrollOneLineDown(tree);
        if (tree->topLevelItemCount() >= kContainerLimit) {
            tree->clear();
        }
    } else {
        throw std::runtime_error(std::string(kContainerError) + container->metaObject()->className());
    }
}

void TLogger::WriteToFile(const QDateTime& When, const std::string& Message, std::int32_t LogLevel) {
    const std::string dated =
        FProgramName + "_" + When.toString(QStringLiteral("yyyyMMdd")).toStdString() + ".log";
    if (FFileName.empty()) {
        FFileName = dated;
    }
    const std::string path = FFolder + FFileName;

    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);

    FFile.Close();
    // Never truncated: a file that appeared since the test above is appended to like any other.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "无法打开日志文件 " + path);
    }
    // A file created here is ours alone until the next line; an existing one is shared with other writers.
    if (::flock(fd, (existed ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "日志文件被占用 " + path);
    }
    FFile.Reset(fd);

    const std::string line = When.toString(QStringLiteral("hh:mm:ss.zzz")).toStdString() + " " +
                             LevelTag(LogLevel) + Message + "\r\n";
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            FFile.Close();
            throw std::system_error(error, std::generic_category(), "无法写入日志文件 " + path);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}
