// The field instrument, simulated: the wire (instrument_wire.hpp) carrying
// the file server (instrument_server.hpp) that serves a storage folder as the
// instrument's drive "c:\". It lets the window (TAV_INSTRUMENT_SIM) and
// `tavtool transfer --sim` be tried without hardware, and lets tests and the
// fuzz target drive every failure the wire can show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "transfer/instrument_server.hpp"
#include "transfer/instrument_wire.hpp"
#include "transfer/parallel_port.hpp"
#include "transfer/wire_faults.hpp"

namespace tav {

class SimulatedInstrument final : public ParallelPort {
public:
    explicit SimulatedInstrument(std::filesystem::path storage, WireFaults faults = {});
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override { return wire_.ReadStatus(); }
    void WriteData(std::uint8_t value) override { wire_.WriteData(value); }
    void WriteControl(std::uint8_t value) override { wire_.WriteControl(value); }
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override {
        return wire_.WaitStatus(mask, want, polls);
    }

    InstrumentWire& Wire() { return wire_; }
    const InstrumentServer& Server() const { return server_; }

    // Shorthands for tests: see InstrumentWire and InstrumentServer.
    std::uint64_t RegisterOperations() const { return wire_.RegisterOperations(); }
    const std::vector<std::string>& Commands() const { return server_.Commands(); }
    const std::vector<std::size_t>& PacketLengths() const { return wire_.PacketLengths(); }
    void SendRaw(std::span<const std::uint8_t> bytes) { wire_.SendRaw(bytes); }
    void ScriptReplies(std::vector<std::vector<std::uint8_t>> replies) { wire_.ScriptReplies(std::move(replies)); }

private:
    InstrumentServer server_;
    InstrumentWire wire_;
};

}  // namespace tav
