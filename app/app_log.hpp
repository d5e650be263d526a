// The log operation: every line is appended, with a time stamp, to the log
// file in the user's state folder ("<state>/QRVTAV_log.txt"); the view-log
// command opens that file. Logging never fails the caller: when the file
// cannot be written the line is dropped.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "model/document_events.hpp"

namespace tav {

inline constexpr std::string_view kLogFileName = "QRVTAV_log.txt";

class AppLog {
public:
    // The time stamp in front of each line; by default local time as
    // "YYYY-MM-DD HH:MM:SS". Tests pass a fixed one.
    using Clock = std::function<std::string()>;

    AppLog() = default;  // closed: lines are dropped
    explicit AppLog(std::string path, Clock clock = {});
    ~AppLog();
    AppLog(const AppLog&) = delete;
    AppLog& operator=(const AppLog&) = delete;

    // (Re)opens on a file for appending, creating its folder; the previous file is closed.
    void Open(std::string path, Clock clock = {});
    void Close();
    const std::string& Path() const { return path_; }
    // Appends "<stamp> <line>\n". Line breaks inside the line become blanks so
    // that one call stays one line of the file.
    void Log(std::string_view utf8Line);

private:
    std::string path_;
    Clock clock_;
    std::FILE* file_ = nullptr;
};

// The document's events with its log lines going to the log as well; every
// event is also handed to `next` (the window's events) when one is given.
class LoggingDocumentEvents final : public DocumentEvents {
public:
    explicit LoggingDocumentEvents(AppLog& log, DocumentEvents* next = nullptr) : log_(log), next_(next) {}
    void SetNext(DocumentEvents* next) { next_ = next; }

    void Log(std::string_view utf8Line) override;
    void BeginWait() override;
    void EndWait() override;
    void RefreshPointList() override;
    void RefreshViews() override;

private:
    AppLog& log_;
    DocumentEvents* next_;
};

}  // namespace tav
