// Faults the simulated instrument puts on the line, drawn per nibble from a
// seeded generator so that a run can be repeated: a flipped data bit, a lost
// nibble (in either direction), and a stall longer than the workstation's
// time-out. Given as "flip=P,drop=P,stall=P,seed=S" to `tavtool transfer
// --faults` and in TAV_INSTRUMENT_FAULTS to the window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav {

struct WireFaults {
    double flip = 0.0;   // probability per nibble of one flipped data bit
    double drop = 0.0;   // probability per nibble that it is lost
    double stall = 0.0;  // probability per nibble that the peer stops answering past the time-out
    std::uint64_t seed = 1;
    bool Any() const { return flip > 0.0 || drop > 0.0 || stall > 0.0; }
};

// "flip=P,drop=P,stall=P,seed=S" (any subset, any order); false with a message
// naming the bad part, and faults left as they were.
bool ParseWireFaults(std::string_view text, WireFaults& faults, std::string* error);

// The dice behind the faults. Every question draws from the generator only
// when its probability is above zero, so a wire without faults draws nothing.
class LineFaults {
public:
    explicit LineFaults(WireFaults faults) : faults_(faults), state_(faults.seed) {}

    // How long the peer stops answering, in ticks: at least `shortest`, less
    // than twice that; 0 when it goes on.
    std::uint64_t Stall(std::uint64_t shortest);
    // Whether this nibble is lost.
    bool Lost() { return Draw(faults_.drop); }
    // The nibble as it arrives, perhaps with one data bit flipped.
    std::uint8_t Garble(std::uint8_t nibble);

private:
    bool Draw(double probability);

    WireFaults faults_;
    std::uint64_t state_;
};

}  // namespace tav
