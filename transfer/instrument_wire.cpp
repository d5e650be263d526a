#include "transfer/instrument_wire.hpp"

#include <algorithm>
#include <limits>

namespace tav {

namespace {

// A packet: its length twice (16 bits, low byte first), then the payload.
void AppendPacket(std::vector<std::uint8_t>& out, std::string_view payload) {
    const auto l = static_cast<std::uint16_t>(payload.size());
    const std::uint8_t header[4] = {static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(l >> 8),
                                    static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(l >> 8)};
    out.insert(out.end(), header, header + 4);
    out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace

InstrumentWire::InstrumentWire(Answer answer, WireFaults faults) : answer_(std::move(answer)), faults_(faults) {}

std::uint8_t InstrumentWire::ReadStatus() {
    Tick();
    return Status();
}

void InstrumentWire::WriteData(std::uint8_t value) {
    Tick();
    hostData_ = value;
}

void InstrumentWire::WriteControl(std::uint8_t) { Tick(); }

bool InstrumentWire::WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) {
    std::uint64_t used = 0;
    while (used < polls) {
        Tick();
        ++used;
        if ((Status() & mask) == want) return true;
        // Reads before the instrument's next possible action all see this status.
        const std::uint64_t next = NextActionTick();
        if (next > now_ + 1) {
            const std::uint64_t skip = std::min<std::uint64_t>(next - now_ - 1, polls - used);
            now_ += skip;
            used += skip;
        }
    }
    return false;
}

void InstrumentWire::Tick() {
    ++now_;
    Step();
}

std::uint8_t InstrumentWire::Status() const {
    return static_cast<std::uint8_t>((line_ ? 0x80 : 0x00) | (shownNibble_ << 3));
}

void InstrumentWire::MaybeStall() {
    if (const std::uint64_t ticks = faults_.Stall(kStallTicks)) stallUntil_ = now_ + ticks;
}

std::uint64_t InstrumentWire::NextActionTick() const {
    const std::uint64_t base = std::max(now_ + 1, stallUntil_);
    const std::uint64_t timeout = std::max(base, lastActivity_ + kPeerTimeoutTicks + 1);
    switch (phase_) {
        case Phase::Think:
            return std::max(base, thinkUntil_);
        case Phase::Receive:
            if (HostLine() == !expectHigh_) return base;
            if (ReceivingPacket()) return timeout;
            return std::numeric_limits<std::uint64_t>::max();
        case Phase::Send:
            if (HostLine() == (presented_ % 2 == 0)) return base;
            return timeout;
    }
    return base;
}

void InstrumentWire::Step() {
    if (now_ < stallUntil_) return;
    const bool quietTooLong = now_ > lastActivity_ + kPeerTimeoutTicks;
    switch (phase_) {
        case Phase::Think:
            if (now_ >= thinkUntil_) {
                phase_ = Phase::Send;
                presented_ = 0;
                nextNibble_ = 0;
                lastActivity_ = now_;
                PresentNibble();
            }
            return;
        case Phase::Receive:
            // A low nibble comes with the workstation's line high, a high one with it low.
            if (HostLine() == !expectHigh_) {
                expectHigh_ = !expectHigh_;
                line_ = !expectHigh_;
                lastActivity_ = now_;
                MaybeStall();
                TakeNibble(hostData_ & 0x0F);
            } else if (quietTooLong && ReceivingPacket()) {
                BackToReceive();
            }
            return;
        case Phase::Send:
            // The workstation acknowledges a low nibble by raising its line, a high one by lowering it.
            if (HostLine() == (presented_ % 2 == 0)) {
                ++presented_;
                lastActivity_ = now_;
                PresentNibble();
            } else if (quietTooLong) {
                BackToReceive();
            }
            return;
    }
}

void InstrumentWire::PresentNibble() {
    MaybeStall();
    if (faults_.Lost()) ++nextNibble_;  // lost: the next one goes out in its place
    if (nextNibble_ >= 2 * out_.size()) {
        BackToReceive();
        return;
    }
    const std::uint8_t byte = out_[nextNibble_ / 2];
    const std::uint8_t nibble = (nextNibble_ % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
    ++nextNibble_;
    shownNibble_ = faults_.Garble(nibble);
    line_ = presented_ % 2 == 1;
}

void InstrumentWire::BackToReceive() {
    phase_ = Phase::Receive;
    out_.clear();
    nextNibble_ = 0;
    expectHigh_ = false;
    haveLow_ = false;
    packet_.clear();
    line_ = true;
    shownNibble_ = 0;
    lastActivity_ = now_;
}

void InstrumentWire::TakeNibble(std::uint8_t nibble) {
    if (faults_.Lost()) return;
    nibble = faults_.Garble(nibble);
    if (!haveLow_) {
        low_ = nibble;
        haveLow_ = true;
        return;
    }
    haveLow_ = false;
    packet_.push_back(static_cast<std::uint8_t>(low_ | (nibble << 4)));
    if (packet_.size() < 4) return;
    const auto length = static_cast<std::int16_t>(packet_[0] | (packet_[1] << 8));
    const auto copy = static_cast<std::int16_t>(packet_[2] | (packet_[3] << 8));
    if (length != copy || length < 0 || length > static_cast<std::int16_t>(kLongestPacket)) {
        packet_.clear();  // garbled header: wait for the next one
        return;
    }
    if (packet_.size() < 4 + static_cast<std::size_t>(length)) return;
    const std::string payload(packet_.begin() + 4, packet_.end());
    packet_.clear();
    packetLengths_.push_back(payload.size());
    OnPacket(payload);
}

void InstrumentWire::OnPacket(std::string_view payload) {
    if (nextScripted_ < scripted_.size()) {
        SendRaw(scripted_[nextScripted_++]);
        return;
    }
    const std::vector<std::string> replies = answer_ ? answer_(payload) : std::vector<std::string>{};
    if (replies.empty()) return;
    for (const auto& reply : replies) AppendPacket(out_, reply);
    StartThinking();
}

void InstrumentWire::SendRaw(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    StartThinking();
}

void InstrumentWire::StartThinking() {
    if (phase_ != Phase::Receive) return;  // already on its way out: the bytes join the queue
    phase_ = Phase::Think;
    thinkUntil_ = now_ + kThinkTicks;
}

}  // namespace tav
