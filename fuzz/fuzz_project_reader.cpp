// Any bytes as a project file: loading must end with a status, never a crash.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/document.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tav::CTAV_AnalyserDoc doc;
    doc.LoadProject(std::span<const std::uint8_t>(data, size));
    if (doc.hasPoints) doc.SaveProject();
    return 0;
}
