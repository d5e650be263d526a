// Any bytes as a binary settings file of every group, as an INI file (Config.ini,
// registry.ini) and as a desktop entry: reading ends with a result, never a
// crash, a hang or a read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "app/config_profile.hpp"
#include "app/file_association.hpp"
#include "app/ini_file.hpp"
#include "app/panel_position.hpp"
#include "app/settings_files.hpp"

namespace {

template <typename Record>
void ReadAs(std::span<const std::uint8_t> image) {
    // Both the file as it is and the bytes behind a matching tag.
    for (auto bytes : {image, std::span<const std::uint8_t>()}) {
        std::vector<std::uint8_t> owned;
        if (bytes.empty()) {
            owned = tav::SettingsFiles::MakeImage(Record::kGroup, image);
            bytes = owned;
        }
        auto payload = tav::SettingsFiles::PayloadOfImage(Record::kGroup, bytes);
        if (!payload) continue;
        tav::ByteReader in(*payload);
        Record record;
        if (record.Load(in)) {
            std::vector<std::uint8_t> out;
            tav::ByteWriter writer(out);
            record.Store(writer);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReadAs<tav::EditScopeSettings>(bytes);
    ReadAs<tav::CursorStyleSettings>(bytes);
    ReadAs<tav::DisplaySettings>(bytes);
    ReadAs<tav::AnalysisBarPayload>(bytes);
    ReadAs<tav::PictureExportPayload>(bytes);
    ReadAs<tav::PrintSettingsPayload>(bytes);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tav::IniFile ini = tav::IniFile::Parse(text);
    const auto low = ini.Get("SpeedRange", "Low");
    if (low) (void)tav::ParseProfileInt(*low);
    const auto pos = ini.Get("DlgPos", "Filter");
    (void)tav::PlacePanel(pos.value_or(std::string(text.substr(0, 64))), 200, 100, {0, 0, 1920, 1080},
                          {0, 0, 800, 600});
    ini.Set("SpeedRange", "Low", text.substr(0, 32));
    ini.ClearSection("DlgPos");
    (void)tav::IniFile::Parse(ini.Text());
    (void)tav::DesktopEntryExecutable(text);
    return 0;
}
