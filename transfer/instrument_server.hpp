// The instrument's file server, as the simulated instrument plays it: what a
// request from the workstation means, answered from a storage folder that
// stands for the instrument's drive "c:\" (the project index
// "c:\dat\rsite.par" and the project folders are plain files in it). Paths
// are DOS paths in code page 936, resolved without regard to case, and never
// lead out of the storage folder. How packets travel is the wire's business
// (instrument_wire.hpp); the server sees whole payloads and answers with
// whole payloads.
//
// The conversation has state; in each state a packet is read as follows,
// the first line that fits deciding:
//
//   TakingFile      any bytes             appended to the file; no answer.
//                                         TakingFolder once the announced size is in
//   OfferingFile    SEND...               the file in chunks; Idle
//   OfferingFolder  SEND...               the file in chunks, then BEGIN of the
//                                         folder's next file (OfferingFolder) or END (Idle)
//   Offering*       anything else         the offer lapses; read as in Idle
//   TakingFolder    BEGIN<size> <name>    file created, SEND; TakingFile when size > 0
//                                         (ERROR for a name that is not a plain file name)
//                   ... CANNOT OPEN       no answer (the workstation skips a file)
//                   END...                no answer; Idle
//                   anything else         the upload ends; read as in Idle
//   Idle            HI, PWD, CD, DIR      their reply; QUIT: none
//                   DOWNF <path>          BEGIN<size> <name> (OfferingFile), or "<path> CANNOT OPEN"
//                   DOWND <folder>        BEGIN of its first file (OfferingFolder), or END
//                   GETD <folder>         no answer; TakingFolder when the folder is there
//                   anything else         ERROR
//
// Texts end at their first zero byte; verbs and replies are compared without
// regard to case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

// The file or folder a DOS path on the instrument names below storage, found
// without regard to case; relative paths start at cwd ("\" for the root).
// Nothing when it does not exist or would leave the storage folder (by ".."
// or by a symbolic link).
std::optional<std::filesystem::path> ResolveInstrumentPath(const std::filesystem::path& storage,
                                                           std::string_view dosPath, std::string_view cwd = "\\");

class InstrumentServer {
public:
    static constexpr std::size_t kChunkBytes = 4096;  // a file goes out in chunks of the instrument's buffer

    enum class State { Idle, OfferingFile, OfferingFolder, TakingFolder, TakingFile };

    explicit InstrumentServer(std::filesystem::path storage);

    // The payloads that answer a payload received, in order; none when the
    // instrument stays silent.
    std::vector<std::string> Answer(std::string_view payload);

    State CurrentState() const { return state_; }
    // The current folder as PWD tells it, without the drive: "\" or "\DAT\XM001".
    const std::string& Cwd() const { return cwd_; }
    // The commands read in Idle, in order (for tests).
    const std::vector<std::string>& Commands() const { return commands_; }

private:
    using Replies = std::vector<std::string>;

    void Command(std::string_view text, Replies& out);
    bool Offer(const std::filesystem::path& file, std::string_view name, Replies& out);
    void OfferNextFolderFile(Replies& out);
    void SendOffered(Replies& out);
    void TakeNotice(std::string_view text, Replies& out);
    void TakeChunk(std::string_view bytes);
    void ToIdle();

    std::filesystem::path storage_;
    std::string cwd_ = "\\";
    std::vector<std::string> commands_;

    State state_ = State::Idle;
    std::filesystem::path offered_;                  // Offering*: BEGIN sent, waiting for SEND
    std::vector<std::filesystem::path> folderRest_;  // OfferingFolder: files not yet announced
    std::filesystem::path takingFolder_;             // TakingFolder, TakingFile
    std::filesystem::path takingFile_;               // TakingFile
    std::int64_t takingRemaining_ = 0;               // TakingFile
};

}  // namespace tav
