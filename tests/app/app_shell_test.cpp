#include "app/app_shell.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "app/temp_folder.hpp"
#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::TempDir;

std::string ReadText(const std::string& path) {
    auto b = ReadWholeFile(path);
    return b ? std::string(b->begin(), b->end()) : std::string();
}

// A private home: every folder of the shell lies under one temporary folder.
struct Sandbox {
    TempDir dir;
    std::map<std::string, std::string> vars{
        {"HOME", dir.path()},
        {"XDG_CONFIG_HOME", dir.path() + "/config"},
        {"XDG_STATE_HOME", dir.path() + "/state"},
        {"XDG_DATA_HOME", dir.path() + "/share"},
        {"TMPDIR", dir.path() + "/tmp"},
    };
    AppShellOptions Options(std::string exe, std::vector<std::string> args = {}) {
        AppShellOptions o;
        o.executablePath = std::move(exe);
        o.arguments = std::move(args);
        o.environment = [this](std::string_view name) -> std::optional<std::string> {
            auto it = vars.find(std::string(name));
            if (it == vars.end()) return std::nullopt;
            return it->second;
        };
        o.refreshDesktopDatabases = false;
        o.logClock = [] { return std::string("T"); };
        return o;
    }
    std::string DesktopEntry() const { return ReadText(dir.path() + "/share/applications/tav-analyser.desktop"); }
};

TEST(AppShell, AssociationIsWrittenOnceAndRewrittenForAnotherExecutable) {
    Sandbox box;
    {
        AppShell shell(box.Options("/opt/tav/bin/tav_analyser"));
        ASSERT_TRUE(shell.Startup());
        EXPECT_EQ(shell.Association(), AssociationResult::Written);
    }
    const std::string mime = ReadText(box.dir.path() + "/share/mime/packages/tav-analyser.xml");
    EXPECT_NE(mime.find("<glob pattern=\"*.tav\"/>"), std::string::npos);
    EXPECT_EQ(DesktopEntryExecutable(box.DesktopEntry()), "/opt/tav/bin/tav_analyser");

    {
        AppShell shell(box.Options("/opt/tav/bin/tav_analyser"));
        ASSERT_TRUE(shell.Startup());
        EXPECT_EQ(shell.Association(), AssociationResult::Present);
    }
    {
        AppShell shell(box.Options("/home/me/build/bin/tav_analyser"));
        ASSERT_TRUE(shell.Startup());
        EXPECT_EQ(shell.Association(), AssociationResult::Written);
    }
    EXPECT_EQ(DesktopEntryExecutable(box.DesktopEntry()), "/home/me/build/bin/tav_analyser");

    // A MIME package that lost the glob is no longer present.
    ASSERT_TRUE(WriteFileAtomically(box.dir.path() + "/share/mime/packages/tav-analyser.xml", std::vector<std::uint8_t>{}));
    EXPECT_FALSE(AssociationPresent(box.dir.path() + "/share", "/home/me/build/bin/tav_analyser"));
}

TEST(AppShell, ExecLineSurvivesAwkwardPaths) {
    for (std::string path : {"/opt/my tav/bin/tav", "/a/\"q\"/$HOME/`x`/50%/back\\slash/tav", "/simple"}) {
        EXPECT_EQ(DesktopEntryExecutable(DesktopEntryText(path)), path);
    }
    EXPECT_EQ(DesktopEntryExecutable("[Desktop Entry]\nExec=/usr/bin/tav %f\n"), "/usr/bin/tav");
    EXPECT_EQ(DesktopEntryExecutable("[Desktop Entry]\nName=x\n"), "");
}

TEST(AppShell, StartupAndShutdownLogInOrder) {
    Sandbox box;
    {
        AppShell shell(box.Options("/opt/tav/bin/tav_analyser"));
        ASSERT_TRUE(shell.Startup());
        EXPECT_EQ(shell.LogFilePath(), box.dir.path() + "/state/tav-analyser/QRVTAV_log.txt");

        struct Window : DocumentEvents {
            std::vector<std::string> lines;
            int refreshes = 0;
            void Log(std::string_view l) override { lines.emplace_back(l); }
            void RefreshViews() override { ++refreshes; }
        } window;
        CTAV_AnalyserDoc doc;
        doc.SetEvents(&shell.DocumentEventsFor(&window));
        doc.Events().Log("打开文件==>“a\nb.tav”");
        doc.Events().RefreshViews();
        EXPECT_EQ(window.lines.size(), 1u);
        EXPECT_EQ(window.refreshes, 1);
        shell.Shutdown();
        shell.Log("after shutdown");
    }
    EXPECT_EQ(ReadText(box.dir.path() + "/state/tav-analyser/QRVTAV_log.txt"),
              "T 软件启动\nT Version=(4.0.1.0)\nT 打开文件==>“a b.tav”\nT 软件退出\n");

    // A second run appends.
    {
        AppShell shell(box.Options("/opt/tav/bin/tav_analyser"));
        shell.Startup();
    }
    const std::string log = ReadText(box.dir.path() + "/state/tav-analyser/QRVTAV_log.txt");
    EXPECT_TRUE(log.ends_with("T 软件退出\n"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 7);
}

TEST(AppShell, StartupReadsItsSettingsAndTheFileArgument) {
    Sandbox box;
    // An edit scope left by an earlier run; no cursor file yet.
    const std::string tmp = box.dir.path() + "/tmp/";
    SettingsFiles earlier(tmp);
    EditScopeSettings scope;
    scope.editScope = 1;
    ASSERT_TRUE(earlier.Write(scope));
    ASSERT_TRUE(ConfigProfile(box.dir.path() + "/config/tav-analyser/").ProfileWrite("SpeedRange", "Low", "3000"));

    AppShell shell(box.Options("/opt/tav/bin/tav_analyser", {"  /data/site 1/pile.tav  "}));
    ASSERT_TRUE(shell.Startup());
    EXPECT_EQ(shell.FileArgument(), "/data/site 1/pile.tav");
    EXPECT_EQ(shell.ProgramFolder(), "/opt/tav/bin/");
    EXPECT_EQ(shell.ConfigFolder(), box.dir.path() + "/config/tav-analyser/");
    EXPECT_EQ(shell.EditScope(), 1);
    EXPECT_EQ(shell.CursorStyle(), 1);
    EXPECT_EQ(shell.ShellSettings().speedLow, 3000);
    EXPECT_TRUE(ReadWholeFile(box.dir.path() + "/.cache/tav-analyser/tmp/QRV_TAV4_CURS_001.ini"))
        << "settings files live in the private folder";
    EXPECT_FALSE(ReadWholeFile(tmp + "QRV_TAV4_CURS_001.ini")) << "never in the shared one";
    EXPECT_EQ(shell.Registry().ReadInt(kVersionKeyPath, "VER0"), 4);
    EXPECT_EQ(shell.Registry().Path(), box.dir.path() + "/config/tav-analyser/registry.ini");

    shell.SetCursorStyle(2);
    CursorStyleSettings curs;
    ASSERT_TRUE(shell.Settings().Read(curs));
    EXPECT_EQ(curs.cursorStyle, 2);

    std::uint16_t value = 7;
    EXPECT_FALSE(shell.Port().Loaded());
    EXPECT_FALSE(shell.Port().Inp32(0x378, value));
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(shell.Port().Out32(0x378, 1));
    EXPECT_FALSE(shell.Words().pileTypes.empty());

    EXPECT_EQ(CommandArgument({}), "");
}

TEST(AppEnvironment, FoldersFollowXdgWithOverrides) {
    std::map<std::string, std::string> vars{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "relative/ignored"},
                                            {"TAV_STATE_DIR", "/srv/state"}};
    EnvLookup env = [&](std::string_view n) -> std::optional<std::string> {
        auto it = vars.find(std::string(n));
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
    AppFolders f = ResolveAppFolders(env, "/usr/bin/tav_analyser");
    EXPECT_EQ(f.program, "/usr/bin/");
    EXPECT_EQ(f.config, "/home/u/.config/tav-analyser/");
    EXPECT_EQ(f.state, "/srv/state/");
    EXPECT_EQ(f.temp, "/home/u/.cache/tav-analyser/tmp/");
    EXPECT_EQ(f.sharedTemp, "/tmp/");
    EXPECT_EQ(f.dataHome, "/home/u/.local/share/");
    EXPECT_EQ(f.data, "/usr/bin/../share/tav-analyser/");
    vars["TAV_DATA_DIR"] = "/srv/data";
    vars["TMPDIR"] = "/var/tmp";
    f = ResolveAppFolders(env, "/usr/bin/tav_analyser");
    EXPECT_EQ(f.data, "/srv/data/");
    EXPECT_EQ(f.sharedTemp, "/var/tmp/");
    vars["XDG_CACHE_HOME"] = "/home/u/cache";
    EXPECT_EQ(ResolveAppFolders(env, "").temp, "/home/u/cache/tav-analyser/tmp/");
    vars["XDG_RUNTIME_DIR"] = "/run/user/1000";
    EXPECT_EQ(ResolveAppFolders(env, "").temp, "/run/user/1000/tav-analyser/");
}

TEST(PrivateTempFolder, CreatedPrivateAndRefusedWhenOthersCouldReachIt) {
    TempDir dir;
    AppFolders f;
    f.temp = dir.path() + "/run/tav-analyser/";
    f.state = dir.path() + "/state/";
    f.sharedTemp = dir.path() + "/shared/";
    std::string error;
    ASSERT_EQ(PreparePrivateTempFolder(f, &error), f.temp) << error;
    struct stat st {};
    ASSERT_EQ(::stat(f.temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::chmod(f.temp.c_str(), 0710);
    EXPECT_EQ(PreparePrivateTempFolder(f, &error), "");
    EXPECT_EQ(error, "临时文件夹“" + f.temp + "”允许其他用户访问（权限0710），拒绝使用");
    ::chmod(f.temp.c_str(), 0700);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(f.temp.c_str(), 65534, 65534), 0);
        EXPECT_EQ(PreparePrivateTempFolder(f, &error), "");
        EXPECT_EQ(error, "临时文件夹“" + f.temp + "”不属于当前用户，拒绝使用");
        ASSERT_EQ(::chown(f.temp.c_str(), 0, 0), 0);
    }

    // A link planted under the folder's name is not followed.
    std::filesystem::create_directories(dir.path() + "/elsewhere");
    ::chmod((dir.path() + "/elsewhere").c_str(), 0700);
    f.temp = dir.path() + "/linked/";
    std::filesystem::create_directory_symlink(dir.path() + "/elsewhere", dir.path() + "/linked");
    EXPECT_EQ(PreparePrivateTempFolder(f, &error), "");
    EXPECT_EQ(error, "临时文件夹“" + f.temp + "”不是文件夹，拒绝使用");
}

TEST(PrivateTempFolder, OldSettingsFilesAreTakenOverOnceAndOnlyTheUsersOwn) {
    TempDir dir;
    AppFolders f;
    f.temp = dir.path() + "/private/";
    f.state = dir.path() + "/state/";
    f.sharedTemp = dir.path() + "/shared/";
    std::filesystem::create_directories(f.sharedTemp);
    const auto write = [](const std::string& path, std::uint8_t byte) {
        ASSERT_TRUE(WriteFileAtomically(path, std::vector<std::uint8_t>(40, byte)));
    };
    write(f.sharedTemp + "QRV_TAV4_EDIT_001.ini", 1);
    write(f.sharedTemp + "QRV_TAV4_DISP_001.ini", 2);
    write(dir.path() + "/planted", 3);
    std::filesystem::create_symlink(dir.path() + "/planted", f.sharedTemp + "QRV_TAV4_CURS_001.ini");
    write(f.sharedTemp + "unrelated.ini", 4);
    // The private folder already has its own display settings.
    std::filesystem::create_directories(f.temp);
    ::chmod(f.temp.c_str(), 0700);
    write(f.temp + "QRV_TAV4_DISP_001.ini", 5);

    ASSERT_EQ(PreparePrivateTempFolder(f), f.temp);
    EXPECT_EQ(ReadWholeFile(f.temp + "QRV_TAV4_EDIT_001.ini")->at(0), 1);
    EXPECT_EQ(ReadWholeFile(f.temp + "QRV_TAV4_DISP_001.ini")->at(0), 5) << "the private file is kept";
    EXPECT_FALSE(ReadWholeFile(f.temp + "QRV_TAV4_CURS_001.ini")) << "a link is not followed";
    EXPECT_FALSE(ReadWholeFile(f.temp + "unrelated.ini"));

    // Once only: later files in the shared folder are left there.
    std::filesystem::remove(f.temp + "QRV_TAV4_EDIT_001.ini");
    ASSERT_EQ(PreparePrivateTempFolder(f), f.temp);
    EXPECT_FALSE(ReadWholeFile(f.temp + "QRV_TAV4_EDIT_001.ini"));
}

}  // namespace
}  // namespace tav
