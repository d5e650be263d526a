// Any bytes as the instrument's project index, and as a downloaded project
// (its header and one test point file, split at the first byte's count): the
// index is parsed with its local names, the project converted to "TAV02" and
// the result loaded like any project file.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "model/document.hpp"
#include "processing/project_loading.hpp"
#include "transfer/instrument_files.hpp"

namespace {

const std::string& Scratch() {
    static const std::string path = [] {
        std::string pattern = "/tmp/fuzz-index-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return path;
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const auto& entry : tav::ParseInstrumentIndex(std::span(data, size))) {
        tav::EntryPointCount(entry);
        tav::LocalTargetPath("/out", entry);
    }
    if (size < 1) return 0;
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    const std::string folder = Scratch() + "/in";
    std::filesystem::create_directories(folder);
    Put(folder + "/TAV.PAR", data + 1, split);
    Put(folder + "/xm1.tav", data + 1 + split, size - 1 - split);
    const std::string target = Scratch() + "/out.tav";
    if (tav::ConvertInstrumentProject(folder, "xm", target) == tav::ConvertResult::Converted) {
        tav::CTAV_AnalyserDoc doc;
        OpenFile(doc, target);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
