// The binary settings files: one small file per settings group in the
// temporary folder, named after the group's tag ("<temp>/QRV_TAV4_DISP_001.ini").
// Layout: a 30-byte tag field (the tag text, then zero bytes), then the group's
// payload as little-endian values with no length or checksum.
//
// Usage by an owner of settings: hold the record with its defaults, call
// LoadOrCreate once; it reads the file, and when the file is missing, short or
// carries another tag, writes the current (default) values back. After a user
// change call Write. A write that fails tells the user "写设置文件失败！"
// through UserPrompts and leaves the in-memory values in force.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/byte_io.hpp"
#include "base/user_prompts.hpp"

namespace tav {

inline constexpr std::size_t kSettingsTagSize = 30;

enum class SettingsGroup { Edit, Curs, Disp, Selt, Bmp, Print };

// "QRV_TAV4_EDIT_001", "QRV_TAV4_CURS_001", ...
std::string_view SettingsTag(SettingsGroup group);

// A record of a group is any type with
//   static constexpr SettingsGroup kGroup;
//   bool Load(ByteReader&);        // false when the payload is incomplete
//   void Store(ByteWriter&) const;
// and works with SettingsFiles::Read, Write and LoadOrCreate. The records below
// cover every group; an owner with a richer record of its own (for example the
// analysis bar's) can give it these three members, or convert to and from the
// payload record of its group.

// EDIT: what an edit of the test point information changes.
struct EditScopeSettings {
    static constexpr SettingsGroup kGroup = SettingsGroup::Edit;
    static constexpr std::size_t kPayloadSize = 4;
    std::int32_t editScope = 0;  // 0 the edited test point only, 1 all listed test points
    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// CURS: the analysis view's cursor.
struct CursorStyleSettings {
    static constexpr SettingsGroup kGroup = SettingsGroup::Curs;
    static constexpr std::size_t kPayloadSize = 4;
    std::int32_t cursorStyle = 1;  // 1 cross, 2 vertical line
    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// DISP: the analysis view's settings. Variable length: five integers, a count
// and the annotation item codes, then the preprocessing flag.
struct DisplaySettings {
    static constexpr SettingsGroup kGroup = SettingsGroup::Disp;
    std::int32_t operationScope = 0;  // 0 "当前波形", 1 "全部波形" (command_id::kScopeCurrent, kScopeAll)
    std::int32_t viewOption2 = 1;     // further view options, carried as they are
    std::int32_t viewOption3 = 1;
    std::int32_t viewOption4 = 1;
    std::int32_t waveTrainCount = 3;  // entries of the wave train display; always 3 after a read
    // Annotation item codes chosen in the display settings, in display order.
    std::vector<std::int32_t> annotationItems{31, 32, 36, 35, 3, 30, 33, 34, 13};
    std::int32_t magnifyRaw = 1;  // "波形放大": preprocessing of version 5 files, 1 on

    // Reading rules: the count is read and, only when it is greater than zero,
    // that many codes replace the list; a file ending right after the codes
    // gives magnifyRaw 1. Fails (record untouched) when the fixed part or the
    // announced codes are not all there.
    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// SELT: the analysis bar's fourteen selections, kept here as their stored
// bytes. The analysis bar's own record converts to and from these 56 bytes.
struct AnalysisBarPayload {
    static constexpr SettingsGroup kGroup = SettingsGroup::Selt;
    static constexpr std::size_t kValueCount = 14;
    static constexpr std::size_t kPayloadSize = kValueCount * 4;
    std::array<std::uint8_t, kPayloadSize> bytes{};  // default: fourteen zeros

    // Value i (0..13) as a little-endian 32-bit integer.
    std::int32_t Value(std::size_t i) const;
    void SetValue(std::size_t i, std::int32_t v);

    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// BMP: the picture export dialog's last choices. The signal matching choice
// came later: it follows the folder as "MTCH" and an int32, written only when
// it is on, so a file written without it keeps its 306 bytes and older files
// read as before (off).
struct PictureExportPayload {
    static constexpr SettingsGroup kGroup = SettingsGroup::Bmp;
    static constexpr std::size_t kFolderSize = 260;
    static constexpr std::size_t kPayloadSize = 4 * 4 + kFolderSize;
    static constexpr std::array<std::uint8_t, 4> kMatchTag{'M', 'T', 'C', 'H'};
    static constexpr std::size_t kMatchTrailerSize = kMatchTag.size() + 4;
    std::int32_t dataChoice = 0;   // 0 the display area, 1 the checked test points
    std::int32_t formatIndex = 0;  // 0 bmp, 1 jpg, 2 gif, 3 png
    std::int32_t sizeIndex = 1;
    std::int32_t outputKind = 1;   // 0 picture files, 1 word-processor document
    std::array<char, kFolderSize> folder{};  // zero-terminated save folder
    std::int32_t matchPictures = 0;  // 1: each test point's signal matching picture after its curve

    // The folder text up to its first zero byte.
    std::string Folder() const;
    // Stores the text cut to 259 bytes (never in the middle of a UTF-8 character), zero-filled.
    void SetFolder(std::string_view text);

    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// PRINT: the print settings record, stored as one block. The print layout owns
// its fields; a default block is all zeros here, and that owner fills its defaults.
struct PrintSettingsPayload {
    static constexpr SettingsGroup kGroup = SettingsGroup::Print;
    static constexpr std::size_t kPayloadSize = 5460;
    std::array<std::uint8_t, kPayloadSize> bytes{};

    bool Load(ByteReader& in);
    void Store(ByteWriter& out) const;
};

// The message shown when a settings file cannot be written.
std::string_view SettingsWriteFailedText();

class SettingsFiles {
public:
    // folder: where the files live (the private temporary folder; empty when
    // there is none: nothing is read and every write fails); prompts: where a
    // failed write is reported. The prompts object must outlive this one.
    explicit SettingsFiles(std::string folder, UserPrompts* prompts = nullptr);

    const std::string& Folder() const { return folder_; }
    void SetPrompts(UserPrompts* prompts);
    // "<folder>/<tag>.ini"
    std::string PathOf(SettingsGroup group) const;

    // true when the file exists, its tag matches and its payload is complete;
    // otherwise false and the record is untouched. A DISP read first sets
    // magnifyRaw to 1, whatever follows.
    template <typename Record>
    bool Read(Record& record) const {
        if constexpr (std::is_same_v<Record, DisplaySettings>) record.magnifyRaw = 1;
        auto payload = ReadPayload(Record::kGroup);
        if (!payload) return false;
        ByteReader in(*payload);
        Record loaded = record;
        if (!loaded.Load(in)) return false;
        record = std::move(loaded);
        return true;
    }
    // Writes the whole file anew (atomically). On failure: "写设置文件失败！", false.
    template <typename Record>
    bool Write(const Record& record) const {
        std::vector<std::uint8_t> payload;
        ByteWriter out(payload);
        record.Store(out);
        return WritePayload(Record::kGroup, payload);
    }
    // Read; on failure write the current values. Returns whether the read succeeded.
    template <typename Record>
    bool LoadOrCreate(Record& record) const {
        if (Read(record)) return true;
        Write(record);
        return false;
    }

    // Raw access for callers that keep a record of their own: the payload
    // following a matching tag (trailing bytes included), nothing when the
    // file is absent, unreadable or foreign.
    std::optional<std::vector<std::uint8_t>> ReadPayload(SettingsGroup group) const;
    // Tag field plus payload, written atomically; reports a failure as Write does.
    bool WritePayload(SettingsGroup group, std::span<const std::uint8_t> payload) const;

    // The payload of a settings file image after its tag, nothing when the
    // image is shorter than the tag field or carries another tag. Pure; used
    // by the readers above and by the fuzz target.
    static std::optional<std::span<const std::uint8_t>> PayloadOfImage(SettingsGroup group,
                                                                      std::span<const std::uint8_t> image);
    // A settings file image: the tag field, then the payload.
    static std::vector<std::uint8_t> MakeImage(SettingsGroup group, std::span<const std::uint8_t> payload);

private:
    std::string folder_;
    UserPrompts* prompts_;
};

}  // namespace tav
