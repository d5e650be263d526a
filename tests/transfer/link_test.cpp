#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/atomic_file.hpp"
#include "tests/support/tool_runner.hpp"
#include "transfer/parallel_link.hpp"
#include "transfer/simulated_instrument.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed = 7) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 7));
    return v;
}

std::vector<std::uint8_t> Header(std::int16_t a, std::int16_t b) {
    const auto ua = static_cast<std::uint16_t>(a);
    const auto ub = static_cast<std::uint16_t>(b);
    return {static_cast<std::uint8_t>(ua), static_cast<std::uint8_t>(ua >> 8), static_cast<std::uint8_t>(ub),
            static_cast<std::uint8_t>(ub >> 8)};
}

// A port that counts what is done to it and can be made unusable.
class CountingPort final : public ParallelPort {
public:
    bool Usable() const override { return usable; }
    std::string Problem() const override { return "无法打开并口/dev/parport0：设备不存在"; }
    std::uint8_t ReadStatus() override {
        ++touched;
        return 0;
    }
    void WriteData(std::uint8_t) override { ++touched; }
    void WriteControl(std::uint8_t) override { ++touched; }
    bool usable = false;
    int touched = 0;
};

struct Wire {
    TempDir dir;
    SimulatedInstrument peer{dir.path()};
    ParallelLink link{peer};
    std::string Local(const std::string& name) const { return dir.File(name); }
};

TEST(ParallelLink, PacketsRoundTripAndBrokenHeadersAreRefused) {
    Wire w;
    // An empty payload is a bare header, both ways (the peer answers with nothing).
    w.peer.ScriptReplies({{}});
    EXPECT_EQ(w.link.SendPacket({}), 1);
    ASSERT_EQ(w.peer.PacketLengths(), std::vector<std::size_t>{0});
    w.peer.SendRaw(Header(0, 0));
    int length = -1;
    std::array<std::uint8_t, ParallelLink::kBufferBytes> buffer{};
    EXPECT_EQ(w.link.ReceivePacket(length, buffer), 1);
    EXPECT_EQ(length, 0);

    // Every byte value survives the nibble split.
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    auto framed = Header(256, 256);
    framed.insert(framed.end(), all.begin(), all.end());
    w.peer.SendRaw(framed);
    ASSERT_EQ(w.link.ReceivePacket(length, buffer), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length), all);

    w.peer.SendRaw(Header(5, 6));
    EXPECT_EQ(w.link.ReceivePacket(length, buffer), -3);
    // Longer than the buffer, or negative: refused before anything is stored.
    w.peer.SendRaw(Header(4097, 4097));
    EXPECT_EQ(w.link.ReceivePacket(length, buffer), -2);
    w.peer.SendRaw(Header(-1, -1));
    EXPECT_EQ(w.link.ReceivePacket(length, std::span<std::uint8_t>(buffer).first(16)), -2);
    // A header cut short, and nothing at all.
    w.peer.SendRaw(std::vector<std::uint8_t>{3, 0});
    EXPECT_EQ(w.link.ReceivePacket(length, buffer), -2);
    EXPECT_EQ(w.link.ReceivePacket(length, buffer), -1);
}

TEST(ParallelLink, TextRepliesFailAfterTheirAttemptsAndSayWhy) {
    Wire w;
    std::string text;
    EXPECT_EQ(w.link.ReceiveText(text), -10);
    EXPECT_EQ(w.link.StatusText(), "数据接收失败 -1！");
    // Roughly 100 attempts of 4 + 64000 polls each, accounted without doing them.
    EXPECT_GE(w.peer.RegisterOperations(), 100u * ParallelLink::kHandshakePolls);
    EXPECT_LT(w.peer.RegisterOperations(), 101u * (ParallelLink::kHandshakePolls + 8));

    const std::string hello = "HI there\0tail";
    auto framed = Header(13, 13);
    framed.insert(framed.end(), hello.begin(), hello.begin() + 13);
    w.peer.SendRaw(framed);
    EXPECT_EQ(w.link.ReceiveText(text), 13);
    EXPECT_EQ(text, "HI there");  // a text ends at its first zero byte

    EXPECT_EQ(w.link.SendText(std::string(ParallelLink::kBufferBytes + 1, 'x')), -1);
    EXPECT_EQ(w.link.StatusText(), "数据传输失败-1！");
}

TEST(ParallelLink, FileDataGoesInBufferSizedChunks) {
    Wire w;
    fs::create_directories(w.dir.File("DAT/UP"));
    fs::create_directories(w.Local("out"));
    const auto data = Pattern(10000);
    ASSERT_TRUE(WriteFileAtomically(w.Local("out/big.bin"), data));
    ASSERT_TRUE(WriteFileAtomically(w.Local("out/empty.bin"), {}));
    fs::create_directories(w.Local("out/sub"));

    std::string remote = "c:\\dat\\up";
    ASSERT_EQ(w.link.Execute(kUploadFolder, remote, w.Local("out")), 1);
    EXPECT_EQ(ReadWholeFile(w.dir.File("DAT/UP/big.bin")), data);
    EXPECT_EQ(ReadWholeFile(w.dir.File("DAT/UP/empty.bin")), std::vector<std::uint8_t>{});
    std::vector<std::size_t> chunks;
    for (const std::size_t n : w.peer.PacketLengths())
        if (n >= 1000) chunks.push_back(n);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{4096, 4096, 1808}));
    EXPECT_FALSE(fs::exists(w.dir.File("DAT/UP/sub")));
    EXPECT_EQ(w.peer.Commands(), std::vector<std::string>{"GETD c:\\dat\\up"});
}

TEST(ParallelLink, DownloadFileTakesTheNameAfterTheLastBackslash) {
    Wire w;
    fs::create_directories(w.dir.File("DAT"));
    const auto index = Pattern(10000, 3);
    ASSERT_TRUE(WriteFileAtomically(w.dir.File("DAT/RSITE.PAR"), index));
    fs::create_directories(w.Local("temp"));

    std::string remote = "c:\\dat\\rsite.par";
    ASSERT_EQ(w.link.Execute(kDownloadFile, remote, w.Local("temp")), 1);
    EXPECT_EQ(ReadWholeFile(w.Local("temp/rsite.par")), index);
    EXPECT_TRUE(w.link.LastDownload().complete);
    EXPECT_EQ(w.link.StatusText(), "Received: " + w.Local("temp/rsite.par"));

    // A file the instrument does not have: the command went, so 1, but nothing arrives.
    remote = "c:\\dat\\none.par";
    EXPECT_EQ(w.link.Execute(kDownloadFile, remote, w.Local("temp")), 1);
    EXPECT_FALSE(w.link.LastDownload().complete);
    EXPECT_FALSE(fs::exists(w.Local("temp/none.par")));

    // A folder that cannot be written.
    remote = "c:\\dat\\rsite.par";
    EXPECT_EQ(w.link.Execute(kDownloadFile, remote, w.Local("missing")), 1);
    EXPECT_EQ(w.link.StatusText(), "CANNOT WRITE THE TARGET NAME");
    EXPECT_FALSE(w.link.LastDownload().complete);
}

TEST(ParallelLink, HelloDirectoryAndQuitSpeakTheProtocol) {
    Wire w;
    fs::create_directories(w.dir.File("DAT/XM001"));
    std::string reply;
    EXPECT_EQ(w.link.Execute(kHello, reply, {}), 1);
    EXPECT_EQ(reply, "TAV-SIM");
    EXPECT_EQ(w.link.StatusText(), "Server is alive and well");
    EXPECT_EQ(w.link.Execute(kListDirectory, reply, "c:\\dat"), 1);
    EXPECT_EQ(reply, "XM001\r\n");
    EXPECT_EQ(w.link.Execute(kChangeDirectory, reply, "c:\\DAT\\xm001"), 0);
    EXPECT_EQ(w.link.StatusText(), "Directory on server is now C:\\DAT\\XM001");
    EXPECT_EQ(w.link.Execute(kQuit, reply, {}), 1);
    EXPECT_EQ(w.link.Execute(99, reply, {}), 1);
    EXPECT_EQ(w.peer.Commands(),
              (std::vector<std::string>{"HI", "DIR c:\\dat", "CD c:\\DAT\\xm001", "PWD", "quit"}));
}

TEST(ParallelLink, GarbledChunkHeaderSendsQuitAndAbandonsTheFile) {
    Wire w;
    auto framed = Header(5, 6);
    w.peer.SendRaw(framed);
    std::int64_t received = 0;
    bool writeFailed = false;
    EXPECT_EQ(w.link.ReceiveFileData(nullptr, 10, received, writeFailed), 0);
    EXPECT_EQ(received, 0);
    ASSERT_FALSE(w.peer.Commands().empty());
    EXPECT_EQ(w.peer.Commands().back(), "quit");
    // An announced size of nothing moves no packet.
    EXPECT_EQ(w.link.ReceiveFileData(nullptr, 0, received, writeFailed), 1);
}

TEST(ParallelLink, UnusablePortRefusesEverythingWithoutTouchingIt) {
    CountingPort port;
    ParallelLink link(port);
    std::string remote = "c:\\dat\\rsite.par";
    for (int op = kHello; op <= kUploadFolder + 1; ++op) EXPECT_EQ(link.Execute(op, remote, "/tmp"), 0);
    EXPECT_EQ(port.touched, 0);
    EXPECT_EQ(link.StatusText(), port.Problem());

    // The same link on a usable port with no peer: every wait ends at its bound.
    port.usable = true;
    EXPECT_EQ(link.Execute(kDownloadFile, remote, "/tmp"), 0);
    EXPECT_EQ(link.StatusText(), "数据传输失败-1！");
}

TEST(ParallelLink, PpdevPortSaysWhyItCannotBeUsed) {
    PpdevPort missing("/nonexistent/parport0");
    EXPECT_FALSE(missing.Usable());
    EXPECT_EQ(missing.Problem(), "无法打开并口/nonexistent/parport0：设备不存在");
    EXPECT_EQ(missing.ReadStatus(), 0);

    PpdevPort notAPort("/dev/null");  // opens, but the claim is refused
    EXPECT_FALSE(notAPort.Usable());
    EXPECT_EQ(notAPort.Problem(), "无法占用并口/dev/null：不是并口设备");

    ParallelLink link(notAPort);
    std::string remote;
    EXPECT_EQ(link.Execute(kHello, remote, {}), 0);
    EXPECT_EQ(link.StatusText(), notAPort.Problem());
}

TEST(ParallelLink, StatusTextIsCutToItsFieldOnACharacterBoundary) {
    Wire w;
    fs::create_directories(w.dir.File("DAT"));
    ASSERT_TRUE(WriteFileAtomically(w.dir.File("DAT/RSITE.PAR"), Pattern(10)));
    const std::string deep = w.Local(std::string(100, 'a') + "/" + std::string(60, 'b') + "文件夹很长很长很长");
    fs::create_directories(deep);
    std::string remote = "c:\\dat\\rsite.par";
    ASSERT_EQ(w.link.Execute(kDownloadFile, remote, deep), 1);
    EXPECT_LT(w.link.StatusText().size(), ParallelLink::kStatusBytes);
    EXPECT_EQ(w.link.StatusText().rfind("Received: ", 0), 0u);
    // The cut falls before a whole character: the text is still valid UTF-8.
    const std::string& t = w.link.StatusText();
    std::size_t i = 0;
    while (i < t.size()) {
        const auto c = static_cast<unsigned char>(t[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        ASSERT_LE(i + n, t.size());
        i += n;
    }
}

}  // namespace
}  // namespace tav
