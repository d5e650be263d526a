#include "transfer/instrument_wire.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/support/tool_runner.hpp"
#include "transfer/parallel_link.hpp"
#include "transfer/simulated_instrument.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(InstrumentWire, AHalfPacketTheWorkstationAbandonsNeverJoinsTheNextOne) {
    std::vector<std::string> heard;
    InstrumentWire wire([&](std::string_view payload) {
        heard.emplace_back(payload);
        return std::vector<std::string>{"OK"};
    });
    ParallelLink link(wire);
    // A header for ten bytes and three of them, then the workstation gives up.
    const std::uint8_t half[] = {10, 0, 10, 0, 'a', 'b', 'c'};
    ASSERT_EQ(link.SendBytes(half), 7);
    EXPECT_EQ(wire.CurrentPhase(), InstrumentWire::Phase::Receive);
    // Waiting for a reply that never comes outlasts the instrument's own time-out.
    int length = 0;
    std::array<std::uint8_t, ParallelLink::kBufferBytes> buffer{};
    EXPECT_EQ(link.ReceivePacket(length, buffer), -1);
    EXPECT_TRUE(heard.empty());

    EXPECT_EQ(link.SendText("HI"), 1);
    std::string reply;
    EXPECT_EQ(link.ReceiveText(reply), 2);
    EXPECT_EQ(reply, "OK");
    EXPECT_EQ(heard, std::vector<std::string>{"HI"});
    EXPECT_EQ(wire.PacketLengths(), std::vector<std::size_t>{2});
}

TEST(InstrumentWire, AReplyAbandonedMidFileIsDroppedAndTheNextRequestIsHeard) {
    TempDir dir;
    fs::create_directories(dir.File("DAT/XM001"));
    std::vector<std::uint8_t> data(9000, 0x5A);
    ASSERT_TRUE(WriteFileAtomically(dir.File("DAT/XM001/A.BIN"), data));
    ASSERT_TRUE(WriteFileAtomically(dir.File("DAT/XM001/B.BIN"), data));
    SimulatedInstrument peer(dir.path());
    ParallelLink link(peer);

    std::string reply;
    ASSERT_EQ(link.SendText("DOWND c:\\dat\\xm001"), 1);
    ASSERT_EQ(link.ReceiveText(reply), 15);
    EXPECT_EQ(reply, "BEGIN9000 A.BIN");
    ASSERT_EQ(link.SendText("SEND"), 1);
    // The first chunk, then a hundred bytes of the second: the line goes dead.
    int length = 0;
    std::array<std::uint8_t, ParallelLink::kBufferBytes> buffer{};
    ASSERT_EQ(link.ReceivePacket(length, buffer), 1);
    EXPECT_EQ(length, 4096);
    ASSERT_EQ(link.ReceiveBytes(std::span(buffer).first(100)), 100);
    EXPECT_EQ(peer.Wire().CurrentPhase(), InstrumentWire::Phase::Send);
    EXPECT_EQ(peer.Server().CurrentState(), InstrumentServer::State::OfferingFolder);

    // The rest of the file and the notice of B are gone with the reply; the
    // workstation's next request is read afresh, and the offer of B lapses.
    ASSERT_EQ(link.Execute(kHello, reply, {}), 1);
    EXPECT_EQ(reply, "TAV-SIM");
    EXPECT_EQ(peer.Server().CurrentState(), InstrumentServer::State::Idle);
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"DOWND c:\\dat\\xm001", "HI"}));
    // And a whole download after it comes whole.
    fs::create_directories(dir.File("local"));
    std::string remote = "c:\\dat\\xm001\\b.bin";
    ASSERT_EQ(link.Execute(kDownloadFile, remote, dir.File("local")), 1);
    EXPECT_TRUE(link.LastDownload().complete);
    EXPECT_EQ(ReadWholeFile(dir.File("local/b.bin")), data);
}

TEST(InstrumentWire, ScriptedRepliesGoOutInsteadOfTheAnswer) {
    int asked = 0;
    InstrumentWire wire([&](std::string_view) {
        ++asked;
        return std::vector<std::string>{"OK"};
    });
    ParallelLink link(wire);
    const std::uint8_t raw[] = {3, 0, 4, 0, 'x'};
    wire.ScriptReplies({{raw, raw + sizeof raw}});
    ASSERT_EQ(link.SendText("HI"), 1);
    int length = 0;
    std::array<std::uint8_t, ParallelLink::kBufferBytes> buffer{};
    EXPECT_EQ(link.ReceivePacket(length, buffer), -3);  // the two lengths differ, as scripted
    EXPECT_EQ(asked, 0);
    // Used up: the answer function speaks again.
    ASSERT_EQ(link.SendText("HI"), 1);
    std::string reply;
    EXPECT_EQ(link.ReceiveText(reply), 2);
    EXPECT_EQ(asked, 1);
}

TEST(WireFaults, SettingsAreReadWholeOrNotAtAll) {
    WireFaults f;
    std::string error;
    ASSERT_TRUE(ParseWireFaults("seed=9,flip=0.25,stall=1", f, &error));
    EXPECT_EQ(f.flip, 0.25);
    EXPECT_EQ(f.drop, 0.0);
    EXPECT_EQ(f.stall, 1.0);
    EXPECT_EQ(f.seed, 9u);
    EXPECT_TRUE(f.Any());
    for (const char* bad : {"flip=1.5", "drop=-0.1", "flip=0.5x", "flip=", "flip", "seed=-1", "seed=", "jitter=0.1",
                            "flip=0.1,,drop=0.1"}) {
        EXPECT_FALSE(ParseWireFaults(bad, f, &error)) << bad;
        EXPECT_NE(error.find("bad fault setting"), std::string::npos);
    }
    EXPECT_EQ(f.flip, 0.25);  // left as it was
    ASSERT_TRUE(ParseWireFaults("", f, nullptr));
    EXPECT_FALSE(f.Any());
}

}  // namespace
}  // namespace tav
