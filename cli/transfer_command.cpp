// transfer: the transfer session without its dialog, against the simulated
// instrument or a real one on a parallel port. instrument: a storage folder
// for the simulator made from project files.
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/text_codec.hpp"
#include "cli/command.hpp"
#include "model/document.hpp"
#include "transfer/parallel_link.hpp"
#include "transfer/simulated_instrument.hpp"
#include "transfer/transfer_session.hpp"
#include "transfer/work_folder.hpp"

namespace tav::cli {

namespace {

namespace fs = std::filesystem;

struct TransferOptions {
    std::string sim;
    std::string faults;
    std::string port;
    bool list = false;
    std::string out;
    std::vector<int> projects;
    bool all = false;
};

class CliEvents final : public TransferEvents {
public:
    void ProgressChanged(int percent) override {
        if (percent > 0) std::cerr << "transfer: " << percent << "%\n";
    }
    void ProjectFinished(const ProjectOutcome& o) override {
        if (o.converted) {
            std::cout << "ok " << o.target << "\n";
        } else {
            std::cout << "failed: " << o.message << "\n";
            failed = true;
            localIo = localIo || o.localIoError;
        }
    }
    bool failed = false;
    bool localIo = false;
};

nlohmann::json EntriesJson(const std::vector<InstrumentProjectEntry>& entries) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& e : entries)
        list.push_back({{"folder", Cp936ToUtf8(TextOf(e.folder))},
                        {"date", Cp936ToUtf8(TextOf(e.testDate))},
                        {"count", EntryPointCount(e)},
                        {"name", Cp936ToUtf8(TextOf(e.projectName))},
                        {"localName", Cp936ToUtf8(e.localName)}});
    return {{"entries", list}};
}

int Transfer(const TransferOptions& o) {
    if (o.sim.empty() == o.port.empty()) {
        std::cerr << "tavtool: transfer needs one of --sim DIR and --port DEVICE\n";
        return kExitUsage;
    }
    if (!o.list && (o.out.empty() || (o.projects.empty() && !o.all))) {
        std::cerr << "tavtool: transfer needs --list, or --out DIR with --projects N,... or --all\n";
        return kExitUsage;
    }
    WireFaults faults;
    std::string error;
    if (!o.faults.empty() && !ParseWireFaults(o.faults, faults, &error)) {
        std::cerr << "tavtool: --faults: " << error << "\n";
        return kExitUsage;
    }

    std::unique_ptr<ParallelPort> port;
    std::error_code ec;
    if (!o.sim.empty()) {
        if (!fs::is_directory(o.sim, ec)) {
            ReportError(o.sim, "no such instrument storage folder");
            return kExitIo;
        }
        port = std::make_unique<SimulatedInstrument>(o.sim, faults);
    } else {
        port = std::make_unique<PpdevPort>(o.port);
        if (!port->Usable()) {
            ReportError(o.port, port->Problem());
            return kExitIo;
        }
    }
    TransferWorkFolder work;
    if (work.path().empty()) {
        ReportError("TMPDIR", "cannot make a private work folder");
        return kExitIo;
    }

    ParallelLink link(*port);
    CliEvents events;
    TransferSession session(link, work.path(), &events);
    session.Probe();
    if (!session.Connected()) {
        ReportError(o.sim.empty() ? o.port : o.sim, std::string(kNotConnectedText) + " " + link.StatusText());
        return kExitInvalidData;
    }
    if (o.list) {
        std::cout << EntriesJson(session.Entries()).dump(2) << "\n";
        session.Close();
        return kExitOk;
    }

    const int count = static_cast<int>(session.Entries().size());
    std::vector<int> queue;
    if (o.all) {
        for (int i = 0; i < count; ++i) queue.push_back(i);
    } else {
        for (const int p : o.projects) {
            if (p < 0 || p >= count) {
                ReportError(o.sim.empty() ? o.port : o.sim, "project " + std::to_string(p) +
                                                                " is not on the instrument (0.." +
                                                                std::to_string(count - 1) + ")");
                return kExitInvalidData;
            }
            if (std::find(queue.begin(), queue.end(), p) == queue.end()) queue.push_back(p);
        }
    }
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out, ec)) {
        ReportError(o.out, "cannot create the output folder");
        return kExitIo;
    }
    session.SetLocalFolder(o.out);
    session.SetQueue(queue);
    if (!queue.empty()) session.RunHere();
    session.Close();
    if (events.localIo) return kExitIo;
    return events.failed ? kExitInvalidData : kExitOk;
}

int MakeInstrument(const std::string& dir, const std::vector<std::string>& files) {
    std::vector<std::unique_ptr<CTAV_AnalyserDoc>> docs;
    std::vector<StorageProject> projects;
    for (const auto& file : files) {
        auto doc = std::make_unique<CTAV_AnalyserDoc>();
        // The instrument keeps what it recorded: the raw samples, unprocessed.
        if (const int code = LoadProjectFor(*doc, file, false); code != kExitOk) return code;
        projects.push_back({&doc->header, doc->points});
        docs.push_back(std::move(doc));
    }
    std::string error;
    if (!WriteInstrumentStorage(dir, projects, &error)) {
        ReportError(dir, "cannot write: " + error);
        return kExitIo;
    }
    return kExitOk;
}

}  // namespace

void RegisterTransferCommands(CLI::App& app, Runner& run) {
    auto o = std::make_shared<TransferOptions>();
    auto* t = app.add_subcommand("transfer", "download projects from the instrument and convert them");
    t->add_option("--sim", o->sim, "simulated instrument whose drive c:\\ is DIR");
    t->add_option("--faults", o->faults, "simulated wire faults: flip=P,drop=P,stall=P,seed=S");
    t->add_option("--port", o->port, "parallel port device, e.g. /dev/parport0");
    t->add_flag("--list", o->list, "print the instrument's project index as JSON");
    t->add_option("--out", o->out, "folder for the converted project files");
    t->add_option("--projects", o->projects, "entries to transfer (from 0)")->delimiter(',');
    t->add_flag("--all", o->all, "transfer every entry");
    t->callback([o, &run] { run = [o] { return Transfer(*o); }; });

    auto dir = std::make_shared<std::string>();
    auto files = std::make_shared<std::vector<std::string>>();
    auto* i = app.add_subcommand("instrument", "write a simulated instrument's storage folder from project files");
    i->add_option("DIR", *dir, "storage folder (the instrument's drive c:\\)")->required();
    i->add_option("FILES", *files, "project files")->required();
    i->callback([dir, files, &run] { run = [dir, files] { return MakeInstrument(*dir, *files); }; });
}

}  // namespace tav::cli
