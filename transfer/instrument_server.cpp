#include "transfer/instrument_server.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/text_codec.hpp"
#include "transfer/wire_text.hpp"

namespace tav {

namespace fs = std::filesystem;

namespace {

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

// Whether path, with every link followed, lies in the storage folder.
bool InsideStorage(const fs::path& storage, const fs::path& path) {
    std::error_code ec;
    const fs::path root = fs::canonical(storage, ec);
    if (ec) return false;
    const fs::path real = fs::canonical(path, ec);
    if (ec) return false;
    return std::mismatch(root.begin(), root.end(), real.begin(), real.end()).first == root.end();
}

}  // namespace

std::optional<fs::path> ResolveInstrumentPath(const fs::path& storage, std::string_view dosPath, std::string_view cwd) {
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
    if (!InsideStorage(storage, current)) return std::nullopt;
    return current;
}

InstrumentServer::InstrumentServer(fs::path storage) : storage_(std::move(storage)) {}

std::vector<std::string> InstrumentServer::Answer(std::string_view payload) {
    Replies out;
    if (state_ == State::TakingFile) {
        TakeChunk(payload);
        return out;
    }
    const std::string_view text = payload.substr(0, payload.find('\0'));
    switch (state_) {
        case State::OfferingFile:
        case State::OfferingFolder:
            if (StartsWithIgnoringCase(text, "SEND")) {
                SendOffered(out);
                return out;
            }
            ToIdle();  // the workstation went on to something else
            break;
        case State::TakingFolder:
            if (StartsWithIgnoringCase(text, "BEGIN")) {
                TakeNotice(text, out);
                return out;
            }
            if (EndsWithIgnoringCase(text, " CANNOT OPEN")) return out;
            ToIdle();
            if (StartsWithIgnoringCase(text, "END")) return out;
            break;
        case State::Idle:
        case State::TakingFile:
            break;
    }
    Command(text, out);
    return out;
}

void InstrumentServer::ToIdle() {
    state_ = State::Idle;
    offered_.clear();
    folderRest_.clear();
    takingFolder_.clear();
    takingFile_.clear();
    takingRemaining_ = 0;
}

bool InstrumentServer::Offer(const fs::path& file, std::string_view name, Replies& out) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || !fs::is_regular_file(file, ec)) {
        out.push_back(std::string(name) + " CANNOT OPEN");
        return false;
    }
    out.push_back("BEGIN" + std::to_string(size) + " " + Utf8ToCp936(file.filename().string()));
    offered_ = file;
    return true;
}

void InstrumentServer::OfferNextFolderFile(Replies& out) {
    while (!folderRest_.empty()) {
        const fs::path next = folderRest_.front();
        folderRest_.erase(folderRest_.begin());
        if (Offer(next, Utf8ToCp936(next.filename().string()), out)) {
            state_ = State::OfferingFolder;
            return;
        }
    }
    ToIdle();
    out.push_back("END");
}

void InstrumentServer::SendOffered(Replies& out) {
    const auto bytes = ReadAll(offered_).value_or(std::vector<std::uint8_t>{});
    for (std::size_t at = 0; at < bytes.size(); at += kChunkBytes) {
        const auto* begin = reinterpret_cast<const char*>(bytes.data() + at);
        out.emplace_back(begin, std::min(kChunkBytes, bytes.size() - at));
    }
    if (state_ == State::OfferingFolder) {
        OfferNextFolderFile(out);
    } else {
        ToIdle();
    }
}

void InstrumentServer::TakeNotice(std::string_view text, Replies& out) {
    const BeginNotice notice = ParseBeginNotice(text);
    const std::string name = Cp936ToUtf8(notice.name);
    if (!PlainName(name)) {
        out.emplace_back("ERROR");
        return;
    }
    const fs::path target = takingFolder_ / name;
    // A link planted under that name must not carry the file out of the storage folder.
    std::error_code ec;
    if (fs::is_symlink(target, ec) && !InsideStorage(storage_, target)) {
        out.emplace_back("ERROR");
        return;
    }
    std::ofstream create(target, std::ios::binary | std::ios::trunc);
    if (!create) {
        out.emplace_back("ERROR");
        return;
    }
    if (notice.size > 0) {
        state_ = State::TakingFile;
        takingFile_ = target;
        takingRemaining_ = notice.size;
    }
    out.emplace_back("SEND");
}

void InstrumentServer::TakeChunk(std::string_view bytes) {
    std::ofstream out(takingFile_, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    takingRemaining_ -= static_cast<std::int64_t>(bytes.size());
    if (takingRemaining_ <= 0) {
        state_ = State::TakingFolder;
        takingFile_.clear();
        takingRemaining_ = 0;
    }
}

void InstrumentServer::Command(std::string_view text, Replies& out) {
    commands_.emplace_back(text);
    const std::size_t blank = text.find(' ');
    const std::string_view verb = text.substr(0, blank);
    const std::string_view arg = blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
    std::error_code ec;

    if (EqualsIgnoringCase(verb, "HI")) {
        out.emplace_back("HI TAV-SIM");
    } else if (EqualsIgnoringCase(verb, "QUIT")) {
        // Nothing is open in Idle: quitting leaves nothing to close.
    } else if (EqualsIgnoringCase(verb, "PWD")) {
        out.push_back("C:" + cwd_);
    } else if (EqualsIgnoringCase(verb, "CD")) {
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (!dir || !fs::is_directory(*dir, ec)) {
            out.emplace_back("ERROR");
            return;
        }
        cwd_ = "\\" + Utf8ToCp936(fs::relative(*dir, storage_, ec).string());
        if (cwd_ == "\\.") cwd_ = "\\";
        for (char& c : cwd_)
            if (c == '/') c = '\\';
        out.emplace_back("OK");
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
        out.push_back(listing.empty() ? "NO FILES" : listing);
    } else if (EqualsIgnoringCase(verb, "DOWNF")) {
        const auto file = ResolveInstrumentPath(storage_, arg, cwd_);
        if (!file) {
            out.push_back(std::string(arg) + " CANNOT OPEN");
            return;
        }
        if (Offer(*file, arg, out)) state_ = State::OfferingFile;
    } else if (EqualsIgnoringCase(verb, "DOWND")) {
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (dir && fs::is_directory(*dir, ec))
            for (const auto& entry : fs::directory_iterator(*dir, ec))
                if (entry.is_regular_file(ec) && InsideStorage(storage_, entry.path()))
                    folderRest_.push_back(entry.path());
        std::sort(folderRest_.begin(), folderRest_.end());
        if (!dir) out.push_back(std::string(arg) + " CANNOT OPEN");
        OfferNextFolderFile(out);
    } else if (EqualsIgnoringCase(verb, "GETD")) {
        const auto dir = ResolveInstrumentPath(storage_, arg, cwd_);
        if (dir && fs::is_directory(*dir, ec)) {
            state_ = State::TakingFolder;
            takingFolder_ = *dir;
        }
    } else {
        out.emplace_back("ERROR");
    }
}

}  // namespace tav
