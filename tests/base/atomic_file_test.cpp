#include "base/atomic_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/creation_mask.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::TempDir;

// Set by a test to make every fchmod of this program fail, as on a file system
// that keeps its own permissions (see fchmod below).
std::atomic<bool> gRefuseFchmod{false};
// What fsync was asked to flush (see fsync below), and a disk that fails to
// take a folder's change.
std::atomic<int> gSyncedFiles{0};
std::atomic<int> gSyncedFolders{0};
std::atomic<bool> gFolderSyncFails{false};

bool IsFolder(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> HiddenTemporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".tav-save-")) found.push_back(e.path().string());
    return found;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

const std::vector<std::uint8_t> kBytes = {1, 2, 3, 4};

TEST(AtomicFile, ReplacingAFileKeepsItsPermissions) {
    TempDir dir;
    const auto path = dir.File("p.tav");
    for (const mode_t mode : {0640, 0604, 0600, 0444}) {
        ASSERT_TRUE(WriteFileAtomically(path, kBytes));
        ::chmod(path.c_str(), mode);
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(path, std::vector<std::uint8_t>{9, 9}, &error)) << error;
        EXPECT_EQ(ModeOf(path), mode);
        ::chmod(path.c_str(), 0600);
    }
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(WriteFileAtomically(dir.File("new.tav"), kBytes));
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir.File("new.tav")), 0644) << "a new file gets the usual permissions, not mkstemp's 0600";
}

// A batch saves on many threads at once: every new file gets the usual
// permissions, and the process's mask is what it was.
TEST(AtomicFile, NewFilesSavedOnManyThreadsKeepTheMask) {
    TempDir dir;
    const mode_t before = ::umask(027);
    EXPECT_EQ(FileCreationMask(), 027u);
    constexpr int kThreads = 4, kFiles = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kFiles; ++k)
                WriteFileAtomically(dir.File(std::to_string(t) + "-" + std::to_string(k)), kBytes);
        });
    for (auto& t : threads) t.join();
    const mode_t after = ::umask(before);
    EXPECT_EQ(after, 027u);
    int others = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        others += ModeOf(e.path().string()) != 0640;
    EXPECT_EQ(others, 0) << "files saved with another mode than 0666 less the mask";
}

TEST(AtomicFile, ErrorsAreChineseAndSaidOnce) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically("/nonexistent-folder/x.tav", kBytes, &error));
    EXPECT_EQ(error, "无法在“/nonexistent-folder”中创建文件：文件或文件夹不存在");
    EXPECT_FALSE(ReadWholeFile("/nonexistent-folder/x.tav", &error));
    EXPECT_EQ(error, "无法打开：文件或文件夹不存在");
    EXPECT_EQ(SystemErrorText(ENOSPC), "磁盘空间不足");
}

TEST(AtomicFile, FilesFinishedTogetherReplaceNothingUntilCommitted) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("a"), kBytes));
    {
        AtomicFileWriter a(dir.File("a"));
        AtomicFileWriter b(dir.File("b"));
        ASSERT_TRUE(a.Write(std::vector<std::uint8_t>{7}) && a.Finish());
        ASSERT_TRUE(b.Write(std::vector<std::uint8_t>{8}) && b.Finish());
        EXPECT_EQ(*ReadWholeFile(dir.File("a")), kBytes);
        EXPECT_EQ(HiddenTemporaries(dir.path()).size(), 2u);
        ASSERT_TRUE(b.Commit());
        EXPECT_FALSE(b.Write(std::vector<std::uint8_t>{9})) << "a committed writer takes no more bytes";
    }  // a is dropped without a commit
    EXPECT_EQ(*ReadWholeFile(dir.File("a")), kBytes);
    EXPECT_EQ(*ReadWholeFile(dir.File("b")), std::vector<std::uint8_t>{8});
    EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());
}

// The process is stopped in the middle of a save: the signal still ends it,
// and the hidden temporary file is gone.
void StoppedWhileSaving(const std::string& target, int signalNumber) {
    AtomicFileWriter out(target);
    out.Write(std::vector<std::uint8_t>(100000, 7));
    ::raise(signalNumber);
    std::_Exit(0);  // not reached
}

TEST(AtomicFileDeathTest, AnInterruptedSaveLeavesNoTemporaryFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("p.tav"), kBytes));
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        EXPECT_EXIT(StoppedWhileSaving(dir.File("p.tav"), signalNumber), ::testing::KilledBySignal(signalNumber), "");
        EXPECT_TRUE(HiddenTemporaries(dir.path()).empty()) << signalNumber;
        EXPECT_EQ(*ReadWholeFile(dir.File("p.tav")), kBytes);
    }
}

bool gOwnHandlerRan = false;
extern "C" void OwnHandler(int) { gOwnHandlerRan = true; }

TEST(AtomicFile, AHandlerOfTheProgramIsBackAfterTheSave) {
    TempDir dir;
    struct sigaction own {}, previous {};
    own.sa_handler = OwnHandler;
    sigemptyset(&own.sa_mask);
    ASSERT_EQ(::sigaction(SIGINT, &own, &previous), 0);
    {
        AtomicFileWriter out(dir.File("p.tav"));
        ASSERT_TRUE(out.Write(kBytes) && out.Commit());
    }
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, OwnHandler);

    // During a save, the program's handler still hears the signal after the temporary file is removed.
    {
        AtomicFileWriter out(dir.File("q.tav"));
        out.Write(kBytes);
        ::raise(SIGINT);
        EXPECT_TRUE(gOwnHandlerRan);
        EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());
        EXPECT_FALSE(out.Commit()) << "the save that lost its temporary file fails instead of claiming success";
    }
    ::sigaction(SIGINT, &previous, nullptr);
}

// A library that writes a file by its name, truncating what is there.
bool WriteByName(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

TEST(AtomicFile, ALibraryWritesTheHandedOverFileByName) {
    TempDir dir;
    const auto path = dir.File("p.docx");
    ASSERT_TRUE(WriteFileAtomically(path, kBytes));
    ::chmod(path.c_str(), 0640);
    {
        AtomicFileWriter out(path);
        const std::string temp = out.HandOverPath();
        EXPECT_EQ(HiddenTemporaries(dir.path()), std::vector<std::string>{temp}) << "beside the target, hidden";
        EXPECT_FALSE(out.Write(kBytes)) << "the library's truncation would lose them";
        ASSERT_TRUE(WriteByName(temp, {7, 7}));
        EXPECT_EQ(ReadWholeFile(path), kBytes);
        ASSERT_TRUE(out.Commit()) << out.Error();
    }
    EXPECT_EQ(ReadWholeFile(path), (std::vector<std::uint8_t>{7, 7}));
    EXPECT_EQ(ModeOf(path), 0640);

    // The library fails: the writer, dropped, takes the half-written file with it.
    {
        AtomicFileWriter out(path);
        ASSERT_TRUE(WriteByName(out.HandOverPath(), {1}));
    }
    EXPECT_EQ(ReadWholeFile(path), (std::vector<std::uint8_t>{7, 7}));

    // The library put a file of its own under the name: that one is committed.
    {
        AtomicFileWriter out(path);
        const std::string temp = out.HandOverPath();
        ::unlink(temp.c_str());
        ASSERT_TRUE(WriteByName(temp, {3}));
        ASSERT_TRUE(out.Commit()) << out.Error();
    }
    EXPECT_EQ(ReadWholeFile(path), std::vector<std::uint8_t>{3});
    EXPECT_EQ(ModeOf(path), 0640);

    // The library left no file, or a link to another one: nothing is replaced.
    ASSERT_TRUE(WriteFileAtomically(dir.File("elsewhere"), kBytes));
    for (const bool link : {false, true}) {
        AtomicFileWriter out(path);
        const std::string temp = out.HandOverPath();
        ::unlink(temp.c_str());
        if (link) {
            ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), temp.c_str()), 0);
        }
        EXPECT_FALSE(out.Commit()) << link;
        EXPECT_NE(out.Error().find("写入失败"), std::string::npos) << out.Error();
    }
    EXPECT_EQ(ReadWholeFile(path), std::vector<std::uint8_t>{3});
    EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());

    AtomicFileWriter nowhere(dir.File("missing/p.docx"));
    EXPECT_TRUE(nowhere.HandOverPath().empty()) << "no name for a file that could not be made";
    EXPECT_FALSE(nowhere.Commit());
}

TEST(AtomicFile, ACommitWaitsForTheDiskUnlessTheFileIsWork) {
    TempDir dir;
    const auto path = dir.File("p.tav");
    gSyncedFiles = 0;
    gSyncedFolders = 0;
    ASSERT_TRUE(WriteFileAtomically(path, kBytes));
    EXPECT_EQ(gSyncedFiles, 1);
    EXPECT_EQ(gSyncedFolders, 1) << "the new name is on the disk only once its folder is";
    {
        AtomicFileWriter work(dir.File("TAV.gwx"), AtomicFileWriter::Durability::WorkFile);
        ASSERT_TRUE(work.Write(kBytes) && work.Commit()) << work.Error();
    }
    EXPECT_EQ(gSyncedFiles, 1);
    EXPECT_EQ(gSyncedFolders, 1);
    EXPECT_EQ(ReadWholeFile(dir.File("TAV.gwx")), kBytes);

    // The disk does not take the folder's change: the file is in place, but
    // the save does not claim to be safe.
    gFolderSyncFails = true;
    std::string error;
    const bool saved = WriteFileAtomically(path, std::vector<std::uint8_t>{5}, &error);
    gFolderSyncFails = false;
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "文件已替换，但无法确认已写入磁盘：输入输出错误");
    EXPECT_EQ(ReadWholeFile(path), std::vector<std::uint8_t>{5});
    EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());
}

// A handler set over ours during a save that passes the signal on to what it
// replaced (ours), as cleanup handlers do. A later save must not set ours over
// it again: the two would pass the signal to each other for ever.
struct sigaction gPassedOnTo {};
extern "C" void PassingHandler(int signalNumber) {
    ::sigaction(signalNumber, &gPassedOnTo, nullptr);
    ::raise(signalNumber);
}

void StoppedAfterAHandlerWentOverOurs(const std::string& folder) {
    ::alarm(10);  // handlers that pass the signal round for ever end here instead
    {
        AtomicFileWriter first(folder + "/a");
        struct sigaction passing {};
        passing.sa_handler = PassingHandler;
        sigemptyset(&passing.sa_mask);
        ::sigaction(SIGINT, &passing, &gPassedOnTo);
    }  // ours stays beneath the one set over it
    AtomicFileWriter second(folder + "/b");
    second.Write(std::vector<std::uint8_t>(1000, 7));
    ::raise(SIGINT);
    std::_Exit(0);  // not reached
}

TEST(AtomicFileDeathTest, AHandlerSetOverOursDoesNotSendTheSignalRoundForEver) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    EXPECT_EXIT(StoppedAfterAHandlerWentOverOurs(dir.path()), ::testing::KilledBySignal(SIGINT), "");
    EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());
}

// The report library's saves, in code the program unloads after the call.
TEST(AtomicFile, SavesCanLeaveTheSignalHandlersAlone) {
    TempDir dir;
    struct sigaction before {};
    ::sigaction(SIGINT, nullptr, &before);
    RemoveTemporariesOnSignals(false);
    {
        AtomicFileWriter out(dir.File("p.tav"));
        struct sigaction during {};
        ::sigaction(SIGINT, nullptr, &during);
        EXPECT_EQ(during.sa_handler, before.sa_handler);
        EXPECT_TRUE(out.Write(kBytes) && out.Commit());
    }
    RemoveTemporariesOnSignals(true);
    EXPECT_EQ(ReadWholeFile(dir.File("p.tav")), kBytes);
}

TEST(FileEditLock, ASecondEditorWaitsForTheFileTheFirstOneSaved) {
    TempDir dir;
    const auto path = dir.File("p.tav");
    ASSERT_TRUE(WriteFileAtomically(path, kBytes));
    FileEditLock first;
    ASSERT_TRUE(first.Acquire(path, 0));
    FileEditLock refused;
    std::string error;
    EXPECT_FALSE(refused.Acquire(path, 0, &error));
    EXPECT_EQ(error, "文件正被另一个程序编辑，请稍后再试");
    EXPECT_FALSE(refused.Acquire(path, 50)) << "nor after a short wait";

    FileEditLock second;
    bool secondGotIt = false;
    std::thread waiting([&] { secondGotIt = second.Acquire(path, 10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // The first editor saves (the file is replaced) and lets go.
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<std::uint8_t>{5}));
    first.Release();
    waiting.join();
    ASSERT_TRUE(secondGotIt);
    // The second holds the file that is there now: a third one is kept out.
    FileEditLock third;
    EXPECT_FALSE(third.Acquire(path, 0));
    second.Release();
    EXPECT_TRUE(third.Acquire(path, 0));
    EXPECT_FALSE(FileEditLock().Acquire(dir.File("missing.tav"), 0, &error));
    EXPECT_EQ(error, "无法打开：文件或文件夹不存在");
}

// The save keeps the replaced file's mode; when the system will not set it,
// the save fails and the file stays as it was, unless the mode already is right.
TEST(AtomicFile, ASaveThatCannotKeepThePermissionsReplacesNothing) {
    TempDir dir;
    const auto path = dir.File("p.tav");
    ASSERT_TRUE(WriteFileAtomically(path, kBytes));
    ::chmod(path.c_str(), 0640);
    gRefuseFchmod = true;
    std::string error;
    const bool saved = WriteFileAtomically(path, std::vector<std::uint8_t>{9, 9}, &error);
    gRefuseFchmod = false;
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("无法保留文件的访问权限"), std::string::npos) << error;
    EXPECT_EQ(ReadWholeFile(path), kBytes);
    EXPECT_EQ(ModeOf(path), 0640);
    EXPECT_TRUE(HiddenTemporaries(dir.path()).empty());

    // A new file whose usual mode is the temporary file's own 0600 needs no change.
    const mode_t mask = ::umask(066);
    gRefuseFchmod = true;
    const bool savedNew = WriteFileAtomically(dir.File("new.tav"), kBytes, &error);
    gRefuseFchmod = false;
    ::umask(mask);
    EXPECT_TRUE(savedNew) << error;
    EXPECT_EQ(ModeOf(dir.File("new.tav")), 0600);
}

}  // namespace
}  // namespace tav

// Stands in for the C library's fchmod in this test program, so that a test can
// make it fail; otherwise it does what the library does.
extern "C" int fchmod(int fd, mode_t mode) noexcept {
    if (tav::gRefuseFchmod) {
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fchmod, fd, mode));
}

// Likewise fsync, counted, and failing for folders when a test asks.
extern "C" int fsync(int fd) {
    const bool folder = tav::IsFolder(fd);
    if (folder && tav::gFolderSyncFails) {
        errno = EIO;
        return -1;
    }
    ++(folder ? tav::gSyncedFolders : tav::gSyncedFiles);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
