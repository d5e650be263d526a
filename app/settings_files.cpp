#include "app/settings_files.hpp"

#include <algorithm>

#include "app/app_environment.hpp"
#include "base/atomic_file.hpp"

namespace tav {

static_assert(EditScopeSettings::kPayloadSize == sizeof(std::int32_t));
static_assert(CursorStyleSettings::kPayloadSize == sizeof(std::int32_t));
static_assert(AnalysisBarPayload::kPayloadSize == 56);
static_assert(PictureExportPayload::kPayloadSize == 276);  // offsets 30..305 of the file
static_assert(sizeof(PictureExportPayload::folder) == 260);
static_assert(PrintSettingsPayload::kPayloadSize == sizeof(PrintSettingsPayload::bytes));

std::string_view SettingsTag(SettingsGroup group) {
    switch (group) {
        case SettingsGroup::Edit: return "QRV_TAV4_EDIT_001";
        case SettingsGroup::Curs: return "QRV_TAV4_CURS_001";
        case SettingsGroup::Disp: return "QRV_TAV4_DISP_001";
        case SettingsGroup::Selt: return "QRV_TAV4_SELT_001";
        case SettingsGroup::Bmp: return "QRV_TAV4_BMP_001";
        case SettingsGroup::Print: return "QRV_TAV4_PRINT_001";
    }
    return {};
}

std::string_view SettingsWriteFailedText() { return "写设置文件失败！"; }

// ---- records ----

bool EditScopeSettings::Load(ByteReader& in) { return in.I32(editScope); }
void EditScopeSettings::Store(ByteWriter& out) const { out.I32(editScope); }

bool CursorStyleSettings::Load(ByteReader& in) { return in.I32(cursorStyle); }
void CursorStyleSettings::Store(ByteWriter& out) const { out.I32(cursorStyle); }

bool DisplaySettings::Load(ByteReader& in) {
    std::int32_t storedTrainCount = 0;
    if (!in.I32(operationScope) || !in.I32(viewOption2) || !in.I32(viewOption3) || !in.I32(viewOption4) ||
        !in.I32(storedTrainCount))
        return false;
    // The wave train always opens with three entries, whatever was stored.
    waveTrainCount = 3;
    std::int32_t count = 0;
    if (!in.I32(count)) return false;
    if (count > 0) {
        std::vector<std::int32_t> items;
        if (!in.I32Array(items, static_cast<std::size_t>(count))) return false;
        annotationItems = std::move(items);
    }
    // Files of earlier versions end here.
    if (!in.I32(magnifyRaw)) magnifyRaw = 1;
    return true;
}

void DisplaySettings::Store(ByteWriter& out) const {
    out.I32(operationScope);
    out.I32(viewOption2);
    out.I32(viewOption3);
    out.I32(viewOption4);
    out.I32(waveTrainCount);
    out.I32(static_cast<std::int32_t>(annotationItems.size()));
    out.I32Array(annotationItems);
    out.I32(magnifyRaw);
}

std::int32_t AnalysisBarPayload::Value(std::size_t i) const {
    if (i >= kValueCount) return 0;
    std::int32_t v = 0;
    LeLoad(bytes.data() + i * 4) >> v;
    return v;
}

void AnalysisBarPayload::SetValue(std::size_t i, std::int32_t v) {
    if (i < kValueCount) LeStore(bytes.data() + i * 4) << v;
}

bool AnalysisBarPayload::Load(ByteReader& in) { return in.Bytes(bytes); }
void AnalysisBarPayload::Store(ByteWriter& out) const { out.Bytes(bytes); }

std::string PictureExportPayload::Folder() const {
    const auto end = std::find(folder.begin(), folder.end(), '\0');
    return std::string(folder.begin(), end);
}

void PictureExportPayload::SetFolder(std::string_view text) {
    std::size_t n = std::min(text.size(), kFolderSize - 1);
    // Back off over UTF-8 continuation bytes so no character is cut in half.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    folder.fill('\0');
    std::copy_n(text.begin(), n, folder.begin());
}

bool PictureExportPayload::Load(ByteReader& in) {
    const std::uint8_t* p = in.Take(kPayloadSize);
    if (!p) return false;
    LeLoad(p) >> dataChoice >> formatIndex >> sizeIndex >> outputKind >> folder;
    matchPictures = 0;
    if (in.Has(kMatchTrailerSize) && std::equal(kMatchTag.begin(), kMatchTag.end(), in.Take(kMatchTag.size()))) {
        std::int32_t on = 0;
        in.I32(on);
        matchPictures = on == 1 ? 1 : 0;
    }
    return true;
}

void PictureExportPayload::Store(ByteWriter& out) const {
    LeStore(out.Extend(kPayloadSize)) << dataChoice << formatIndex << sizeIndex << outputKind << folder;
    if (matchPictures != 0) {
        out.Bytes(kMatchTag.data(), kMatchTag.size());
        out.I32(1);
    }
}

bool PrintSettingsPayload::Load(ByteReader& in) { return in.Bytes(bytes); }
void PrintSettingsPayload::Store(ByteWriter& out) const { out.Bytes(bytes); }

// ---- files ----

SettingsFiles::SettingsFiles(std::string folder, UserPrompts* prompts)
    : folder_(std::move(folder)), prompts_(prompts ? prompts : &SilentPrompts()) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

void SettingsFiles::SetPrompts(UserPrompts* prompts) { prompts_ = prompts ? prompts : &SilentPrompts(); }

std::string SettingsFiles::PathOf(SettingsGroup group) const {
    return folder_ + std::string(SettingsTag(group)) + ".ini";
}

std::optional<std::span<const std::uint8_t>> SettingsFiles::PayloadOfImage(SettingsGroup group,
                                                                          std::span<const std::uint8_t> image) {
    if (image.size() < kSettingsTagSize) return std::nullopt;
    // The tag compares as zero-terminated text within its 30 bytes.
    const auto* field = reinterpret_cast<const char*>(image.data());
    const std::size_t len = static_cast<std::size_t>(std::find(field, field + kSettingsTagSize, '\0') - field);
    if (std::string_view(field, len) != SettingsTag(group)) return std::nullopt;
    return image.subspan(kSettingsTagSize);
}

std::vector<std::uint8_t> SettingsFiles::MakeImage(SettingsGroup group, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> image;
    image.reserve(kSettingsTagSize + payload.size());
    ByteWriter out(image);
    const std::string_view tag = SettingsTag(group);
    out.Bytes(tag.data(), tag.size());
    out.Zeros(kSettingsTagSize - tag.size());
    out.Bytes(payload.data(), payload.size());
    return image;
}

std::optional<std::vector<std::uint8_t>> SettingsFiles::ReadPayload(SettingsGroup group) const {
    if (folder_.empty()) return std::nullopt;  // no safe folder: the defaults stay in force
    auto image = ReadWholeFile(PathOf(group));
    if (!image) return std::nullopt;
    auto payload = PayloadOfImage(group, *image);
    if (!payload) return std::nullopt;
    return std::vector<std::uint8_t>(payload->begin(), payload->end());
}

bool SettingsFiles::WritePayload(SettingsGroup group, std::span<const std::uint8_t> payload) const {
    const auto image = MakeImage(group, payload);
    if (!folder_.empty() && EnsureFolder(folder_) && WriteFileAtomically(PathOf(group), image)) return true;
    prompts_->Message(SettingsWriteFailedText());
    return false;
}

}  // namespace tav
