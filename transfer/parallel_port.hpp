// The three registers of the first parallel port as the link sees them: the
// status register it reads, the data and control registers it writes. Two
// backends answer to this interface: the Linux ppdev driver on a real port and
// the simulated instrument's wire (instrument_wire.hpp).
#pragma once

#include <cstdint>
#include <string>

namespace tav {

class ParallelPort {
public:
    virtual ~ParallelPort() = default;

    // false when the port could not be opened or claimed; the link then
    // refuses every operation without touching a register.
    virtual bool Usable() const = 0;
    // Why the port is not usable, in Chinese for the user; empty when usable.
    virtual std::string Problem() const { return {}; }

    virtual std::uint8_t ReadStatus() = 0;
    virtual void WriteData(std::uint8_t value) = 0;
    virtual void WriteControl(std::uint8_t value) = 0;

    // Reads the status register until (status & mask) == want, at most `polls`
    // reads; true when it was seen. Time-outs are counted in reads, not in
    // time. A simulated peer that knows its lines cannot change before the
    // limit may account for the remaining reads without doing them.
    virtual bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls);
};

// A port reached through the ppdev driver (/dev/parport0): opened and claimed
// at construction, released at destruction.
class PpdevPort final : public ParallelPort {
public:
    explicit PpdevPort(std::string device = "/dev/parport0");
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    bool Usable() const override { return fd_ >= 0; }
    std::string Problem() const override { return problem_; }
    std::uint8_t ReadStatus() override;
    void WriteData(std::uint8_t value) override;
    void WriteControl(std::uint8_t value) override;

private:
    std::string device_;
    std::string problem_;
    int fd_ = -1;
};

}  // namespace tav
