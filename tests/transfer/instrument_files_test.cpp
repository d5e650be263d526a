#include "processing/project_loading.hpp"
#include "transfer/instrument_files.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::uint8_t> IndexBytes(std::int16_t count, const std::vector<std::string>& utf8Names) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.I16(count);
    int n = 0;
    for (const auto& name : utf8Names) {
        InstrumentProjectEntry e;
        SetText(e.folder, "XM00" + std::to_string(++n));
        SetText(e.testDate, "2026-12-07");
        SetText(e.pointCount, " 12");
        SetText(e.projectName, Utf8ToCp936(name));
        WriteInstrumentEntry(w, e);
    }
    return out;
}

std::vector<std::string> LocalNames(const std::vector<InstrumentProjectEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(Cp936ToUtf8(e.localName));
    return names;
}

TEST(InstrumentIndex, LocalNamesAreTrimmedAndMadeUniqueWithOneSharedCounter) {
    const auto entries = ParseInstrumentIndex(IndexBytes(7, {"A", " A ", "B", "B\t", "", "   ", "桩基检测"}));
    EXPECT_EQ(LocalNames(entries), (std::vector<std::string>{"A.tav", "A—1.tav", "B.tav", "B—2.tav", "[].tav",
                                                              "[]—3.tav", "桩基检测.tav"}));
    EXPECT_EQ(EntryPointCount(entries[0]), 12);
    EXPECT_EQ(Cp936ToUtf8(TextOf(entries[1].projectName)), " A ");  // the record itself is kept
    // A renamed name that meets an earlier one is renamed again: no two projects share a file.
    EXPECT_EQ(LocalNames(ParseInstrumentIndex(IndexBytes(3, {"A—1", "A", "A"}))),
              (std::vector<std::string>{"A—1.tav", "A.tav", "A—2.tav"}));
}

TEST(InstrumentIndex, CountsBeyondTheBytesOrBelowOneGiveWhatIsThere) {
    EXPECT_EQ(ParseInstrumentIndex(IndexBytes(40, {"A", "B"})).size(), 2u);
    EXPECT_TRUE(ParseInstrumentIndex(IndexBytes(-2, {"A", "B"})).empty());
    EXPECT_TRUE(ParseInstrumentIndex(IndexBytes(0, {"A"})).empty());
    auto cut = IndexBytes(2, {"A", "B"});
    cut.pop_back();
    EXPECT_EQ(ParseInstrumentIndex(cut).size(), 1u);
    EXPECT_TRUE(ParseInstrumentIndex(std::vector<std::uint8_t>{1}).empty());
}

TEST(InstrumentIndex, TargetPathStaysInTheFolderAndGetsOneExtension) {
    InstrumentProjectEntry e;
    e.localName = "site.tav";
    EXPECT_EQ(LocalTargetPath("/data/out", e), "/data/out/site.tav");
    e.localName = "../../etc/x";
    EXPECT_EQ(LocalTargetPath("/data/out/", e), "/data/out/.._.._etc_x.tav");
}

std::vector<std::uint8_t> HeaderBytes(std::int16_t count) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.I16(count);
    std::array<char, 50> unit{};
    std::memcpy(unit.data(), "unit", 4);
    unit[30] = 'x';  // bytes after the terminator travel too
    w.Bytes(unit);
    std::array<char, 20> name{};
    std::memcpy(name.data(), "project", 7);
    w.Bytes(name);
    return out;
}

TEST(ConvertInstrumentProject, BuildsTav02RecordsFieldByField) {
    TempDir dir;
    const std::string in = dir.File("in");
    fs::create_directories(in);
    ASSERT_TRUE(WriteFileAtomically(in + "/TAV.PAR", HeaderBytes(3)));
    ASSERT_TRUE(WriteFileAtomically(in + "/pindex.par", std::vector<std::uint8_t>(20, 1)));
    std::vector<std::uint8_t> full(kInstrumentPointBytes);
    for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<std::uint8_t>(i * 7 + 1);
    full[46] = 7, full[47] = 0;  // integration flag: not 0 or 1
    full[48] = 9, full[49] = 0;  // low-pass passes beyond 5
    ASSERT_TRUE(WriteFileAtomically(in + "/xm0011.TAV", full));
    // Number 2 is missing; number 3 stops after its low-pass field.
    std::vector<std::uint8_t> shortFile(full.begin(), full.begin() + 48);
    shortFile[46] = 1;
    ASSERT_TRUE(WriteFileAtomically(in + "/XM0013.tav", shortFile));

    const std::string target = dir.File("out.tav");
    ASSERT_EQ(ConvertInstrumentProject(in, "XM001", target), ConvertResult::Converted);

    std::vector<std::uint8_t> want = {'T', 'A', 'V', '0', '2'};
    const auto header = HeaderBytes(3);
    want.insert(want.end(), header.begin(), header.end());
    auto record = [&](const std::vector<std::uint8_t>& src, std::int16_t integrate, std::int16_t lowPass) {
        want.insert(want.end(), src.begin(), src.begin() + 46);
        want.push_back(static_cast<std::uint8_t>(integrate)), want.push_back(0);
        want.push_back(static_cast<std::uint8_t>(lowPass)), want.push_back(0);
        want.insert(want.end(), 6, 0);
        want.insert(want.end(), src.begin() + 50, src.begin() + 90);
        want.insert(want.end(), src.begin() + 96, src.end());
        want.push_back(0), want.push_back(0);
    };
    record(full, 0, 5);
    std::vector<std::uint8_t> padded(kInstrumentPointBytes, 0);
    std::memcpy(padded.data(), shortFile.data(), shortFile.size());
    std::memcpy(padded.data() + 50, "quorvane", 8);
    std::memcpy(padded.data() + 192, "quorvane", 8);
    record(padded, 1, 1);
    EXPECT_EQ(ReadWholeFile(target), want);
    EXPECT_TRUE(fs::is_empty(in));  // every downloaded file was used up
}

TEST(ConvertInstrumentProject, WithoutAProjectHeaderNothingIsWritten) {
    TempDir dir;
    const std::string in = dir.File("in");
    fs::create_directories(in);
    const std::string target = dir.File("out.tav");
    EXPECT_EQ(ConvertInstrumentProject(in, "XM001", target), ConvertResult::NotInstrumentData);
    ASSERT_TRUE(WriteFileAtomically(in + "/tav.par", std::vector<std::uint8_t>(71, 0)));
    EXPECT_EQ(ConvertInstrumentProject(in, "XM001", target), ConvertResult::NotInstrumentData);
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(WriteFileAtomically(in + "/tav.par", HeaderBytes(0)));
    EXPECT_EQ(ConvertInstrumentProject(in, "XM001", dir.File("no/such/folder.tav")), ConvertResult::WriteFailed);
}

TEST(ConvertInstrumentProject, StorageWrittenFromAProjectLoadsBackWithItsSamples) {
    TempDir dir;
    auto header = testing::MakeHeader(Utf8ToCp936("检测单位"), Utf8ToCp936("工程甲"));
    std::vector<TestPoint> points = {testing::WaveformPoint("P1", 1024, 3), testing::WaveformPoint("P2", 600, 4),
                                     testing::WaveformPoint("P3", 1500, 5)};
    points[0].defects.resize(1);
    points[0].defects[0].type = 2;
    points[0].defects[0].depth = 3.5f;
    const StorageProject project{&header, points};
    ASSERT_TRUE(WriteInstrumentStorage(dir.File("sd"), std::span(&project, 1)));

    const auto index = ReadWholeFile(dir.File("sd/DAT/RSITE.PAR"));
    ASSERT_TRUE(index);
    const auto entries = ParseInstrumentIndex(*index);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Cp936ToUtf8(entries[0].localName), "工程甲.tav");
    EXPECT_EQ(EntryPointCount(entries[0]), 3);

    const std::string target = dir.File("out.tav");
    ASSERT_EQ(ConvertInstrumentProject(dir.File("sd/DAT/XM001"), "XM001", target), ConvertResult::Converted);
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(OpenFile(doc, target).status, LoadStatus::Ok);
    EXPECT_EQ(std::string(TextOf(doc.header.magic)), "TAV02");
    ASSERT_EQ(doc.PointCount(), 3);
    for (std::size_t i = 0; i < 3; ++i) {
        std::vector<float> want(points[i].rawSamples.begin(),
                                points[i].rawSamples.begin() + std::min<std::size_t>(1024, points[i].rawSamples.size()));
        want.resize(1024, 0.0f);
        EXPECT_EQ(doc.points[i].rawSamples, want) << i;
        EXPECT_EQ(TextOf(doc.points[i].pileNo), TextOf(points[i].pileNo));
        EXPECT_EQ(doc.points[i].headIndex, points[i].headIndex);
    }
    ASSERT_EQ(doc.points[0].defectCount(), 1);
    EXPECT_EQ(doc.points[0].defects[0].type, 2);
}

}  // namespace
}  // namespace tav
