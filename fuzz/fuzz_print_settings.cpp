// Any bytes as the print settings file, then laid out on a few papers: the
// values are brought into range, and the layout and every page plan finish
// without a crash, a division by zero or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "output/print_layout.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    auto settings = tav::PrintSettingsOfImage(bytes);
    if (!settings) {
        // The bytes as the payload behind a matching tag.
        settings = tav::PrintSettingsOfImage(tav::SettingsFiles::MakeImage(tav::SettingsGroup::Print, bytes));
        if (!settings) return 0;
    }
    const std::int32_t papers[][2] = {{210, 297}, {297, 210}, {40, 30}};
    for (const auto& paper : papers) {
        tav::PrintLayoutInput in;
        in.settings = *settings;
        in.paperWidthMm = paper[0];
        in.paperHeightMm = paper[1];
        in.pointCount = 50;
        in.checkedCount = size > 0 ? data[0] % 51 : 0;
        in.display = {size > 1 ? data[1] % 9 : 0, size > 2 && (data[2] & 1), 640, size > 3 ? data[3] : 0, 1200};
        const tav::PrintLayout layout = tav::LayOutPrintJob(in);
        const tav::PrintFacts facts;
        for (std::int32_t page = 1; page <= layout.pages && page <= 3; ++page)
            (void)tav::PlanPage(*settings, layout, paper[0], paper[1], facts, page);
    }
    return 0;
}
