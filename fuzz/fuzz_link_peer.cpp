// A hostile instrument on the other end of the cable. The first byte picks
// the operation; the second how the peer misbehaves:
// - even: every status read returns the next input byte (any line, any
//   nibble, at any moment);
// - odd: the peer keeps the handshake but answers each command with raw bytes
//   of its choosing (lengths, notices, names, chunks), each reply a 16-bit
//   length and its bytes.
// The link must end every operation, never write outside its folder and
// never store more than its buffer holds.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "transfer/parallel_link.hpp"
#include "transfer/simulated_instrument.hpp"

namespace {

namespace fs = std::filesystem;

class ReplayPort final : public tav::ParallelPort {
public:
    ReplayPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override { return at_ < size_ ? data_[at_++] : 0; }
    void WriteData(std::uint8_t) override {}
    void WriteControl(std::uint8_t) override {}
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override {
        // Once the input is used up the lines stay as they are: the wait ends at its bound.
        for (std::uint32_t i = 0; i < polls && at_ < size_; ++i)
            if ((data_[at_++] & mask) == want) return true;
        return at_ >= size_ && polls > 0 && want == 0;  // reads past the input give 0
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

const std::string& Scratch() {
    static const std::string path = [] {
        std::string pattern = "/tmp/fuzz-link-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        fs::create_directories(pattern + "/local");
        fs::create_directories(pattern + "/storage");
        return pattern;
    }();
    return path;
}

void Run(tav::ParallelLink& link, int operation) {
    std::string remote = "c:\\dat\\rsite.par";
    link.Execute(operation, remote, Scratch() + "/local");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int operation = 1 + data[0] % 8;  // 8: an unknown one
    const bool framed = (data[1] & 1) != 0;
    data += 2;
    size -= 2;
    std::error_code ec;
    fs::remove_all(Scratch() + "/local", ec);
    fs::create_directories(Scratch() + "/local", ec);
    if (operation == tav::kUploadFolder) {
        FILE* f = std::fopen((Scratch() + "/local/a.bin").c_str(), "wb");
        if (f) {
            std::fwrite("0123456789", 1, 10, f);
            std::fclose(f);
        }
    }

    if (!framed) {
        ReplayPort port(data, size);
        tav::ParallelLink link(port);
        Run(link, operation);
    } else {
        std::vector<std::vector<std::uint8_t>> replies;
        std::size_t at = 0;
        while (at + 2 <= size) {
            const std::size_t n = std::min<std::size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
            replies.emplace_back(data + at + 2, data + at + 2 + n);
            at += 2 + n;
        }
        tav::SimulatedInstrument peer(Scratch() + "/storage");
        peer.ScriptReplies(std::move(replies));
        tav::ParallelLink link(peer);
        Run(link, operation);
    }
    // Whatever the peer named, nothing lands outside the local folder.
    for (const auto& entry : fs::directory_iterator(Scratch(), ec))
        if (entry.path().filename() != "local" && entry.path().filename() != "storage") std::abort();
    return 0;
}
