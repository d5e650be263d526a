// Merge of the older instrument's single-record files ("*.PID", tag
// "Q-TAV2015") into "TAV02" project files, one per pile or one per site. The
// folders above each file name its test unit, site and pile:
// <unit>/<site>/<pile>/<file>. The records are copied, not decoded: a file's
// body already is an old-layout test point from the pile type on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class ByteWriter;

inline constexpr std::string_view kInstrumentTag = "Q-TAV2015";

enum MergeMode : int { kMergePerPile = 0, kMergePerSite = 1 };

// Results below zero; a result of zero or more tells by its bits which skip
// reasons occurred.
inline constexpr int kMergeCreateFailed = -1;
inline constexpr int kMergeReadFailed = -2;
inline constexpr int kMergeWriteFailed = -3;
inline constexpr int kMergeBadFolder = -4;
inline constexpr int kSkippedIncompletePath = 1;
inline constexpr int kSkippedNameTooLong = 2;
inline constexpr int kSkippedForeignTag = 4;

// Longest names in bytes of their code page 936 text.
inline constexpr std::size_t kMaxMergeTestUnit = 50;
inline constexpr std::size_t kMaxMergeSite = 20;
inline constexpr std::size_t kMaxMergePileNo = 20;
inline constexpr std::size_t kMergedPileNoBytes = 10;

// The three folders above a file (UTF-8, as in the path); a level the path
// does not have is empty.
struct InstrumentPath {
    std::string testUnit;
    std::string site;
    std::string pileNo;
};
InstrumentPath InstrumentPathComponents(std::string_view path);

// The pile number as the 10-byte field of a merged record holds it: longer
// pile numbers (the folder names allow 20 bytes) keep their first 10 bytes,
// one byte fewer where the tenth would split a two-byte character.
std::string MergedPileNumber(std::string_view cp936PileNo);

// The record after the tag, nothing when the file does not start with it.
std::optional<std::span<const std::uint8_t>> InstrumentBody(std::span<const std::uint8_t> file);

// The "TAV02" header of a merged file (texts in code page 936).
void WriteMergeHeader(ByteWriter& out, std::int16_t count, std::string_view testUnit, std::string_view site);
// One merged test point: record number, pile number, the body, no spectrum marks.
void WriteMergedPoint(ByteWriter& out, std::int16_t recordNo, std::string_view cp936PileNo,
                      std::span<const std::uint8_t> body);

struct MergeReport {
    int result = 0;
    std::string message;               // the text for the user (UTF-8)
    std::vector<std::string> written;  // output files, in the order they were finished
};

// Merges the chosen files, in the order given (the selection keeps them in
// byte order of their paths), into project files in saveFolder.
MergeReport MergeInstrumentFiles(std::span<const std::string> chosen, int mode, std::string saveFolder);

}  // namespace tav
