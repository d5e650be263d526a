// Any bytes behind an old version tag, loaded as a project file: the old-layout
// reader and its chain conversion must end with a status, never a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/document.hpp"
#include "model/old_layout.hpp"
#include "model/project_file.hpp"
#include "processing/project_loading.hpp"

// Every low-pass pass filters its record with up to half the record's length
// in taps, so the work grows with the square of the samples an input holds.
// A few thousand bytes reach every branch of the reader and of the chain
// conversion; longer inputs are cut there to keep thousands of runs a second.
constexpr std::size_t kMaxInputBytes = 8192;

// The document holds as many test points as the header announces, read or
// not; an input that announces thousands spends its run constructing them.
// Every record has at least its identity and wave fields, so a count is folded
// to what the input could hold at most; counts the reader refuses are left for
// it to refuse.
constexpr std::int32_t kMaxUsefulCount = static_cast<std::int32_t>(
    kMaxInputBytes / (tav::old_layout::kIdentityBytes + tav::old_layout::kWaveBytes));

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    size = std::min(size, kMaxInputBytes);
    static const char* const kTags[] = {"CWH01", "TAV02", "TAV03", "TAV05"};
    const char* tag = kTags[data[0] & 3];
    std::vector<std::uint8_t> image(tag, tag + 5);
    image.insert(image.end(), data + 1, data + size);
    if (image.size() >= 7) {
        const auto count = static_cast<std::int16_t>(image[5] | (image[6] << 8));
        if (count > kMaxUsefulCount && count <= tav::kMaxPointCount) {
            const auto folded = static_cast<std::uint16_t>(1 + count % kMaxUsefulCount);
            image[5] = static_cast<std::uint8_t>(folded);
            image[6] = static_cast<std::uint8_t>(folded >> 8);
        }
    }
    tav::CTAV_AnalyserDoc doc;
    doc.magnifyOldRecords = (data[0] & 4) == 0;
    LoadProject(doc, image);
    if (doc.hasPoints) doc.SaveProject();
    return 0;
}
