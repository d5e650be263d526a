#include "transfer/instrument_server.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Replies = std::vector<std::string>;
using State = InstrumentServer::State;

std::vector<std::uint8_t> Bytes(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return v;
}

std::string Text(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t n) {
    return {reinterpret_cast<const char*>(v.data()) + from, n};
}

// A storage folder ("sd", the drive c:\) with DAT\XM001 holding two files and
// a subfolder, and an empty folder UP; a file "secret" lies next to it.
struct Drive {
    Drive() {
        fs::create_directories(dir.File("sd/DAT/XM001/SUB"));
        fs::create_directories(dir.File("sd/UP"));
        EXPECT_TRUE(WriteFileAtomically(dir.File("sd/DAT/XM001/A.BIN"), a));
        EXPECT_TRUE(WriteFileAtomically(dir.File("sd/DAT/XM001/B.BIN"), b));
        EXPECT_TRUE(WriteFileAtomically(dir.File("secret"), Bytes(3, 0)));
    }
    TempDir dir;
    std::vector<std::uint8_t> a = Bytes(9000, 1);
    std::vector<std::uint8_t> b = Bytes(5, 2);
    InstrumentServer server{dir.File("sd")};
};

TEST(InstrumentServer, RequestsOutOfTurnAreRefusedNotObeyed) {
    Drive d;
    // The second halves of exchanges, with nothing begun.
    for (const char* text : {"SEND", "BEGIN5 X.BIN", "END", "X.BIN CANNOT OPEN"}) {
        EXPECT_EQ(d.server.Answer(text), Replies{"ERROR"}) << text;
        EXPECT_EQ(d.server.CurrentState(), State::Idle) << text;
    }
    EXPECT_FALSE(fs::exists(d.dir.File("sd/X.BIN")));
    // An upload into a folder the instrument does not have never opens: its
    // files are refused as stray requests.
    EXPECT_EQ(d.server.Answer("GETD c:\\none"), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
    EXPECT_EQ(d.server.Answer("BEGIN5 X.BIN"), Replies{"ERROR"});
    EXPECT_EQ(d.server.Commands().size(), 6u);
}

TEST(InstrumentServer, AFolderGoesFileByFileAndAnOfferLapsesOnAnyOtherRequest) {
    Drive d;
    EXPECT_EQ(d.server.Answer(std::string("downd c:\\dat\\xm001\0junk", 23)), Replies{"BEGIN9000 A.BIN"});
    EXPECT_EQ(d.server.CurrentState(), State::OfferingFolder);
    // The file in chunks of the buffer, the next notice right behind them.
    EXPECT_EQ(d.server.Answer("send"),
              (Replies{Text(d.a, 0, 4096), Text(d.a, 4096, 4096), Text(d.a, 8192, 808), "BEGIN5 B.BIN"}));
    EXPECT_EQ(d.server.CurrentState(), State::OfferingFolder);
    EXPECT_EQ(d.server.Answer("SEND"), (Replies{Text(d.b, 0, 5), "END"}));
    EXPECT_EQ(d.server.CurrentState(), State::Idle);

    // Another request instead of SEND: it is answered as such, and the
    // folder's remaining files are forgotten, not sent to a later SEND.
    d.server.Answer("DOWND c:\\dat\\xm001");
    EXPECT_EQ(d.server.Answer("DOWNF dat\\xm001\\b.bin"), Replies{"BEGIN5 B.BIN"});
    EXPECT_EQ(d.server.CurrentState(), State::OfferingFile);
    EXPECT_EQ(d.server.Answer("HI"), Replies{"HI TAV-SIM"});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
    EXPECT_EQ(d.server.Answer("SEND"), Replies{"ERROR"});
    EXPECT_EQ(d.server.Commands(), (std::vector<std::string>{"downd c:\\dat\\xm001", "DOWND c:\\dat\\xm001",
                                                             "DOWNF dat\\xm001\\b.bin", "HI", "SEND"}));

    // What cannot be offered.
    EXPECT_EQ(d.server.Answer("DOWND c:\\nothing"), (Replies{"c:\\nothing CANNOT OPEN", "END"}));
    EXPECT_EQ(d.server.Answer("DOWND c:\\UP"), Replies{"END"});
    EXPECT_EQ(d.server.Answer("DOWNF c:\\dat\\xm001\\sub"), Replies{"c:\\dat\\xm001\\sub CANNOT OPEN"});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
}

TEST(InstrumentServer, AnUploadTakesTheAnnouncedBytesWhateverTheySay) {
    Drive d;
    EXPECT_EQ(d.server.Answer("GETD c:\\up"), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFolder);
    EXPECT_EQ(d.server.Answer("BEGIN7 a.bin"), Replies{"SEND"});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFile);
    // Data that reads like a command, zero byte and all, is data.
    const std::string first("HI\0E", 4);
    EXPECT_EQ(d.server.Answer(first), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFile);
    EXPECT_EQ(d.server.Answer("END"), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFolder);
    EXPECT_EQ(ReadWholeFile(d.dir.File("sd/UP/a.bin")), (std::vector<std::uint8_t>{'H', 'I', 0, 'E', 'E', 'N', 'D'}));

    // A file the workstation could not open, an empty one, names that would
    // leave the folder.
    EXPECT_EQ(d.server.Answer("x.bin CANNOT OPEN"), Replies{});
    EXPECT_EQ(d.server.Answer("BEGIN0 e.bin"), Replies{"SEND"});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFolder);
    EXPECT_TRUE(fs::is_empty(d.dir.File("sd/UP/e.bin")));
    EXPECT_EQ(d.server.Answer("BEGIN3 .."), Replies{"ERROR"});
    EXPECT_EQ(d.server.Answer("BEGIN3 ..\\secret"), Replies{"ERROR"});
    EXPECT_EQ(d.server.Answer("BEGIN3 ../secret"), Replies{"ERROR"});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFolder);
    EXPECT_EQ(ReadWholeFile(d.dir.File("secret")), Bytes(3, 0));

    EXPECT_EQ(d.server.Answer("END"), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
    EXPECT_EQ(d.server.Answer("HI"), Replies{"HI TAV-SIM"});
    // Any other request ends an upload and is answered.
    d.server.Answer("GETD \\UP");
    EXPECT_EQ(d.server.Answer("DIR"), Replies{"DAT\r\nUP\r\n"});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
    EXPECT_EQ(d.server.Commands(), (std::vector<std::string>{"GETD c:\\up", "HI", "GETD \\UP", "DIR"}));
}

TEST(InstrumentServer, PathsFindTheirFilesWithoutRegardToCaseAndNeverLeaveTheStorage) {
    Drive d;
    const fs::path sd = d.dir.File("sd");
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\dat\\xm001\\a.bin"), sd / "DAT/XM001/A.BIN");
    EXPECT_EQ(ResolveInstrumentPath(sd, "C:/Dat/./xm001/SUB/../b.bin"), sd / "DAT/XM001/B.BIN");
    EXPECT_EQ(ResolveInstrumentPath(sd, "a.bin", "\\DAT\\XM001"), sd / "DAT/XM001/A.BIN");
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\"), sd);
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\dat\\none"), std::nullopt);
    for (const char* out : {"..\\secret", "c:\\..\\secret", "c:\\dat\\..\\..\\secret", "\\UP\\..\\..\\secret"})
        EXPECT_EQ(ResolveInstrumentPath(sd, out), std::nullopt) << out;
    EXPECT_EQ(ResolveInstrumentPath(sd, "..\\..\\secret", "\\DAT"), std::nullopt);

    // Through the server: the current folder moves only inside the drive.
    EXPECT_EQ(d.server.Answer("CD dat\\XM001"), Replies{"OK"});
    EXPECT_EQ(d.server.Answer("PWD"), Replies{"C:\\DAT\\XM001"});
    EXPECT_EQ(d.server.Answer("CD ..\\..\\.."), Replies{"ERROR"});
    EXPECT_EQ(d.server.Cwd(), "\\DAT\\XM001");
    EXPECT_EQ(d.server.Answer("DOWNF ..\\..\\..\\secret"), Replies{"..\\..\\..\\secret CANNOT OPEN"});
    EXPECT_EQ(d.server.Answer("CD \\"), Replies{"OK"});
    EXPECT_EQ(d.server.Answer("PWD"), Replies{"C:\\"});
}

// A storage folder is an ordinary folder and may hold symbolic links; one
// that points out of it is not a way out for the workstation's requests.
TEST(InstrumentServer, LinksOutOfTheStorageLeadNowhere) {
    Drive d;
    const fs::path sd = d.dir.File("sd");
    fs::create_directories(d.dir.File("outside"));
    ASSERT_TRUE(WriteFileAtomically(d.dir.File("outside/X.BIN"), Bytes(4, 3)));
    fs::create_directory_symlink(d.dir.File("outside"), sd / "OUT");
    fs::create_symlink(d.dir.File("secret"), sd / "DAT/XM001/C.BIN");
    fs::create_symlink(d.dir.File("secret"), sd / "UP/planted.bin");
    fs::create_symlink(d.dir.File("nowhere"), sd / "UP/dangling.bin");
    fs::create_symlink(sd / "DAT/XM001/B.BIN", sd / "UP/inside.bin");

    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\out"), std::nullopt);
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\out\\x.bin"), std::nullopt);
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\dat\\xm001\\c.bin"), std::nullopt);
    EXPECT_EQ(ResolveInstrumentPath(sd, "c:\\up\\inside.bin"), sd / "UP/inside.bin");

    EXPECT_EQ(d.server.Answer("DOWNF c:\\out\\x.bin"), Replies{"c:\\out\\x.bin CANNOT OPEN"});
    EXPECT_EQ(d.server.Answer("CD c:\\out"), Replies{"ERROR"});
    EXPECT_EQ(d.server.Answer("GETD c:\\out"), Replies{});
    EXPECT_EQ(d.server.CurrentState(), State::Idle);
    // A folder's files: the one that points away is left out.
    EXPECT_EQ(d.server.Answer("DOWND c:\\dat\\xm001"), Replies{"BEGIN9000 A.BIN"});
    d.server.Answer("SEND");
    EXPECT_EQ(d.server.Answer("SEND"), (Replies{Text(d.b, 0, 5), "END"}));

    // An upload never writes through a link to a place outside.
    d.server.Answer("GETD c:\\up");
    EXPECT_EQ(d.server.Answer("BEGIN3 planted.bin"), Replies{"ERROR"});
    EXPECT_EQ(d.server.Answer("BEGIN3 dangling.bin"), Replies{"ERROR"});
    EXPECT_EQ(d.server.CurrentState(), State::TakingFolder);
    EXPECT_EQ(ReadWholeFile(d.dir.File("secret")), Bytes(3, 0));
    EXPECT_FALSE(fs::exists(d.dir.File("nowhere")));
    EXPECT_EQ(d.server.Answer("BEGIN0 inside.bin"), Replies{"SEND"});
    EXPECT_TRUE(fs::is_empty(sd / "DAT/XM001/B.BIN"));
    EXPECT_TRUE(fs::exists(d.dir.File("outside/X.BIN")));
}

}  // namespace
}  // namespace tav
