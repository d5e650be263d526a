#include "transfer/wire_faults.hpp"

#include <charconv>
#include <cstdlib>

namespace tav {

namespace {

bool ParseProbability(std::string_view text, double& out) {
    std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !(v >= 0.0 && v <= 1.0)) return false;
    out = v;
    return true;
}

}  // namespace

bool ParseWireFaults(std::string_view text, WireFaults& faults, std::string* error) {
    WireFaults f;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t eq = part.find('=');
        const std::string_view key = part.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view{} : part.substr(eq + 1);
        bool ok = eq != std::string_view::npos;
        if (ok && key == "flip") ok = ParseProbability(value, f.flip);
        else if (ok && key == "drop") ok = ParseProbability(value, f.drop);
        else if (ok && key == "stall") ok = ParseProbability(value, f.stall);
        else if (ok && key == "seed") {
            const auto r = std::from_chars(value.data(), value.data() + value.size(), f.seed);
            ok = r.ec == std::errc{} && r.ptr == value.data() + value.size() && !value.empty();
        } else {
            ok = false;
        }
        if (!ok) {
            if (error) *error = "bad fault setting \"" + std::string(part) + "\" (flip=P,drop=P,stall=P,seed=S)";
            return false;
        }
    }
    faults = f;
    return true;
}

bool LineFaults::Draw(double probability) {
    if (probability <= 0.0) return false;
    // splitmix64: small, fast and the same everywhere.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0) < probability;
}

std::uint64_t LineFaults::Stall(std::uint64_t shortest) {
    if (!Draw(faults_.stall)) return 0;
    return shortest + state_ % shortest;
}

std::uint8_t LineFaults::Garble(std::uint8_t nibble) {
    if (Draw(faults_.flip)) nibble ^= static_cast<std::uint8_t>(1u << (state_ & 3));
    return nibble;
}

}  // namespace tav
