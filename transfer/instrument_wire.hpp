// The instrument's end of the parallel cable, simulated: its side of the
// nibble handshake against virtual registers, the length-checked packets on
// top of it, and the faults a real line shows. What a packet means is not its
// business: each packet received goes to the answer function, and the
// packets that returns go back over the wire.
//
// Time is simulated: one tick per register operation of the workstation. The
// instrument acts between the workstation's operations, so a run is
// deterministic for a given seed. While the instrument cannot change its lines
// (it is stalled, thinking, or waiting for the workstation), a status wait is
// accounted in one step, so a time-out of 64000 polls costs no more than one.
//
// The instrument has its own time-out: a packet or a reply that the
// workstation abandons is dropped after kPeerTimeoutTicks quiet ticks, and the
// wire listens again.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/parallel_port.hpp"
#include "transfer/wire_faults.hpp"

namespace tav {

class InstrumentWire final : public ParallelPort {
public:
    static constexpr std::uint64_t kThinkTicks = 16;           // between a packet and the reply
    static constexpr std::uint64_t kPeerTimeoutTicks = 20000;  // quiet ticks before a half packet is dropped
    static constexpr std::uint64_t kStallTicks = 64001;        // shortest stall: longer than one host wait
    static constexpr std::size_t kLongestPacket = 4096;        // the instrument's buffer

    // The payloads to send back for a payload received, in order; none to
    // stay silent.
    using Answer = std::function<std::vector<std::string>(std::string_view payload)>;

    explicit InstrumentWire(Answer answer, WireFaults faults = {});

    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override;
    void WriteData(std::uint8_t value) override;
    void WriteControl(std::uint8_t value) override;
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override;

    // Listening for a packet, thinking over the reply, or sending it.
    enum class Phase { Receive, Think, Send };
    Phase CurrentPhase() const { return phase_; }

    // Register operations of the workstation so far, waits accounted in one
    // step included.
    std::uint64_t RegisterOperations() const { return now_; }
    // The payload length of every packet received whole (for tests).
    const std::vector<std::size_t>& PacketLengths() const { return packetLengths_; }
    // Puts bytes on the wire as they are, framing and all, after the usual
    // pause: how tests and the fuzz target play a peer that breaks the rules.
    void SendRaw(std::span<const std::uint8_t> bytes);
    // Each packet received from now on is answered with the next of these
    // raw replies instead of the answer function, until they are used up.
    void ScriptReplies(std::vector<std::vector<std::uint8_t>> replies) {
        scripted_ = std::move(replies);
        nextScripted_ = 0;
    }

private:
    void Tick();
    void Step();
    std::uint64_t NextActionTick() const;
    std::uint8_t Status() const;
    bool HostLine() const { return (hostData_ & 0x10) != 0; }
    bool ReceivingPacket() const { return expectHigh_ || haveLow_ || !packet_.empty(); }
    void MaybeStall();

    void TakeNibble(std::uint8_t nibble);
    void OnPacket(std::string_view payload);
    void StartThinking();
    void PresentNibble();
    void BackToReceive();

    Answer answer_;
    LineFaults faults_;

    std::uint64_t now_ = 0;
    std::uint64_t stallUntil_ = 0;
    std::uint64_t lastActivity_ = 0;
    std::uint8_t hostData_ = 0;
    Phase phase_ = Phase::Receive;
    bool line_ = true;
    std::uint8_t shownNibble_ = 0;

    // Receiving: the handshake's phase, then the nibbles assembled into bytes.
    bool expectHigh_ = false;
    bool haveLow_ = false;
    std::uint8_t low_ = 0;
    std::vector<std::uint8_t> packet_;

    // Thinking and sending: the queued bytes as nibbles, low first.
    std::vector<std::uint8_t> out_;
    std::size_t nextNibble_ = 0;
    std::uint64_t presented_ = 0;
    std::uint64_t thinkUntil_ = 0;

    std::vector<std::size_t> packetLengths_;
    std::vector<std::vector<std::uint8_t>> scripted_;
    std::size_t nextScripted_ = 0;
};

}  // namespace tav
