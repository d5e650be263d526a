// Any bytes as a clipboard block: a block is taken only when it adds up to its
// own size exactly, and writing what was taken gives a block of that size that
// reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/clipboard_block.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto snapshot = tav::ReadClipboardBlock(std::span<const std::uint8_t>(data, size));
    if (!snapshot) return 0;
    if (tav::ClipboardBlockSize(*snapshot) != size) std::abort();
    const auto written = tav::WriteClipboardBlock(*snapshot);
    if (written.size() != size) std::abort();
    const auto again = tav::ReadClipboardBlock(written);
    if (!again || tav::WriteClipboardBlock(*again) != written) std::abort();
    return 0;
}
