// Any bytes as a project file: loading must end with a status, never a crash.
// The records of a file are read side by side once they have been measured, so
// the measure must agree with the reader on every record, whole or not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/byte_io.hpp"
#include "model/document.hpp"
#include "model/project_file.hpp"
#include "processing/project_loading.hpp"

namespace {

void CheckMeasureAgreesWithReader(std::span<const std::uint8_t> bytes) {
    tav::ByteReader in(bytes);
    tav::ProjectHeader header;
    const int version = tav::ReadProjectHeader(in, header);
    if (!tav::IsRecordLayout(version) || in.Failed()) return;
    for (std::int32_t k = 0; k < header.pointCount && k < 64; ++k) {
        const auto measured = tav::MeasureTestPoint(in, version);
        tav::TestPoint tp;
        std::vector<tav::ProcessStep> oldSteps;
        const bool read = tav::ReadTestPoint(in, version, tp, oldSteps) == 1;
        if (measured.has_value() != read || (read && *measured != in.Position())) std::abort();
        if (!read) return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    CheckMeasureAgreesWithReader(bytes);
    tav::CTAV_AnalyserDoc doc;
    LoadProject(doc, bytes);
    if (doc.hasPoints) doc.SaveProject();
    return 0;
}
