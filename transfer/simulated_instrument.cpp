#include "transfer/simulated_instrument.hpp"

#include "transfer/parallel_link.hpp"

namespace tav {

// One buffer size on both ends of the cable: the wire refuses a longer packet,
// the server never sends one, and the link takes what either gives.
static_assert(InstrumentServer::kChunkBytes == InstrumentWire::kLongestPacket);
static_assert(InstrumentWire::kLongestPacket == ParallelLink::kBufferBytes);

SimulatedInstrument::SimulatedInstrument(std::filesystem::path storage, WireFaults faults)
    : server_(std::move(storage)),
      wire_([this](std::string_view payload) { return server_.Answer(payload); }, faults) {}

}  // namespace tav
