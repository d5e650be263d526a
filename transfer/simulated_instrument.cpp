#include "transfer/simulated_instrument.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>

#include "base/text_codec.hpp"
#include "transfer/wire_text.hpp"

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunkBytes = 4096;

bool ParseProbability(std::string_view text, double& out) {
    std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !(v >= 0.0 && v <= 1.0)) return false;
    out = v;
    return true;
}

std::optional<std::vector<std::uint8_t>> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// A name the instrument can store in a folder: no separators, not "." or "..".
bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\\') == std::string_view::npos;
}

void AppendPacket(std::vector<std::uint8_t>& out, const std::uint8_t* payload, std::size_t length) {
    const auto l = static_cast<std::uint16_t>(length);
    const std::uint8_t header[4] = {static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(l >> 8),
                                    static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(l >> 8)};
    out.insert(out.end(), header, header + 4);
    out.insert(out.end(), payload, payload + length);
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

std::optional<fs::path> ResolveInstrumentPath(const fs::path& storage, std::string_view dosPath,
                                              std::string_view cwd) {
    std::string path(dosPath);
    bool absolute = false;
    if (path.size() >= 2 && path[1] == ':') {
        path.erase(0, 2);
        absolute = true;
    }
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) absolute = true;
    if (!absolute) path = std::string(cwd) + "\\" + path;

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(Cp936ToUtf8(part));
        }
        start = end + 1;
    }

    fs::path current = storage;
    std::error_code ec;
    for (const auto& part : parts) {
        if (!fs::is_directory(current, ec)) return std::nullopt;
        std::optional<fs::path> found;
        for (const auto& entry : fs::directory_iterator(current, ec)) {
            const std::string name = entry.path().filename().string();
            if (name == part) {
                found = entry.path();
                break;
            }
            if (!found && EqualsIgnoringCase(name, part)) found = entry.path();
        }
        if (ec || !found) return std::nullopt;
        current = *found;
    }
    if (!fs::exists(current, ec)) return std::nullopt;
    return current;
}

SimulatedInstrument::SimulatedInstrument(fs::path storage, WireFaults faults)
    : storage_(std::move(storage)), faults_(faults), rng_(faults.seed) {}

std::uint8_t SimulatedInstrument::ReadStatus() {
    Tick();
    return Status();
}

void SimulatedInstrument::WriteData(std::uint8_t value) {
    Tick();
    hostData_ = value;
}

void SimulatedInstrument::WriteControl(std::uint8_t) { Tick(); }

bool SimulatedInstrument::WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) {
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

void SimulatedInstrument::Tick() {
    ++now_;
    Step();
}

std::uint8_t SimulatedInstrument::Status() const {
    return static_cast<std::uint8_t>((line_ ? 0x80 : 0x00) | (shownNibble_ << 3));
}

bool SimulatedInstrument::Draw(double probability) {
    if (probability <= 0.0) return false;
    // splitmix64: small, fast and the same everywhere.
    std::uint64_t z = (rng_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0) < probability;
}

void SimulatedInstrument::MaybeStall() {
    if (!Draw(faults_.stall)) return;
    stallUntil_ = now_ + kStallTicks + (rng_ % kStallTicks);
}

std::uint64_t SimulatedInstrument::NextActionTick() const {
    const std::uint64_t base = std::max(now_ + 1, stallUntil_);
    const std::uint64_t timeout = std::max(base, lastActivity_ + kPeerTimeoutTicks + 1);
    switch (mode_) {
        case Mode::Think:
            return std::max(base, thinkUntil_);
        case Mode::Receive:
            if (HostLine() == !expectHigh_) return base;
            if (expectHigh_ || haveLow_ || !packet_.empty()) return timeout;
            return std::numeric_limits<std::uint64_t>::max();
        case Mode::Send:
            if (HostLine() == (presented_ % 2 == 0)) return base;
            return timeout;
    }
    return base;
}

void SimulatedInstrument::Step() {
    if (now_ < stallUntil_) return;
    const bool quietTooLong = now_ > lastActivity_ + kPeerTimeoutTicks;
    switch (mode_) {
        case Mode::Think:
            if (now_ >= thinkUntil_) {
                mode_ = Mode::Send;
                presented_ = 0;
                nextNibble_ = 0;
                lastActivity_ = now_;
                PresentNibble();
            }
            return;
        case Mode::Receive:
            // A low nibble comes with the workstation's line high, a high one with it low.
            if (HostLine() == !expectHigh_) {
                expectHigh_ = !expectHigh_;
                line_ = !expectHigh_;
                lastActivity_ = now_;
                MaybeStall();
                TakeNibble(hostData_ & 0x0F);
            } else if (quietTooLong && (expectHigh_ || haveLow_ || !packet_.empty())) {
                BackToReceive();
            }
            return;
        case Mode::Send:
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

void SimulatedInstrument::PresentNibble() {
    MaybeStall();
    if (Draw(faults_.drop)) ++nextNibble_;  // lost: the next one goes out in its place
    if (nextNibble_ >= 2 * out_.size()) {
        BackToReceive();
        return;
    }
    const std::uint8_t byte = out_[nextNibble_ / 2];
    std::uint8_t nibble = (nextNibble_ % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
    ++nextNibble_;
    if (Draw(faults_.flip)) nibble ^= static_cast<std::uint8_t>(1u << (rng_ & 3));
    shownNibble_ = nibble;
    line_ = presented_ % 2 == 1;
}

void SimulatedInstrument::BackToReceive() {
    mode_ = Mode::Receive;
    out_.clear();
    nextNibble_ = 0;
    expectHigh_ = false;
    haveLow_ = false;
    packet_.clear();
    line_ = true;
    shownNibble_ = 0;
    lastActivity_ = now_;
}

void SimulatedInstrument::TakeNibble(std::uint8_t nibble) {
    if (Draw(faults_.drop)) return;
    if (Draw(faults_.flip)) nibble ^= static_cast<std::uint8_t>(1u << (rng_ & 3));
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
    if (length != copy || length < 0 || length > static_cast<std::int16_t>(kChunkBytes)) {
        packet_.clear();  // garbled header: wait for the next one
        return;
    }
    if (packet_.size() < 4 + static_cast<std::size_t>(length)) return;
    const std::string payload(packet_.begin() + 4, packet_.end());
    packet_.clear();
    packetLengths_.push_back(payload.size());
    OnPacket(payload);
}

void SimulatedInstrument::SendRaw(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    if (mode_ != Mode::Think && mode_ != Mode::Send) {
        mode_ = Mode::Think;
        thinkUntil_ = now_ + kThinkTicks;
    }
}

void SimulatedInstrument::Reply(std::string_view text) {
    AppendPacket(out_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (mode_ != Mode::Think) {
        mode_ = Mode::Think;
        thinkUntil_ = now_ + kThinkTicks;
    }
}

void SimulatedInstrument::OnPacket(std::string_view payload) {
    if (nextScripted_ < scripted_.size()) {
        SendRaw(scripted_[nextScripted_++]);
        return;
    }
    if (uploadFile_) {
        ReceiveData(payload);
        return;
    }
    const std::string_view text = payload.substr(0, payload.find('\0'));
    if (announced_) {
        const fs::path file = *announced_;
        announced_.reset();
        if (StartsWithIgnoringCase(text, "SEND")) {
            const auto bytes = ReadAll(file).value_or(std::vector<std::uint8_t>{});
            for (std::size_t at = 0; at < bytes.size(); at += kChunkBytes)
                AppendPacket(out_, bytes.data() + at, std::min(kChunkBytes, bytes.size() - at));
            if (mode_ != Mode::Think && !out_.empty()) {
                mode_ = Mode::Think;
                thinkUntil_ = now_ + kThinkTicks;
            }
            if (folderMode_) QueueNextFolderFile();
            return;
        }
        folderFiles_.clear();  // the workstation went on to something else
        folderMode_ = false;
    }
    if (uploadFolder_) {
        if (StartsWithIgnoringCase(text, "BEGIN")) {
            const BeginNotice notice = ParseBeginNotice(text);
            const std::string name = Cp936ToUtf8(notice.name);
            if (!PlainName(name)) {
                Reply("ERROR");
                return;
            }
            const fs::path target = *uploadFolder_ / name;
            std::ofstream create(target, std::ios::binary | std::ios::trunc);
            if (!create) {
                Reply("ERROR");
                return;
            }
            if (notice.size > 0) {
                uploadFile_ = target;
                uploadRemaining_ = notice.size;
            }
            Reply("SEND");
            return;
        }
        if (EndsWithIgnoringCase(text, " CANNOT OPEN")) return;
        uploadFolder_.reset();
        if (StartsWithIgnoringCase(text, "END")) return;
    }
    OnCommand(text);
}

void SimulatedInstrument::ReceiveData(std::string_view payload) {
    std::ofstream out(*uploadFile_, std::ios::binary | std::ios::app);
    out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
    uploadRemaining_ -= static_cast<std::int64_t>(payload.size());
    if (uploadRemaining_ <= 0) uploadFile_.reset();
}

void SimulatedInstrument::QueueFile(const fs::path& file, std::string_view name) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || !fs::is_regular_file(file, ec)) {
        Reply(std::string(name) + " CANNOT OPEN");
        return;
    }
    Reply("BEGIN" + std::to_string(size) + " " + Utf8ToCp936(file.filename().string()));
    announced_ = file;
}

void SimulatedInstrument::QueueNextFolderFile() {
    if (folderFiles_.empty()) {
        folderMode_ = false;
        Reply("END");
        return;
    }
    const fs::path next = folderFiles_.front();
    folderFiles_.erase(folderFiles_.begin());
    QueueFile(next, Utf8ToCp936(next.filename().string()));
    if (!announced_) QueueNextFolderFile();
}

void SimulatedInstrument::OnCommand(std::string_view text) {
    commands_.emplace_back(text);
    const std::size_t blank = text.find(' ');
    const std::string_view verb = text.substr(0, blank);
    const std::string_view arg = blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
    std::error_code ec;

    if (EqualsIgnoringCase(verb, "HI")) {
        Reply("HI TAV-SIM");
    } else if (EqualsIgnoringCase(verb, "QUIT")) {
        folderFiles_.clear();
        folderMode_ = false;
    } else if (EqualsIgnoringCase(verb, "PWD")) {
        Reply("C:" + cwd_);
    } else if (EqualsIgnoringCase(verb, "CD")) {
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (!dir || !fs::is_directory(*dir, ec)) {
            Reply("ERROR");
            return;
        }
        cwd_ = "\\" + Utf8ToCp936(fs::relative(*dir, storage_, ec).string());
        if (cwd_ == "\\.") cwd_ = "\\";
        for (char& c : cwd_)
            if (c == '/') c = '\\';
        Reply("OK");
    } else if (EqualsIgnoringCase(verb, "DIR")) {
        const auto dir = ResolveInstrumentPath(storage_, arg.empty() ? std::string_view(cwd_) : arg, cwd_);
        std::vector<std::string> names;
        if (dir && fs::is_directory(*dir, ec))
            for (const auto& entry : fs::directory_iterator(*dir, ec))
                names.push_back(Utf8ToCp936(entry.path().filename().string()));
        std::sort(names.begin(), names.end());
        std::string listing;
        for (const auto& n : names) listing += n + "\r\n";
        if (listing.size() > kChunkBytes) listing.resize(kChunkBytes);
        Reply(listing.empty() ? "NO FILES" : listing);
    } else if (EqualsIgnoringCase(verb, "DOWNF")) {
        folderMode_ = false;
        const auto file = ResolveInstrumentPath(storage_, arg, cwd_);
        if (!file) {
            Reply(std::string(arg) + " CANNOT OPEN");
            return;
        }
        QueueFile(*file, arg);
    } else if (EqualsIgnoringCase(verb, "DOWND")) {
        folderFiles_.clear();
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (dir && fs::is_directory(*dir, ec))
            for (const auto& entry : fs::directory_iterator(*dir, ec))
                if (entry.is_regular_file(ec)) folderFiles_.push_back(entry.path());
        std::sort(folderFiles_.begin(), folderFiles_.end());
        if (!dir) Reply(std::string(arg) + " CANNOT OPEN");
        folderMode_ = true;
        QueueNextFolderFile();
    } else if (EqualsIgnoringCase(verb, "GETD")) {
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (dir && fs::is_directory(*dir, ec)) uploadFolder_ = *dir;
    } else {
        Reply("ERROR");
    }
}

}  // namespace tav
