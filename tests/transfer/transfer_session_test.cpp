#include "transfer/transfer_session.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"
#include "transfer/simulated_instrument.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct Site {
    ProjectHeader header;
    std::vector<TestPoint> points;
};

// An instrument storage folder holding the given projects (name, test points).
void MakeStorage(const std::string& folder, const std::vector<std::pair<std::string, int>>& projects) {
    std::vector<Site> sites;
    for (const auto& [name, count] : projects) {
        Site s{testing::MakeHeader("单位", Utf8ToCp936(name)), {}};
        for (int i = 0; i < count; ++i)
            s.points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 1024, static_cast<unsigned>(i + 1)));
        sites.push_back(std::move(s));
    }
    std::vector<StorageProject> list;
    for (const auto& s : sites) list.push_back({&s.header, s.points});
    ASSERT_TRUE(WriteInstrumentStorage(folder, list));
}

// What a perfect wire delivers: the instrument's own files converted in place.
std::vector<std::uint8_t> Expected(const std::string& storage, const std::string& project, const std::string& scratch) {
    fs::remove_all(scratch);
    fs::copy(storage + "/DAT/" + project, scratch);
    const std::string target = scratch + "/expected.tav";
    EXPECT_EQ(ConvertInstrumentProject(scratch, project, target), ConvertResult::Converted);
    return ReadWholeFile(target).value_or(std::vector<std::uint8_t>{});
}

class Recorder final : public TransferEvents {
public:
    void ProgressChanged(int percent) override { progress.push_back(percent); }
    void ProjectFinished(const ProjectOutcome& o) override {
        outcomes.push_back(o);
        if (onProject) onProject(o);
    }
    void WorkerEnded(bool cancelled) override { ended.push_back(cancelled); }
    std::vector<int> progress;
    std::vector<ProjectOutcome> outcomes;
    std::vector<bool> ended;
    std::function<void(const ProjectOutcome&)> onProject;
};

struct Bench {
    explicit Bench(WireFaults faults = {}) : peer(dir.File("sd"), faults) {
        fs::create_directories(dir.File("work"));
        fs::create_directories(dir.File("out"));
        session.SetLocalFolder(dir.File("out"));
    }
    TempDir dir;
    SimulatedInstrument peer;
    ParallelLink link{peer};
    Recorder events;
    TransferSession session{link, dir.File("work"), &events};
};

TEST(TransferSession, ConvertsSeveralProjectsByteForByte) {
    Bench b;
    MakeStorage(b.dir.File("sd"), {{"一号楼", 3}, {"二号楼", 1}, {"一号楼", 2}});
    b.session.Probe();
    ASSERT_TRUE(b.session.Connected());
    EXPECT_TRUE(b.session.TakeRefresh());
    EXPECT_FALSE(b.session.TakeRefresh());
    ASSERT_EQ(b.session.Entries().size(), 3u);
    EXPECT_EQ(Cp936ToUtf8(b.session.Entries()[2].localName), "一号楼—1.tav");

    // Queue editing: selected rows in list order, no duplicates, then removals.
    const int rows[] = {2, 0, 2};
    b.session.AddSelected(rows);
    EXPECT_EQ(b.session.Queue(), (std::vector<int>{0, 2}));
    b.session.AddAll();
    EXPECT_EQ(b.session.Queue(), (std::vector<int>{0, 2, 1}));
    const int positions[] = {0};
    b.session.RemoveSelected(positions);
    b.session.RemoveAll();
    EXPECT_EQ(b.session.Start(), TransferSession::StartResult::EmptyQueue);
    b.session.AddAll();

    EXPECT_EQ(b.session.RunHere(), TransferSession::StartResult::Started);
    EXPECT_EQ(b.events.progress, (std::vector<int>{0, 33, 66, 99}));
    EXPECT_EQ(b.events.ended, std::vector<bool>{false});
    EXPECT_FALSE(b.session.Busy());
    EXPECT_TRUE(b.session.Queue().empty());
    ASSERT_EQ(b.events.outcomes.size(), 3u);
    const char* folders[] = {"XM001", "XM002", "XM003"};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& o = b.events.outcomes[i];
        ASSERT_TRUE(o.converted) << o.message;
        EXPECT_EQ(ReadWholeFile(o.target), Expected(b.dir.File("sd"), folders[i], b.dir.File("scratch"))) << i;
    }
    EXPECT_EQ(b.events.outcomes[2].target, b.dir.File("out/一号楼—1.tav"));
    // Nothing but the project files reaches the user's folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(b.dir.File("out")), fs::directory_iterator()), 3);
    b.session.Close();
    EXPECT_EQ(b.peer.Commands().back(), "quit");
}

// The cable between the workstation and the simulator; pulled out, the
// status lines read 0 and nothing written arrives.
class Cable final : public ParallelPort {
public:
    explicit Cable(ParallelPort& peer) : peer_(peer) {}
    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override { return plugged ? peer_.ReadStatus() : 0; }
    void WriteData(std::uint8_t v) override {
        if (plugged) peer_.WriteData(v);
    }
    void WriteControl(std::uint8_t v) override {
        if (plugged) peer_.WriteControl(v);
    }
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override {
        return plugged ? peer_.WaitStatus(mask, want, polls) : want == 0;
    }
    bool plugged = true;

private:
    ParallelPort& peer_;
};

TEST(TransferSession, DisconnectionEmptiesTheQueueAndABadProjectIsReported) {
    TempDir dir;
    MakeStorage(dir.File("sd"), {{"甲", 1}, {"乙", 1}});
    fs::create_directories(dir.File("work"));
    fs::create_directories(dir.File("out"));
    SimulatedInstrument peer(dir.File("sd"));
    Cable cable(peer);
    ParallelLink link(cable);
    Recorder events;
    TransferSession session(link, dir.File("work"), &events);
    session.SetLocalFolder(dir.File("out"));
    session.Probe();
    ASSERT_TRUE(session.TakeRefresh());
    session.AddAll();

    cable.plugged = false;
    session.Probe();
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(session.Entries().empty());
    EXPECT_TRUE(session.TakeRefresh());
    EXPECT_TRUE(session.Queue().empty());
    cable.plugged = true;
    session.Probe();
    ASSERT_TRUE(session.TakeRefresh());
    ASSERT_EQ(session.Entries().size(), 2u);

    // An instrument that answers but has no index is connected with nothing to list.
    fs::rename(dir.File("sd/DAT/RSITE.PAR"), dir.File("sd/DAT/saved"));
    session.Probe();
    EXPECT_TRUE(session.Connected());
    fs::rename(dir.File("sd/DAT/saved"), dir.File("sd/DAT/RSITE.PAR"));

    // One project without its header, one whose folder is gone.
    fs::remove(dir.File("sd/DAT/XM001/TAV.PAR"));
    fs::remove_all(dir.File("sd/DAT/XM002"));
    session.AddAll();
    session.RunHere();
    ASSERT_EQ(events.outcomes.size(), 2u);
    EXPECT_EQ(events.outcomes[0].message, kNotInstrumentDataText);
    EXPECT_EQ(events.outcomes[1].message, kNotInstrumentDataText);  // an empty folder: no header either
    // The cable pulled after the probe: the download cannot even be asked for.
    cable.plugged = false;
    session.AddAll();
    session.RunHere();
    ASSERT_EQ(events.outcomes.size(), 4u);
    EXPECT_EQ(events.outcomes[3].message, DownloadFailedText(dir.File("out")));
    EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

TEST(TransferSession, CancelBetweenProjectsKeepsTheRestQueued) {
    Bench b;
    MakeStorage(b.dir.File("sd"), {{"甲", 1}, {"乙", 1}, {"丙", 1}});
    b.session.Probe();
    b.session.AddAll();
    b.events.onProject = [&](const ProjectOutcome&) { b.session.RequestCancel(); };
    EXPECT_EQ(b.session.RunHere(), TransferSession::StartResult::Started);
    EXPECT_EQ(b.session.RequestClose(), TransferSession::CloseStep::CloseNow);
    EXPECT_FALSE(b.session.AddAll());  // queue commands stay refused until the dialog closes
    b.session.Close();
    EXPECT_EQ(b.session.CancelState(), kCancelAcknowledged);
    EXPECT_EQ(b.events.ended, std::vector<bool>{true});
    EXPECT_EQ(b.events.outcomes.size(), 1u);
    EXPECT_EQ(b.session.Queue(), (std::vector<int>{1, 2}));
    EXPECT_EQ(b.peer.Commands().back(), "quit");
}

// Hands every register operation to the simulator and, after a given number
// of them, plays the user who closes the dialog.
class TriggerPort final : public ParallelPort {
public:
    explicit TriggerPort(ParallelPort& inner) : inner_(inner) {}
    bool Usable() const override { return true; }
    std::uint8_t ReadStatus() override {
        Count();
        return inner_.ReadStatus();
    }
    void WriteData(std::uint8_t v) override {
        Count();
        inner_.WriteData(v);
    }
    void WriteControl(std::uint8_t v) override {
        Count();
        inner_.WriteControl(v);
    }
    bool WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) override {
        Count();
        return inner_.WaitStatus(mask, want, polls);
    }
    std::uint64_t at = 0;
    std::function<void()> action;
    std::uint64_t count = 0;

private:
    void Count() {
        if (++count == at && action) action();
    }
    ParallelPort& inner_;
};

TEST(TransferSession, CancelInsideADownloadStopsPromptlyAndWritesNothing) {
    TempDir dir;
    MakeStorage(dir.File("sd"), {{"大工程", 60}});
    fs::create_directories(dir.File("work"));
    SimulatedInstrument peer(dir.File("sd"));
    TriggerPort port(peer);
    ParallelLink link(port);
    Recorder events;
    TransferSession session(link, dir.File("work"), &events);
    session.SetLocalFolder(dir.File("work"));
    session.Probe();
    session.AddAll();
    std::uint64_t opsAtCancel = 0;
    port.at = port.count + 50000;  // well inside the first files
    port.action = [&] {
        opsAtCancel = peer.RegisterOperations();
        session.RequestCancel();
    };
    session.RunHere();
    EXPECT_EQ(session.CancelState(), kCancelAcknowledged);
    EXPECT_TRUE(events.outcomes.empty());
    EXPECT_EQ(session.Queue(), std::vector<int>{0});
    EXPECT_FALSE(fs::exists(dir.File("work/大工程.tav")));
    // One handshake wait at most after the request, not the rest of the project.
    EXPECT_LT(peer.RegisterOperations() - opsAtCancel, 2 * ParallelLink::kHandshakePolls);
}

TEST(TransferSession, ForcedCloseJoinsTheWorkerBeforeLeaving) {
    for (int round = 0; round < 20; ++round) {
        auto b = std::make_unique<Bench>(WireFaults{0.0, 0.0, 0.002, static_cast<std::uint64_t>(round)});
        MakeStorage(b->dir.File("sd"), {{"甲", 20}, {"乙", 20}});
        b->session.Probe();
        if (!b->session.Connected()) continue;
        b->session.AddAll();
        ASSERT_EQ(b->session.Start(), TransferSession::StartResult::Started);
        EXPECT_EQ(b->session.Start(), TransferSession::StartResult::Ignored);
        b->session.RequestCancel();
        b->session.Close();  // the forced close: no waiting for the acknowledgement first
        b.reset();  // session, link and port go while nothing runs any more
    }
}

// Thousands of transfers over a misbehaving wire: each ends, the link's
// bounds hold, and a project is either converted or leaves no file. Where the
// fault is one the link can see (a stall), a converted project is exact.
TEST(TransferSession, FaultyWiresNeverHangAndNeverPassADamagedProjectOffAsGoodWhenTheyCanTell) {
    TempDir dir;
    MakeStorage(dir.File("sd"), {{"甲", 1}});
    const auto expected = Expected(dir.File("sd"), "XM001", dir.File("scratch"));
    struct Kind {
        double flip, drop, stall;
        bool detectable;
    };
    const Kind kinds[] = {{0.0005, 0, 0, false}, {0, 0.0005, 0, false}, {0, 0, 0.0005, true}, {0.0002, 0.0002, 0.0002, false}};
    int converted[4] = {};
    int failed[4] = {};
    for (int k = 0; k < 4; ++k) {
        for (std::uint64_t seed = 1; seed <= 500; ++seed) {
            const std::string work = dir.File("w");
            const std::string out = dir.File("o");
            fs::remove_all(work), fs::remove_all(out);
            fs::create_directories(work), fs::create_directories(out);
            SimulatedInstrument peer(dir.File("sd"), {kinds[k].flip, kinds[k].drop, kinds[k].stall, seed});
            ParallelLink link(peer);
            Recorder events;
            TransferSession session(link, work, &events);
            session.SetLocalFolder(out);
            session.Probe();
            if (!session.Connected() || session.Entries().size() != 1) {
                ++failed[k];
                continue;
            }
            session.AddAll();
            session.RunHere();
            session.Close();
            ASSERT_EQ(events.outcomes.size(), 1u);
            const auto& o = events.outcomes[0];
            if (o.converted) {
                ++converted[k];
                if (kinds[k].detectable) {
                    EXPECT_EQ(ReadWholeFile(o.target), expected) << "seed " << seed;
                }
            } else {
                ++failed[k];
                EXPECT_TRUE(fs::is_empty(out)) << "seed " << seed;
            }
        }
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_GT(converted[k], 0) << k;  // the faults are rare enough for some transfers to get through
        EXPECT_GT(failed[k], 0) << k;     // and frequent enough to be met
    }
}

}  // namespace
}  // namespace tav
