// The files the instrument keeps and sends: the project index
// "c:\dat\rsite.par", and per project a folder "C:\DAT\<folder>\" with the
// project header "tav.par", the pile index "pindex.par" and one 4338-byte file
// per test point ("<folder><n>.tav", n from 1). ConvertInstrumentProject turns
// a downloaded folder into one "TAV02" project file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_field.hpp"

namespace tav {

class ByteWriter;
struct ProjectHeader;
struct TestPoint;

inline constexpr std::size_t kInstrumentEntryBytes = 47;
inline constexpr std::size_t kInstrumentHeaderBytes = 2 + 50 + 20;  // "tav.par"
inline constexpr std::size_t kInstrumentPointBytes = 4338;
inline constexpr std::size_t kInstrumentSamples = 1024;
static_assert(10 + 12 + 5 + 20 == kInstrumentEntryBytes);
static_assert(242 + kInstrumentSamples * 4 == kInstrumentPointBytes);

// One record of the project index; texts in code page 936.
struct InstrumentProjectEntry {
    TextField<10> folder{};
    TextField<12> testDate{};
    TextField<5> pointCount{};  // decimal text
    TextField<20> projectName{};
    // The name of the project file made from it, ".tav" included (code page
    // 936): the trimmed project name, "[]" when blank, made unique with
    // "—<n>" where an earlier entry has it already.
    std::string localName;
};

// The entries of an index file; records beyond the bytes present are not
// there. The local names are assigned as described above.
std::vector<InstrumentProjectEntry> ParseInstrumentIndex(std::span<const std::uint8_t> bytes);
void WriteInstrumentEntry(ByteWriter& out, const InstrumentProjectEntry& entry);
// The number of test points as the decimal text reads (0 when it is none).
int EntryPointCount(const InstrumentProjectEntry& entry);

// The project file for an entry in localFolder (UTF-8 path; a "/" in the name,
// which would leave the folder, becomes "_"), ".tav" appended when missing.
std::string LocalTargetPath(std::string_view localFolder, const InstrumentProjectEntry& entry);

enum class ConvertResult { Converted, NotInstrumentData, WriteFailed };

// Converts the files downloaded into `folder` for the instrument project
// folder `instrumentFolder` into targetPath, written safely. The downloaded
// files are deleted as they are used. A test point file that is not there is
// skipped; the header keeps the count of "tav.par".
ConvertResult ConvertInstrumentProject(const std::string& folder, std::string_view instrumentFolder,
                                       const std::string& targetPath, std::string* error = nullptr);

// The instrument's test point file for a test point (its first 1024 raw
// samples, zeros after its last).
std::vector<std::uint8_t> InstrumentPointBytes(const TestPoint& tp);

// Writes an instrument storage folder (the instrument's drive "c:\") holding
// the projects: the index, one folder per project ("XM001", ...). false with
// a message when a file could not be written.
struct StorageProject {
    const ProjectHeader* header = nullptr;
    std::span<const TestPoint> points;
};
bool WriteInstrumentStorage(const std::string& storage, std::span<const StorageProject> projects,
                            std::string* error = nullptr);

}  // namespace tav
