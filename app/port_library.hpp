// The port-access library loaded at start-up: two register operations on I/O
// ports. The parallel link resolves them from here. Until a real backend
// exists the handle is absent and every operation refuses.
#pragma once

#include <cstdint>

namespace tav {

class PortLibrary {
public:
    virtual ~PortLibrary() = default;
    // false while no port access is loaded; the link then reports the port missing.
    virtual bool Loaded() const = 0;
    // Reads one 16-bit register; false (value untouched) when refused.
    virtual bool Inp32(std::uint16_t portAddress, std::uint16_t& value) = 0;
    // Writes one register; false when refused.
    virtual bool Out32(std::uint16_t portAddress, std::uint16_t value) = 0;
};

// The handle when nothing could be loaded: refuses everything.
class AbsentPortLibrary final : public PortLibrary {
public:
    bool Loaded() const override { return false; }
    bool Inp32(std::uint16_t, std::uint16_t&) override { return false; }
    bool Out32(std::uint16_t, std::uint16_t) override { return false; }
};

}  // namespace tav
