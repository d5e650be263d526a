#include "output/picture_export.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <set>

#include "analysis/analysis_bar.hpp"
#include "analysis/analysis_entry.hpp"
#include "analysis/display/display_model.hpp"
#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "output/docx_writer.hpp"

namespace tav {

namespace {

constexpr std::array<std::string_view, 4> kExtensions{"bmp", "jpg", "gif", "png"};
constexpr std::string_view kWaveTrainName = "波列";

std::string PileText(const CTAV_AnalyserDoc& doc, std::int32_t index) {
    return Cp936ToUtf8(TextOf(doc.points[static_cast<std::size_t>(index)].pileNo));
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string_view PictureExtension(std::int32_t formatIndex) {
    if (formatIndex < 0 || formatIndex >= static_cast<std::int32_t>(kExtensions.size())) return {};
    return kExtensions[static_cast<std::size_t>(formatIndex)];
}

bool PictureFormatWritten(std::int32_t formatIndex) {
    return formatIndex == kPictureBmp || formatIndex == kPictureJpg || formatIndex == kPicturePng;
}

PictureExportSettings DefaultPictureExportSettings(bool fixedSizes, std::string_view projectPath,
                                                   std::string_view fallbackFolder) {
    PictureExportSettings s;
    s.dataChoice = kPictureDisplay;
    s.formatIndex = kPictureBmp;
    s.sizeIndex = fixedSizes ? 1 : 0;
    s.outputKind = kPictureDocument;
    const auto slash = projectPath.find_last_of('/');
    if (!projectPath.empty() && slash != std::string_view::npos)
        s.SetFolder(projectPath.substr(0, slash == 0 ? 1 : slash));
    else
        s.SetFolder(fallbackFolder);
    return s;
}

PictureSize FixedPictureSize(std::int32_t sizeIndex) {
    const auto k = sizeIndex >= 0 && sizeIndex < static_cast<std::int32_t>(kFixedPictureHeights.size())
                       ? static_cast<std::size_t>(sizeIndex)
                       : 0;
    return {kFixedPictureWidth, kFixedPictureHeights[k]};
}

std::string PictureSizeText(PictureSize size) {
    return std::to_string(size.width) + "×" + std::to_string(size.height);
}

std::string CheckPictureSize(PictureSize size) {
    if (size.width >= 1 && size.height >= 1 && size.width <= kMaxPictureSide && size.height <= kMaxPictureSide &&
        static_cast<std::int64_t>(size.width) * size.height <= kMaxPicturePixels)
        return {};
    return "图形尺寸" + std::to_string(size.width) + "×" + std::to_string(size.height) + "无法生成：宽和高须在1到" +
           std::to_string(kMaxPictureSide) + "像素之间，总像素不超过" + std::to_string(kMaxPicturePixels) + "。";
}

std::optional<PictureSize> ParsePictureSize(std::string_view text) {
    std::size_t sep = text.find('x');
    std::size_t sepLen = 1;
    if (sep == std::string_view::npos) sep = text.find('X');
    if (sep == std::string_view::npos) {
        sep = text.find("×");
        sepLen = std::string_view("×").size();
    }
    if (sep == std::string_view::npos) return std::nullopt;
    const auto number = [](std::string_view part) -> std::optional<int> {
        int v = 0;
        const auto* end = part.data() + part.size();
        const auto r = std::from_chars(part.data(), end, v);
        if (part.empty() || r.ec != std::errc() || r.ptr != end || v < 0) return std::nullopt;
        return v;
    };
    const auto w = number(text.substr(0, sep));
    const auto h = number(text.substr(sep + sepLen));
    if (!w || !h) return std::nullopt;
    return PictureSize{*w, *h};
}

std::string CleanFileName(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (const char ch : s) {
        switch (ch) {
            case '\\': out += "╲"; break;
            case '/': out += "╱"; break;
            case ':': out += "∶"; break;
            case '*': out += "＊"; break;
            case '?': out += "？"; break;
            case '"': out += "＂"; break;
            case '<': out += "〈"; break;
            case '>': out += "〉"; break;
            case '|': out += "｜"; break;
            default: out += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F ? '_' : ch;
        }
    }
    return out;
}

std::int32_t OrdinalInPile(const CTAV_AnalyserDoc& doc, std::int32_t index) {
    const auto group = doc.PileGroup(index);
    if (group.empty()) return 0;
    return index - group.front() + 1;
}

std::string PointPictureLabel(const CTAV_AnalyserDoc& doc, std::int32_t index) {
    if (!doc.ValidIndex(index)) return {};
    return Format("%s No.%d", PileText(doc, index).c_str(), OrdinalInPile(doc, index));
}

PictureItem PointPictureItem(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t number) {
    PictureItem item;
    item.pointIndex = index;
    const std::string pile = PileText(doc, index);
    const std::int32_t ordinal = OrdinalInPile(doc, index);
    item.label = PointPictureLabel(doc, index);
    item.fileStem = CleanFileName(Format("%sNo.%d", pile.c_str(), ordinal));
    item.number = number;
    item.caption = Format("NO%d：%s", number, pile.c_str());
    return item;
}

std::vector<PictureItem> CheckedPictureItems(const CTAV_AnalyserDoc& doc) {
    std::vector<PictureItem> items;
    for (const auto index : doc.checkedIndices)
        if (doc.ValidIndex(index)) items.push_back(PointPictureItem(doc, index, index + 1));
    return items;
}

std::vector<PictureItem> DisplayPictureItems(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> entryPoints,
                                             bool stacked) {
    std::vector<PictureItem> items;
    if (entryPoints.empty()) return items;
    if (stacked) {
        PictureItem item;
        item.pointIndex = entryPoints.front();
        item.stacked = true;
        item.fileStem = std::string(kWaveTrainName);
        item.number = 1;
        item.caption = std::string(kWaveTrainName);
        items.push_back(std::move(item));
        return items;
    }
    for (std::size_t k = 0; k < entryPoints.size(); ++k) {
        if (!doc.ValidIndex(entryPoints[k])) continue;
        PictureItem item = PointPictureItem(doc, entryPoints[k], static_cast<std::int32_t>(k) + 1);
        item.label.clear();  // drawn as on screen, with the display's own caption
        item.displayEntry = static_cast<std::int32_t>(k);
        items.push_back(std::move(item));
    }
    return items;
}

bool DisplayStacksPictures(std::int32_t analysisType, std::int32_t timeScope, std::span<const std::int32_t> entryPoints) {
    if (analysisType != kAnalysisTime && analysisType != kAnalysisFrequency) return true;
    if (analysisType == kAnalysisTime && timeScope == kScopeWaveTrain) return true;
    std::set<std::int32_t> seen;
    for (const auto p : entryPoints)
        if (p < 0 || !seen.insert(p).second) return true;
    return false;
}

std::string PictureFilePath(std::string_view folder, const PictureItem& item, std::string_view extension) {
    std::string path(folder);
    if (path.empty()) path = ".";
    if (path.back() != '/') path += '/';
    return path + item.fileStem + "." + std::string(extension);
}

PictureFilesResult WritePictureFiles(std::span<const PictureItem> items, std::string_view folder,
                                     std::string_view extension, const PictureEncoder& encoder) {
    PictureFilesResult result;
    for (const auto& item : items) {
        const std::string path = PictureFilePath(folder, item, extension);
        const auto picture = encoder(item);
        std::string why = "cannot draw the picture";
        if (picture && WriteFileAtomically(path, picture->bytes, &why))
            result.written.push_back(path);
        else
            result.failed.push_back(path + ": " + why);
        if (FileExists(path)) result.anyExists = true;
    }
    return result;
}

bool WritePictureDocument(const std::string& path, std::span<const PictureItem> items, std::string_view extension,
                          const PictureEncoder& encoder, std::string* error) {
    std::vector<EncodedPicture> encoded;
    std::vector<DocxPicture> pictures;
    encoded.reserve(items.size());
    for (const auto& item : items) {
        auto picture = encoder(item);
        if (!picture) continue;  // as with files: one picture that cannot be drawn does not stop the others
        encoded.push_back(std::move(*picture));
        const auto& e = encoded.back();
        pictures.push_back({e.bytes, extension, e.width, e.height, item.caption});
    }
    if (pictures.empty()) {
        if (error) *error = "no picture could be drawn";
        return false;
    }
    return WriteDocx(path, pictures, error);
}

}  // namespace tav
