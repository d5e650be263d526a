// The project file (*.tav): a header, the working set of test points and,
// in the record layouts, a backup set behind it. Six versions are told apart
// by the five-character tag; "TAV15" is the one written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.hpp"
#include "model/project_header.hpp"
#include "model/test_point.hpp"

namespace tav {

class ByteWriter;

inline constexpr int kCurrentVersion = 6;
inline constexpr std::string_view kCurrentTag = "TAV15";
inline constexpr std::int32_t kMaxPointCount = 16383;
inline constexpr std::size_t kCurrentHeaderBytes = 5 + 4 + 50 + 50 + 100;
static_assert(kCurrentHeaderBytes == 209);

// The tag of a version number 1..6 ("" otherwise).
std::string_view VersionTag(int version);
// Versions whose test points use the record layout (and carry a backup set).
inline bool IsRecordLayout(int version) { return version == 4 || version == 6; }

// Clears header, then reads it; the version number 1..6, or 0 for an unknown
// tag. A header cut short leaves the fields it could not read cleared.
int ReadProjectHeader(ByteReader& in, ProjectHeader& header);
void WriteProjectHeader(ByteWriter& out, const ProjectHeader& header);

// Reads one test point of the given version: the record layouts of versions 4
// and 6, or the old layout of versions 1, 2, 3 and 5 (see model/old_layout.hpp:
// the old processing fields come back in oldSteps for the loader to build
// into tp's chain; empty for the record layouts). 1 on success, 0 when a
// count is out of range or the bytes it announces are not there.
int ReadTestPoint(ByteReader& in, int version, TestPoint& tp, std::vector<ProcessStep>& oldSteps);
// Where the record-layout test point at the reader's position ends, found from
// its counts alone with the checks ReadTestPoint makes; empty when the record
// is not whole (or the version has no record layout). Lets the records of a
// file be read side by side; ReadTestPoint still decides what a record holds.
std::optional<std::size_t> MeasureTestPoint(ByteReader in, int version);
void WriteTestPoint(ByteWriter& out, const TestPoint& tp);

// Receives a file image piece by piece; false stops the writing.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// A whole "TAV15" file image: header, points, backup header, backup points.
// The tags written are "TAV15" whatever the headers hold; the counts are the
// sets' sizes.
bool StreamProject(const ByteSink& sink, const ProjectHeader& header, std::span<const TestPoint> points,
                   const ProjectHeader& backupHeader, std::span<const TestPoint> backup);
std::vector<std::uint8_t> SerializeProject(const ProjectHeader& header, std::span<const TestPoint> points,
                                           const ProjectHeader& backupHeader, std::span<const TestPoint> backup);

}  // namespace tav
