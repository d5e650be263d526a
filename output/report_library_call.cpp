#include "output/report_library_call.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <array>

namespace tav {

namespace {

using BuildFunction = std::int32_t (*)(const char*, const char*, std::int32_t*);
using DescribeFunction = void (*)(std::int32_t, char*, std::int32_t);

std::string FolderOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string("./") : std::string(path.substr(0, slash + 1));
}

}  // namespace

std::vector<std::string> ReportLibraryCandidates(std::string_view executablePath) {
    const std::string program = FolderOf(executablePath);
    return {program + kReportLibraryFile, program + "../lib/tav-analyser/" + kReportLibraryFile,
            program + "../lib/" + kReportLibraryFile};
}

std::string FindReportLibrary(std::string_view executablePath) {
    for (const auto& candidate : ReportLibraryCandidates(executablePath))
        if (::access(candidate.c_str(), R_OK) == 0) return candidate;
    return kReportLibraryFile;
}

std::string ReportDocumentPath(std::string_view dataFile) {
    const auto slash = dataFile.find_last_of('/');
    const auto dot = dataFile.find_last_of('.');
    const bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    return std::string(hasExtension ? dataFile.substr(0, dot) : dataFile) + ".docx";
}

std::string CallReportLibrary(const std::string& library, const std::string& dataFile, const std::string& document,
                              std::int32_t& progress) {
    std::atomic_ref<std::int32_t>(progress).store(0);
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return "未找到动态链接库";
    std::string error;
    const auto build = reinterpret_cast<BuildFunction>(::dlsym(handle, "Fun001"));
    if (!build) {
        error = "未找到输出函数1";
    } else {
        static_assert(std::atomic_ref<std::int32_t>::is_always_lock_free);
        const std::int32_t rc = build(dataFile.c_str(), document.c_str(), &progress);
        if (rc != 0) {
            const auto describe = reinterpret_cast<DescribeFunction>(::dlsym(handle, "Fun002"));
            std::array<char, kReportErrorTextSize> text{};
            if (describe) describe(rc, text.data(), static_cast<std::int32_t>(text.size()));
            text.back() = '\0';
            error = describe && text[0] != '\0' ? std::string(text.data())
                                                : "错误号：" + std::to_string(rc) + "，但未能获取错误描述";
        }
    }
    ::dlclose(handle);
    return error;
}

}  // namespace tav
