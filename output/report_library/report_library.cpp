// The report library's two C entry points (see output/report_library_call.hpp
// for the contract the program relies on). Nothing may escape them but an
// error number.
#include <cstdint>
#include <cstring>
#include <new>

#include "base/atomic_file.hpp"
#include "output/report_library/report_builder.hpp"

extern "C" {

__attribute__((visibility("default"))) std::int32_t Fun001(const char* dataFile, const char* document,
                                                             std::int32_t* progress) {
    using namespace tav::report;
    if (!dataFile || !document || !*dataFile || !*document) return kReportBadArguments;
    // The program frees the library after the call; it keeps its signal handlers to itself.
    tav::RemoveTemporariesOnSignals(false);
    try {
        return BuildReport(dataFile, document, progress);
    } catch (const std::bad_alloc&) {
        return kReportOutOfMemory;
    } catch (...) {
        return kReportDocumentUnwritable;
    }
}

__attribute__((visibility("default"))) void Fun002(std::int32_t error, char* text, std::int32_t size) {
    if (!text || size <= 0) return;
    const std::string_view description = tav::report::ReportErrorText(error);
    // As much as fits, never half a character.
    std::size_t n = std::min(description.size(), static_cast<std::size_t>(size) - 1);
    while (n > 0 && n < description.size() && (static_cast<unsigned char>(description[n]) & 0xC0) == 0x80) --n;
    std::memcpy(text, description.data(), n);
    text[n] = '\0';
}

}  // extern "C"
