#include "app/analysis_bar_store.hpp"

#include <algorithm>

#include "base/byte_io.hpp"

namespace tav {
namespace {

AnalysisBarPayload ToPayload(const AnalysisBarSettings& bar) {
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    WriteAnalysisBarSettings(out, bar);
    AnalysisBarPayload payload;
    std::copy_n(bytes.begin(), std::min(bytes.size(), payload.bytes.size()), payload.bytes.begin());
    return payload;
}

}  // namespace

bool LoadAnalysisBarSettings(const SettingsFiles& files, AnalysisBarSettings& bar) {
    AnalysisBarPayload payload;
    if (files.Read(payload)) {
        ByteReader in(payload.bytes);
        if (ReadAnalysisBarSettings(in, bar)) return true;
    }
    SaveAnalysisBarSettings(files, bar);
    return false;
}

bool SaveAnalysisBarSettings(const SettingsFiles& files, const AnalysisBarSettings& bar) {
    return files.Write(ToPayload(bar));
}

}  // namespace tav
