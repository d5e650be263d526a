// Any bytes as "CustFlaw.dat": reading keeps only whole records, and writing
// them back gives the same records again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/custom_defects.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto list = tav::ParseCustomDefects(std::span<const std::uint8_t>(data, size));
    if (list.size() > tav::kMaxCustomDefects || list.size() > size / tav::kCustomDefectRecordBytes) std::abort();
    const auto bytes = tav::SerializeCustomDefects(list);
    if (bytes.size() != list.size() * tav::kCustomDefectRecordBytes) std::abort();
    if (tav::ParseCustomDefects(bytes).size() != list.size()) std::abort();
    return 0;
}
