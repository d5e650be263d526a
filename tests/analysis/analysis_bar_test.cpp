#include <gtest/gtest.h>

#include <vector>

#include "analysis/analysis_bar.hpp"
#include "analysis/wavelet_table.hpp"
#include "base/byte_io.hpp"

namespace tav {
namespace {

TEST(AnalysisBarSettings, BytesInStoredOrderAndShortPayloads) {
    AnalysisBarSettings s;
    s.analysisType = 3;
    s.statisticsAnalysis = 2;
    s.spectrumA = 7;
    s.waveletLevel = 8;
    std::vector<std::uint8_t> bytes;
    ByteWriter w(bytes);
    WriteAnalysisBarSettings(w, s);
    ASSERT_EQ(bytes.size(), kAnalysisBarSettingsBytes);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[3 * 4], 2);
    EXPECT_EQ(bytes[9 * 4], 7) << "the tenth value is the cross power spectrum's A";
    EXPECT_EQ(bytes[13 * 4], 8);

    AnalysisBarSettings back;
    ByteReader r(bytes);
    ASSERT_TRUE(ReadAnalysisBarSettings(r, back));
    EXPECT_EQ(back, s);

    AnalysisBarSettings untouched;
    untouched.crossB = 5;
    ByteReader shortReader(std::span<const std::uint8_t>(bytes).first(55));
    EXPECT_FALSE(ReadAnalysisBarSettings(shortReader, untouched));
    EXPECT_EQ(untouched.crossB, 5);
}

TEST(AnalysisBarSettings, FillingTheBarResetsWhatNoLongerExists) {
    AnalysisBarSettings s;
    s.spectrumType = 7;
    s.waveletFamily = 2;
    s.waveletOrder = 5;  // Coiflets have five orders
    s.waveletLevel = 9;
    s.autoPoint = 3;
    s.crossB = 2;
    NormaliseAnalysisBarSettings(s, AppWaveletTable(), 3);
    EXPECT_EQ(s.spectrumType, 0);
    EXPECT_EQ(s.waveletFamily, 2);
    EXPECT_EQ(s.waveletOrder, 0);
    EXPECT_EQ(s.waveletLevel, 0);
    EXPECT_EQ(s.autoPoint, 0);
    EXPECT_EQ(s.crossB, 2);

    const std::vector<std::pair<std::int32_t, std::string>> lists{{3, "小波分析"}, {1, "Daubechies"}, {0, "2"}};
    EXPECT_EQ(AnalysisBarLogLine(lists), "显示设置==>[3,小波分析][1,Daubechies][0,2]");
}

}  // namespace
}  // namespace tav
