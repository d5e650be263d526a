// Any bytes as an instrument file of the merge: the record is copied into a
// "TAV02" project the way the merge writes it, and that project is loaded.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.hpp"
#include "model/document.hpp"
#include "model/instrument_merge.hpp"
#include "processing/project_loading.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const std::string_view asPath(reinterpret_cast<const char*>(data), size);
    tav::InstrumentPathComponents(asPath);
    tav::MergedPileNumber(asPath.substr(0, 20));

    // Fuzzers rarely find the tag: take it as given when it is missing.
    std::vector<std::uint8_t> tagged(tav::kInstrumentTag.begin(), tav::kInstrumentTag.end());
    tagged.insert(tagged.end(), data, data + size);
    const auto body = tav::InstrumentBody(tav::InstrumentBody(file) ? file : std::span<const std::uint8_t>(tagged));
    if (!body) return 0;

    std::vector<std::uint8_t> image;
    tav::ByteWriter out(image);
    tav::WriteMergeHeader(out, 2, "unit", "site");
    tav::WriteMergedPoint(out, 1, "P1", *body);
    tav::WriteMergedPoint(out, 2, "P1", *body);
    tav::CTAV_AnalyserDoc doc;
    LoadProject(doc, image);
    if (doc.hasPoints) doc.SaveProject();
    return 0;
}
