#include "app/app_log.hpp"

#include <ctime>

#include "app/app_environment.hpp"

namespace tav {
namespace {

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

AppLog::AppLog(std::string path, Clock clock) { Open(std::move(path), std::move(clock)); }

AppLog::~AppLog() { Close(); }

void AppLog::Open(std::string path, Clock clock) {
    Close();
    path_ = std::move(path);
    clock_ = clock ? std::move(clock) : Clock(LocalTimeStamp);
    EnsureFolder(FolderOf(path_));
    file_ = std::fopen(path_.c_str(), "ae");
}

void AppLog::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void AppLog::Log(std::string_view utf8Line) {
    if (!file_) return;
    std::string line = clock_();
    line += ' ';
    for (char c : utf8Line) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

void LoggingDocumentEvents::Log(std::string_view utf8Line) {
    log_.Log(utf8Line);
    if (next_) next_->Log(utf8Line);
}
void LoggingDocumentEvents::BeginWait() {
    if (next_) next_->BeginWait();
}
void LoggingDocumentEvents::EndWait() {
    if (next_) next_->EndWait();
}
void LoggingDocumentEvents::RefreshPointList() {
    if (next_) next_->RefreshPointList();
}
void LoggingDocumentEvents::RefreshViews() {
    if (next_) next_->RefreshViews();
}

}  // namespace tav
