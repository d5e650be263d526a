// The instrument's end of the cable, simulated: its side of the nibble
// handshake runs against virtual registers and serves a storage folder as the
// instrument's drive "c:\" (paths resolved without regard to case). It lets
// the window and tavtool be tried without hardware and lets tests drive every
// failure the wire can show.
//
// Time is simulated: one tick per register operation of the workstation. The
// instrument acts between the workstation's operations, so a run is
// deterministic for a given seed. While the instrument cannot change its lines
// (it is stalled, thinking, or waiting for the workstation), a status wait is
// accounted in one step, so a time-out of 64000 polls costs no more than one.
//
// Faults, drawn per nibble from a seeded generator: a flipped data bit, a lost
// nibble (in either direction), and a stall longer than the workstation's
// time-out. The instrument has its own time-out: a packet or a reply that the
// workstation abandons is dropped after kPeerTimeoutTicks quiet ticks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/parallel_port.hpp"

namespace tav {

struct WireFaults {
    double flip = 0.0;   // probability per nibble of one flipped data bit
    double drop = 0.0;   // probability per nibble that it is lost
    double stall = 0.0;  // probability per nibble that the peer stops answering past the time-out
    std::uint64_t seed = 1;
    bool Any() const { return flip > 0.0 || drop > 0.0 || stall > 0.0; }
};

// "flip=P,drop=P,stall=P,seed=S" (any subset, any order); false with a message
// naming the bad part.
bool ParseWireFaults(std::string_view text, WireFaults& faults, std::string* error);

// The file or folder a DOS path on the instrument names below storage, found
// without regard to case; relative paths start at cwd ("\" for the root).
// Nothing when it does not exist or would leave the storage folder.
std::optional<std::filesystem::path> ResolveInstrumentPath(const std::filesystem::path& storage,
                                                           std::string_view dosPath, std::string_view cwd = "\\");

class SimulatedInstrument final : public ParallelPort {
public:
    static constexpr std::uint64_t kThinkTicks = 16;          // between a command and the reply
    static constexpr std::uint64_t kPeerTimeoutTicks = 20000;  // quiet ticks before a half packet is dropped
    static constexpr std::uint64_t kStallTicks = 64001;        // shortest stall: longer than one host wait

    explicit SimulatedInstrument(std::filesystem::path storage, WireFaults faults = {});

    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override;
    void WriteData(std::uint8_t value) override;
    void WriteControl(std::uint8_t value) override;
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override;

    // Register operations of the workstation so far, waits accounted in one
    // step included.
    std::uint64_t RegisterOperations() const { return now_; }
    // Commands the instrument understood, in order, and the payload length of
    // every packet it received (for tests).
    const std::vector<std::string>& Commands() const { return commands_; }
    const std::vector<std::size_t>& PacketLengths() const { return packetLengths_; }
    // Puts bytes on the wire as they are, framing and all, after the usual
    // pause: how tests and the fuzz target play a peer that breaks the rules.
    void SendRaw(std::span<const std::uint8_t> bytes);
    // Each packet received from now on is answered with the next of these
    // raw replies instead of the protocol, until they are used up.
    void ScriptReplies(std::vector<std::vector<std::uint8_t>> replies) { scripted_ = std::move(replies); }

private:
    enum class Mode { Receive, Think, Send };

    void Tick();
    void Step();
    std::uint64_t NextActionTick() const;
    std::uint8_t Status() const;
    bool HostLine() const { return (hostData_ & 0x10) != 0; }
    bool Draw(double probability);
    void MaybeStall();

    void TakeNibble(std::uint8_t nibble);
    void OnPacket(std::string_view payload);
    void OnCommand(std::string_view text);
    void ReceiveData(std::string_view payload);
    void Reply(std::string_view text);
    void QueueFile(const std::filesystem::path& file, std::string_view name);
    void QueueNextFolderFile();
    void StartSending();
    void PresentNibble();
    void BackToReceive();

    std::filesystem::path storage_;
    WireFaults faults_;
    std::uint64_t rng_;

    std::uint64_t now_ = 0;
    std::uint64_t stallUntil_ = 0;
    std::uint64_t lastActivity_ = 0;
    std::uint8_t hostData_ = 0;
    Mode mode_ = Mode::Receive;
    bool line_ = true;
    std::uint8_t shownNibble_ = 0;

    // Receiving: the handshake's phase, then the nibbles assembled into bytes.
    bool expectHigh_ = false;
    bool haveLow_ = false;
    std::uint8_t low_ = 0;
    std::vector<std::uint8_t> packet_;

    // Sending: the queued bytes as nibbles, low first.
    std::vector<std::uint8_t> out_;
    std::size_t nextNibble_ = 0;
    std::uint64_t presented_ = 0;
    std::uint64_t thinkUntil_ = 0;

    // The protocol above the packets.
    std::string cwd_ = "\\";
    std::vector<std::string> commands_;
    std::vector<std::size_t> packetLengths_;
    std::vector<std::vector<std::uint8_t>> scripted_;
    std::size_t nextScripted_ = 0;
    std::vector<std::filesystem::path> folderFiles_;  // DOWND files not yet announced
    std::optional<std::filesystem::path> announced_;  // BEGIN sent, waiting for SEND
    bool folderMode_ = false;
    std::optional<std::filesystem::path> uploadFolder_;  // GETD in progress
    std::optional<std::filesystem::path> uploadFile_;    // file being received
    std::int64_t uploadRemaining_ = 0;
};

}  // namespace tav
