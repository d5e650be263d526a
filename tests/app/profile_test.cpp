#include <gtest/gtest.h>

#include <string>

#include "app/config_profile.hpp"
#include "app/ini_file.hpp"
#include "app/panel_position.hpp"
#include "app/registry_store.hpp"
#include "base/atomic_file.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::TempDir;

void WriteText(const std::string& path, std::string_view text) {
    ASSERT_TRUE(WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
}

std::string ReadText(const std::string& path) {
    auto b = ReadWholeFile(path);
    return b ? std::string(b->begin(), b->end()) : std::string();
}

TEST(ConfigProfile, LoadingAppliesDefaultsAndLimits) {
    TempDir dir;
    ConfigProfile profile(dir.path());
    EXPECT_EQ(LoadShellProfile(profile), ShellProfile{});  // no file at all

    WriteText(dir.File("Config.ini"),
              "[SpeedRange]\nLow=2000\nHigh=5000\n[ShortCut]\nFastSwitch=0\nWheelScale=false\n"
              "[WaveDisplay]\nHeight=149\n[Report]\nRuler=2\n");
    ShellProfile s = LoadShellProfile(profile);
    EXPECT_EQ(s.speedLow, 2700);
    EXPECT_EQ(s.speedHigh, 4300);
    EXPECT_FALSE(s.fastSwitch);
    EXPECT_TRUE(s.wheelScale);  // only exactly "0" turns it off
    EXPECT_EQ(s.waveHeight, 0);
    EXPECT_EQ(s.reportRuler, 2);

    WriteText(dir.File("Config.ini"), "[speedrange]\nlow = 3000\nHigh=abc\n[WaveDisplay]\nHeight=150\n[Report]\nRuler=\n");
    s = LoadShellProfile(profile);
    EXPECT_EQ(s.speedLow, 3000);
    EXPECT_EQ(s.speedHigh, 4300);
    EXPECT_EQ(s.waveHeight, 150);
    EXPECT_EQ(s.reportRuler, 0);

    EXPECT_EQ(ParseProfileInt(" -12 "), -12);
    EXPECT_FALSE(ParseProfileInt("99999999999"));
    EXPECT_FALSE(ParseProfileInt("12px"));
}

TEST(ConfigProfile, WritesKeepTheRestOfTheFileAndHonourTheFileName) {
    TempDir dir;
    ConfigProfile profile(dir.path());
    WriteText(dir.File("Config.ini"), "; the user's note\n[Report]\nRuler=1\n\n[Other]\nKey=keep me\n");
    ASSERT_TRUE(profile.ProfileWrite("report", "RULER", "3"));
    ASSERT_TRUE(profile.ProfileWrite("Report", "Extra", "  padded  "));
    ASSERT_TRUE(profile.ProfileWrite("New", "Line", "one\ntwo"));
    EXPECT_EQ(profile.ProfileRead("Report", "Ruler"), "3");
    EXPECT_EQ(profile.ProfileRead("Report", "Extra"), "  padded  ");
    EXPECT_EQ(profile.ProfileRead("New", "Line"), "one two");
    EXPECT_EQ(profile.ProfileRead("Other", "Key"), "keep me");
    const std::string text = ReadText(dir.File("Config.ini"));
    EXPECT_EQ(text.find("; the user's note\n[Report]\nRuler=3\nExtra="), 0u) << text;

    ASSERT_TRUE(profile.ProfileWrite("S", "K", "v", "Other.ini"));
    EXPECT_EQ(profile.ProfileRead("S", "K", "Other.ini"), "v");
    EXPECT_EQ(profile.ProfileRead("S", "K"), "");

    ASSERT_TRUE(profile.ProfileWrite("S", "Long", std::string(300, 'x')));
    EXPECT_EQ(profile.ProfileRead("S", "Long").size(), 259u);
}

TEST(ConfigProfile, DisplaySettingsDialog) {
    EXPECT_EQ(CheckSpeedRange(1500, 7000).low, 2000);
    EXPECT_EQ(CheckSpeedRange(1500, 7000).high, 6000);
    EXPECT_TRUE(CheckSpeedRange(1500, 7000).valid);
    EXPECT_FALSE(CheckSpeedRange(4000, 4000).valid);
    EXPECT_FALSE(CheckSpeedRange(1000, 1500).valid);  // 2000 is not below 1500

    TempDir dir;
    ConfigProfile profile(dir.path());
    ShellProfile before;
    ShellProfile after = before;
    after.wheelScale = false;
    EXPECT_FALSE(SaveDisplaySettingsDialog(profile, before, after));
    EXPECT_EQ(ReadText(dir.File("Config.ini")), "[ShortCut]\nWheelScale=0\n");
    after.speedHigh = 5000;
    EXPECT_TRUE(SaveDisplaySettingsDialog(profile, before, after));
    EXPECT_EQ(profile.ProfileRead("SpeedRange", "High"), "5000");
    EXPECT_EQ(profile.ProfileRead("SpeedRange", "Low"), "");
}

TEST(PanelPosition, StoredPlaceIsUsedOnlyWhenItFits) {
    const ScreenRect screen{0, 0, 1920, 1080};
    const ScreenRect wave{100, 200, 800, 400};
    const PanelPlacement centre{PanelPlacementKind::MoveTo, 500, 400};
    const PanelPlacement stay{PanelPlacementKind::Stay, 0, 0};

    EXPECT_EQ(PlacePanel("300,200", 200, 100, screen, wave), (PanelPlacement{PanelPlacementKind::MoveTo, 300, 200}));
    EXPECT_EQ(PlacePanel("1720,980", 200, 100, screen, wave), (PanelPlacement{PanelPlacementKind::MoveTo, 1720, 980}));
    EXPECT_EQ(PlacePanel("1721,980", 200, 100, screen, wave), centre);
    EXPECT_EQ(PlacePanel("-5,10", 200, 100, screen, wave), stay);
    EXPECT_EQ(PlacePanel("5,-10", 200, 100, screen, wave), stay);
    EXPECT_EQ(PlacePanel("0,10", 200, 100, screen, wave), centre);
    EXPECT_EQ(PlacePanel("", 200, 100, screen, wave), centre);
    EXPECT_EQ(PlacePanel("300 200", 200, 100, screen, wave), centre);
    EXPECT_EQ(PlacePanel("99999999999,5", 200, 100, screen, wave), centre);

    TempDir dir;
    ConfigProfile profile(dir.path());
    ASSERT_TRUE(SavePanelPosition(profile, kPanelKeyFilter, 40, 50));
    EXPECT_EQ(profile.ProfileRead("DlgPos", "Filter"), "40,50");
    EXPECT_EQ(RestorePanelPosition(profile, kPanelKeyFilter, 200, 100, screen, wave),
              (PanelPlacement{PanelPlacementKind::MoveTo, 40, 50}));
    EXPECT_EQ(RestorePanelPosition(profile, kPanelKeyRotate, 200, 100, screen, wave), centre);
}

TEST(RegistryStore, HistoriesVersionsAndRecentFiles) {
    TempDir dir;
    RegistryStore reg(dir.path());
    EXPECT_EQ(reg.Path(), dir.path() + "/registry.ini");
    EXPECT_TRUE(reg.ReadComboHistory(1001).empty());

    ASSERT_TRUE(reg.WriteComboHistory(1001, {"桩号 1", " lead", "c"}));
    ASSERT_TRUE(reg.WriteComboHistory(1002, {"other"}));
    EXPECT_EQ(reg.ReadComboHistory(1001), (std::vector<std::string>{"桩号 1", " lead", "c"}));
    EXPECT_EQ(reg.ReadString("HKCU\\Software\\Quorvane\\TAV\\QUORVANE_TAVANA_SETUP_001\\1001", "03"), "c");
    // A shorter history leaves no stale entries behind.
    ASSERT_TRUE(reg.WriteComboHistory(1001, {"x"}));
    EXPECT_EQ(reg.ReadComboHistory(1001), (std::vector<std::string>{"x"}));
    EXPECT_EQ(reg.ReadComboHistory(1002), (std::vector<std::string>{"other"}));
    EXPECT_EQ(ComboHistoryValueName(7), "07");
    EXPECT_EQ(ComboHistoryValueName(123), "123");

    ASSERT_TRUE(reg.WriteVersionValues());
    EXPECT_EQ(reg.ReadInt(kVersionKeyPath, "VER0"), 4);
    EXPECT_EQ(reg.ReadInt(kVersionKeyPath, "VER2"), 1);
    EXPECT_EQ(VersionLogText(), "Version=(4.0.1.0)");

    std::vector<std::string> recent;
    for (const char* f : {"/a.tav", "/b.tav", "/c.tav", "/d.tav", "/e.tav", "/c.tav"}) recent = AddRecentFile(recent, f);
    EXPECT_EQ(recent, (std::vector<std::string>{"/c.tav", "/e.tav", "/d.tav", "/b.tav"}));
    ASSERT_TRUE(reg.WriteRecentFiles(recent));
    EXPECT_EQ(reg.ReadRecentFiles(), recent);
}

TEST(IniFile, OddTextNeverLosesLines) {
    const std::string text = "\xEF\xBB\xBF[A]\r\nk=v\r\nno equals here\n[broken\n=empty key\n;c=d\n[B]\nk=\"\"\n";
    IniFile ini = IniFile::Parse(text);
    EXPECT_EQ(ini.Get("a", "K"), "v");
    EXPECT_FALSE(ini.Get("A", "c"));
    EXPECT_EQ(ini.Get("B", "k"), "");
    ini.Set("B", "n", "1");
    EXPECT_EQ(ini.Text(), "[A]\nk=v\nno equals here\n[broken\n=empty key\n;c=d\n[B]\nk=\"\"\nn=1\n");
}

}  // namespace
}  // namespace tav
