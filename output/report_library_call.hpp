// Calling the report library: it is loaded by name when a report is made and
// freed when the call returns, so a report library installed or updated while
// the program runs is the one used next time. Its two C entry points:
//
//   int32_t Fun001(const char* dataFile, const char* document, int32_t* progress);
//       builds the document from the report data file, raising *progress as it
//       works (read from another thread while it runs, so the library stores
//       it atomically); 0 for success, else an
//       error number.
//   void Fun002(int32_t error, char* text, int32_t size);
//       the error's description (UTF-8, 0-terminated, at most size bytes).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

// The library's file name, as the build names it.
inline constexpr char kReportLibraryFile[] = "libtav_report.so";
inline constexpr int kReportErrorTextSize = 64;

// Where the library is looked for: beside the executable (the build folder),
// then <program>/../lib/tav-analyser/ and <program>/../lib/ (an install).
std::vector<std::string> ReportLibraryCandidates(std::string_view executablePath);
// The first candidate that exists, else the bare file name (the loader's own search).
std::string FindReportLibrary(std::string_view executablePath);

// The document path of a data file: its extension replaced by ".docx".
std::string ReportDocumentPath(std::string_view dataFile);

// Loads the library, calls Fun001 and frees it. "" on success, else the text
// the progress dialog shows: "未找到动态链接库", "未找到输出函数1", the
// library's description of its error number, or "错误号：%d，但未能获取错误描述".
std::string CallReportLibrary(const std::string& library, const std::string& dataFile, const std::string& document,
                              std::int32_t& progress);

// The counter as another thread sees it while the library raises it.
inline std::int32_t ReadReportProgress(std::int32_t& progress) {
    return std::atomic_ref<std::int32_t>(progress).load(std::memory_order_relaxed);
}

}  // namespace tav
